#pragma once

// What Find More Routines learns from the image bytes alone. It does not depend on the
// walk, so it is found on a second thread while the walk runs.
#include <cstdint>
#include <utility>
#include <vector>

namespace more {

inline constexpr uint32_t kMinString = 4;  // characters a string has at least

struct ImageFacts {
    // A bit per word (offset 4 * k): the big-endian word there is an address in the
    // flash, 0x200000 up to the image's end.
    std::vector<uint64_t> flashWords;
    // The zero bytes with four or more Latin-1 characters before them, in order: the
    // zero's offset and that of the first character of the run.
    std::vector<std::pair<uint32_t, uint32_t>> textEnds;

    bool IsFlashWord(uint32_t o) const { return (flashWords[o / 256] >> (o / 4 % 64)) & 1; }
};

ImageFacts ScanImage(const uint8_t* image, uint32_t size);

// Where a switch helper may start: the MOV Rd, LR (Rd low) halfwords, as a bit for each
// of the sixteen halfwords before one and the one itself.
struct HelperMoves {
    std::vector<uint64_t> nearMove;  // a bit per halfword
    std::vector<uint64_t> nearAny;   // a bit per word of nearMove: one of its bits is set

    // Whether the routine at halfword i may be a switch helper. The bits are seldom set:
    // nearAny, which stays in the cache, tells most places without a look at nearMove.
    bool MayBeHelper(uint32_t i) const {
        return ((nearAny[i / 4096] >> (i / 64 % 64)) & 1) && ((nearMove[i / 64] >> (i % 64)) & 1);
    }
};

HelperMoves FindHelperMoves(const uint8_t* image, uint32_t count);

}  // namespace more
