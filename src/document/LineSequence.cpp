// The listing-line sequence of a document: items, their continuation halfwords and the
// header and footer lines of routines.
#include <algorithm>

#include "document/CTravikDoc.h"

uint32_t CTravikDoc::ItemStart(uint32_t offset) const {
    uint32_t o = offset & ~1u;
    if (o / 2 >= HalfwordCount()) return o;
    while (o > 0 && (flags_[o / 2] & flagbits::kContinuation)) o -= 2;
    return o;
}

uint32_t CTravikDoc::NextItemStart(uint32_t offset, uint32_t limit) const {
    const uint32_t end = std::min(limit, 2 * HalfwordCount());
    uint32_t o = offset & ~1u;
    while (o < end && (flags_[o / 2] & flagbits::kContinuation)) o += 2;
    return o;
}

int64_t CTravikDoc::NextLine(int64_t o, int& s) const {
    const uint8_t f = flags_[o / 2];
    if ((f & flagbits::kRoutineStart) && s == -1) {
        s = 0;
        return o;
    }
    if ((f & flagbits::kRoutineEnd) && s == 0) {
        s = 1;
        return o;
    }
    s = 0;
    const int64_t p = NextItemStart(static_cast<uint32_t>(o + 2));
    const int64_t size = imageSize_;
    if (p + 2 > size) {
        s = 2;
        return size - 2;
    }
    if (flags_[p / 2] & flagbits::kRoutineStart) s = -1;
    return p;
}

int64_t CTravikDoc::PreviousLine(int64_t o, int& s) const {
    const int64_t size = imageSize_;
    if (o < 0 || o + 2 > size) return -1;
    if (s == 2) {
        // The last whole halfword: with an odd length the "End of File" line stands at
        // an odd offset, but the item before it starts on an even one.
        const int64_t p = ItemStart(static_cast<uint32_t>(size - 2));
        s = (flags_[p / 2] & flagbits::kRoutineEnd) ? 1 : 0;
        return p;
    }
    const uint8_t f = flags_[o / 2];
    if (((f & flagbits::kRoutineStart) && s >= 0) || ((f & flagbits::kRoutineEnd) && s > 0)) {
        s = s - 1;
        return o;
    }
    s = 0;
    if (o < 2) return -1;
    const int64_t p = ItemStart(static_cast<uint32_t>(o - 2));
    // Halfword 0 continues no item; a damaged info file that says so gets no line there.
    if (flags_[p / 2] & flagbits::kContinuation) return -1;
    if (flags_[p / 2] & flagbits::kRoutineEnd) s = 1;
    return p;
}

bool CTravikDoc::IsFirstLine(int64_t o, int s) const {
    if (o != 0 || imageSize_ < 2) return false;
    return s == FirstSubLine(0);
}

int CTravikDoc::FirstSubLine(uint32_t offset) const {
    const uint32_t index = offset / 2;
    return index < HalfwordCount() && (flags_[index] & flagbits::kRoutineStart) ? -1 : 0;
}

bool CTravikDoc::IsBlPair(uint32_t offset) const {
    if (uint64_t{offset} + 4 > imageSize_) return false;
    return (image_[offset] & 0xF8) == 0xF0 && (image_[offset + 2] & 0xF8) == 0xF8;
}

bool CTravikDoc::IsMergedShiftPair(uint32_t offset) const {
    if (uint64_t{offset} + 4 > imageSize_) return false;
    const uint32_t p = HalfwordAt(offset);
    const uint32_t q = HalfwordAt(offset + 2);
    if (((p >> 6) & 0x1F) != ((q >> 6) & 0x1F)) return false;
    if ((p & 7) != ((q >> 3) & 7)) return false;
    const uint32_t pOp = p >> 11;
    const uint32_t qOp = q >> 11;
    return (pOp == 0 && qOp == 1) || (pOp == 1 && qOp == 0);
}

uint32_t CTravikDoc::ContinuationCount(uint32_t index, uint8_t type) const {
    switch (type) {
        case itemtype::kArm:
        case itemtype::kData4:
            return 1;
        case itemtype::kThumb:
            return IsBlPair(2 * index) || IsMergedShiftPair(2 * index) ? 1 : 0;
        case itemtype::kData8:
            return 3;
        case itemtype::kData12:
            return 5;
        case itemtype::kData16:
            return 7;
        default:
            return 0;
    }
}
