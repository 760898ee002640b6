#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class CTravikDoc;

// The screen area of the phone picture: a 92 x 64 pixel rectangle at (45, 182) of the
// 181 x 473 picture, holding the 84 x 48 display inside a border of 4 columns and 8
// rows. Like the phone's display it keeps what was drawn last: pixels whose LCD byte
// lies beyond the stack RAM are left as they are.
class PhoneScreen {
  public:
    static constexpr int kPictureWidth = 181, kPictureHeight = 473;
    static constexpr int kLeft = 45, kTop = 182, kWidth = 92, kHeight = 64;
    static constexpr int kBorderX = 4, kBorderY = 8;
    static constexpr uint32_t kLcdOffset = 0x7600;  // 6 banks of 84 bytes
    static constexpr int kLcdWidth = 84, kLcdHeight = 48;
    // 0xRRGGBB
    static constexpr uint32_t kNoDocument = 0x001400;
    static constexpr uint32_t kLight = 0x00FF00;
    static constexpr uint32_t kDark = 0x000000;

    // Where the display keeps its pixel at column x, row y (0 <= x < kLcdWidth,
    // 0 <= y < kLcdHeight): a bank of kLcdWidth bytes holds 8 rows, one bit each
    // (bit 0 the top row); a set bit is a dark pixel.
    struct LcdBit {
        uint32_t ramIndex;
        unsigned bit;
    };
    static constexpr LcdBit LcdBitOf(int x, int y) {
        return {kLcdOffset + uint32_t(kLcdWidth) * uint32_t(y / 8) + uint32_t(x), unsigned(y % 8)};
    }

    PhoneScreen() { pixels_.fill(kNoDocument); }

    // Draws the screen from the document's stack RAM, or the no-document colour.
    void Update(const CTravikDoc* doc);
    uint32_t Pixel(int x, int y) const { return pixels_[size_t(y) * kWidth + size_t(x)]; }
    const uint32_t* Row(int y) const { return pixels_.data() + size_t(y) * kWidth; }

  private:
    std::array<uint32_t, kWidth * kHeight> pixels_;
};
