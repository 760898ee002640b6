#include "session/PixelWriters.h"

#include "document/CTravikDoc.h"
#include "emulator/CEmulator.h"
#include "listing/Disassembler.h"
#include "shell/Format.h"

bool PixelWriters::OnAccess(const MemoryAccess& access) {
    // A misaligned halfword or word stores nothing.
    if (access.kind != AccessKind::kWrite || (access.address & (access.size - 1u)) != 0)
        return false;
    const uint64_t number = emulator_.AccessInstructionNumber();
    for (uint32_t i = 0; i < access.size; ++i) {
        const uint32_t index = ((access.address + i) & 0xFFFF) - PhoneScreen::kLcdOffset;
        if (index >= kBytes) continue;
        const auto value = static_cast<uint8_t>(access.value >> (8 * (access.size - 1 - i)));
        writes_[index] = {access.instruction, number, value};
    }
    return false;
}

std::optional<PixelWrite> PixelWriters::WriterOf(int x, int y) const {
    if (x < 0 || x >= PhoneScreen::kLcdWidth || y < 0 || y >= PhoneScreen::kLcdHeight) return {};
    const PixelWrite& write = writes_[PhoneScreen::LcdBitOf(x, y).ramIndex - PhoneScreen::kLcdOffset];
    if (write.number == 0) return {};
    return write;
}

namespace {

// 1234567 as "1,234,567".
std::string Grouped(uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

}  // namespace

std::string PixelWriterText(const CTravikDoc& doc, const PixelWriters& writers, int x, int y) {
    const std::optional<PixelWrite> write = writers.WriterOf(x, y);
    if (!write) return Format("Pixel %d,%d: not written since the recording began", x, y);
    const uint32_t offset = write->instruction - CEmulator::kFlashBase;
    const std::string text =
        offset + 1 < doc.ImageSize() ? " (" + DisassembleThumb(doc, offset) + ")" : std::string();
    return Format("Pixel %d,%d: written by %.8X%s value %.2X at instruction %s", x, y,
                  write->instruction, text.c_str(), write->value, Grouped(write->number).c_str());
}
