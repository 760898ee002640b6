#include "debugger/RegistersPage.h"

#include <algorithm>
#include <cstdio>

#include "document/CTravikDoc.h"
#include "shell/Bits.h"
#include "shell/InlineEditRules.h"

// H0 to H4 are R8 to R12.
const char* const kRegisterNames[16] = {"R0", "R1", "R2", "R3", "R4", "R5", "R6", "R7",
                                        "H0", "H1", "H2", "H3", "H4", "SP", "LR", "PC"};

namespace {

constexpr int kStackTop = 162;
constexpr int kIoX = 210;

void Text(DrawList& out, int x, int y, const char* text, bool changed) {
    out.Text(
        {.x = x, .y = y, .font = kRegistersFont, .color = changed ? kRed : kBlack, .text = text});
}

// The stack word at `address` read straight from the stack RAM, as the bytes stand.
std::optional<uint32_t> StackWord(const CTravikDoc& doc, uint32_t address) {
    const uint32_t offset = address - CEmulator::kStackBase;
    if (doc.RamBytes() == nullptr || offset >= doc.RamSize() || doc.RamSize() - offset < 4)
        return std::nullopt;
    return BigEndianWord(doc.RamBytes() + offset);
}

}  // namespace

void PaintRegisters(const CTravikDoc* doc, DrawList& out) {
    out.Clear();
    out.Rect({.x = 0, .y = 0, .w = 1 << 15, .h = 1 << 15, .color = kWhite});
    if (doc == nullptr) {
        Text(out, 10, 10, "No file loaded", false);
        return;
    }
    const CEmulator& e = doc->Emulator();
    const RegisterFile registers = e.Registers();
    char text[64];
    for (int i = 0; i < 8; ++i) {
        for (int k : {i, i + 8}) {
            std::snprintf(text, sizeof text, "%s = %.8X", kRegisterNames[k], registers.r[k]);
            Text(out, k < 8 ? 10 : kRegisterRightX, kRegisterRowHeight * i, text,
                 registers.r[k] != e.previousR[k]);
        }
    }

    const uint32_t cpsr = registers.cpsr;
    struct Flag {
        char letter;
        int bit;
        int x;
    };
    for (const Flag& f : {Flag{'N', 31, 10}, Flag{'Z', 30, 50}, Flag{'C', 29, 90},
                          Flag{'V', 28, 130}, Flag{'T', 5, 170}}) {
        const uint32_t mask = 1u << f.bit;
        std::snprintf(text, sizeof text, "%c:%d", f.letter, (cpsr & mask) ? 1 : 0);
        Text(out, f.x, 125, text, ((cpsr ^ e.previousCpsr) & mask) != 0);
    }

    Text(out, 10, 145, "Stack", false);
    Text(out, kIoX, 145, "I/O", false);

    const int n = std::clamp<int>(e.ioRegisterCount, 0, 100);
    const uint32_t sp = registers.r[13];
    for (int k = 0; k < n; ++k) {
        const uint32_t i = static_cast<uint32_t>(n - 1 - k);
        const uint32_t a = sp + 4 * i;
        if (a < e.initialSp) {
            const std::optional<uint32_t> word = StackWord(*doc, a);
            if (word)
                std::snprintf(text, sizeof text, "%06X(+%.2X) %08X", a & 0xFFFFFF, 4 * i, *word);
            else
                std::snprintf(text, sizeof text, "%06X(+%.2X) ????????", a & 0xFFFFFF, 4 * i);
        } else {
            std::snprintf(text, sizeof text, "------      --------");
        }
        Text(out, 10, kStackTop + kRegisterRowHeight * k, text, false);
    }

    for (int k = 0; k < n; ++k) {
        const IoRegister& io = e.ioRegisters[k];
        std::snprintf(text, sizeof text, "%.6X %.2X %c%c", io.address, io.value,
                      io.wasRead ? 'r' : ' ', io.wasWritten ? 'w' : ' ');
        Text(out, kIoX, kStackTop + kRegisterRowHeight * k, text, io.value != io.previousValue);
    }
}

std::optional<RegisterEditPlace> RegisterAt(int x, int y) {
    if (y < 0 || y >= 120) return std::nullopt;
    const int row = y / kRegisterRowHeight;
    if (x >= kRegisterRightX) return RegisterEditPlace{row + 8, 192, kRegisterRowHeight * row};
    return RegisterEditPlace{row, 52, kRegisterRowHeight * row};
}

std::string RegisterEditText(const CEmulator& emulator, int index) {
    char text[16];
    std::snprintf(text, sizeof text, "%.8X", emulator.Registers().r[index & 15]);
    return text;
}

bool StoreRegisterEntry(CEmulator& emulator, int index, std::string_view text) {
    const std::optional<uint32_t> value = ParseRegisterEntry(text);
    if (!value) return false;
    emulator.SetRegister(index & 15, *value);
    return true;
}
