#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "debugger/PhoneScreen.h"
#include "emulator/AccessObserver.h"

class CEmulator;
class CTravikDoc;

// The last write of one display byte: the instruction, the byte it stored there and
// that instruction's number since Start.
struct PixelWrite {
    uint32_t instruction = 0;
    uint64_t number = 0;
    uint8_t value = 0;
};

// Who drew each pixel: observes the stack RAM pages of the display buffer
// (PhoneScreen::kLcdOffset, six banks of 84 bytes) and keeps, per display byte, the
// last write that stored into it.
class PixelWriters final : public AccessObserver {
  public:
    static constexpr uint32_t kRamBase = 0x100000;
    static constexpr uint32_t kBytes = PhoneScreen::kLcdWidth * PhoneScreen::kLcdHeight / 8;
    static constexpr uint32_t kFirst = kRamBase + PhoneScreen::kLcdOffset;

    explicit PixelWriters(const CEmulator& emulator) : emulator_(emulator) {}
    PixelWriters& operator=(const PixelWriters& other) {
        writes_ = other.writes_;
        return *this;
    }

    bool OnAccess(const MemoryAccess& access) override;
    void Clear() { writes_.fill({}); }
    // The last write of the byte that holds pixel (x, y) (column, row from the top
    // left), none when it was not written while recording or is off the display.
    std::optional<PixelWrite> WriterOf(int x, int y) const;

  private:
    const CEmulator& emulator_;
    // number 0: not written while recording.
    std::array<PixelWrite, kBytes> writes_{};
};

// "Pixel X,Y: written by ADDRESS (INSTRUCTION) value VV at instruction N", or what
// is known when no write was seen.
std::string PixelWriterText(const CTravikDoc& doc, const PixelWriters& writers, int x, int y);
