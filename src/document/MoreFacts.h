#pragma once

// What Find More Routines learns from the image bytes, and the open's jumps, alone. It
// does not depend on the walk, so it is found on a second thread while the walk runs.
#include <cstdint>
#include <utility>
#include <vector>

namespace more {

inline constexpr uint32_t kMinString = 4;  // characters a string has at least

// The top bit of each byte of x, side by side: byte k gives bit k.
inline uint64_t ByteBits(uint64_t x) {
    return (((x >> 7) & 0x0101010101010101u) * 0x0102040810204080u) >> 56;
}
// The top bit of each byte of x that equals b (exact: no byte disturbs another).
inline uint64_t EqualBytes(uint64_t x, uint8_t b) {
    constexpr uint64_t kLows = 0x7F7F7F7F7F7F7F7Fu;
    const uint64_t v = x ^ (0x0101010101010101u * b);
    return ~(((v & kLows) + kLows) | v | kLows);
}
// The top bit of each halfword of x, side by side: halfword k gives bit k.
inline uint64_t HalfwordBits(uint64_t x) {
    constexpr uint64_t kGather =
        1 + (uint64_t{1} << 15) + (uint64_t{1} << 30) + (uint64_t{1} << 45);
    return ((((x >> 15) & 0x0001000100010001u) * kGather) >> 45) & 0xF;
}

struct ImageFacts {
    // A bit per word (offset 4 * k): the big-endian word there is an address in the
    // flash, 0x200000 up to the image's end.
    std::vector<uint64_t> flashWords;
    // The zero bytes with four or more Latin-1 characters before them, in order: the
    // zero's offset and that of the first character of the run.
    std::vector<std::pair<uint32_t, uint32_t>> textEnds;
    // A bit per halfword: a branch the open found leads there.
    std::vector<uint64_t> branchTargets;

    bool IsFlashWord(uint32_t o) const { return (flashWords[o / 256] >> (o / 4 % 64)) & 1; }
    bool IsBranchTarget(uint32_t i) const { return (branchTargets[i / 64] >> (i % 64)) & 1; }
};

// `codes` are the document's jump codes, a byte per halfword.
ImageFacts ScanImage(const uint8_t* image, const uint8_t* codes, uint32_t size);

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
