#include "debugger/PhoneScreen.h"

#include "document/CTravikDoc.h"

void PhoneScreen::Update(const CTravikDoc* doc) {
    if (doc == nullptr) {
        pixels_.fill(kNoDocument);
        return;
    }
    const uint8_t* ram = doc->RamBytes();
    const uint32_t ramSize = ram != nullptr ? doc->RamSize() : 0;
    for (int y = 0; y < kHeight; ++y) {
        uint32_t* row = pixels_.data() + size_t(y) * kWidth;
        const bool borderRow = y < kBorderY || y >= kHeight - kBorderY;
        for (int x = 0; x < kWidth; ++x) {
            if (borderRow || x < kBorderX || x >= kWidth - kBorderX) {
                row[x] = kLight;
                continue;
            }
            const LcdBit at = LcdBitOf(x - kBorderX, y - kBorderY);
            if (at.ramIndex >= ramSize) continue;
            row[x] = (ram[at.ramIndex] >> at.bit) & 1 ? kDark : kLight;
        }
    }
}
