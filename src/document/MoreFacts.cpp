#include "document/MoreFacts.h"

#include <array>
#include <cstring>

#include "document/Flags.h"
#include "shell/Bits.h"

namespace more {
namespace {

constexpr std::array<bool, 256> MakeLatin1Text() {
    std::array<bool, 256> text{};
    for (int b = 0; b < 256; ++b)
        text[b] = b == '\t' || b == '\n' || b == '\r' || (b >= 0x20 && b < 0x7F) || b >= 0xA0;
    return text;
}
constexpr std::array<bool, 256> kLatin1Text = MakeLatin1Text();

}  // namespace

ImageFacts ScanImage(const uint8_t* image, uint32_t size) {
    ImageFacts facts;
    facts.flashWords.assign(size / 256 + 1, 0);
    for (uint32_t o = 0; uint64_t{o} + 4 <= size; o += 4)
        facts.flashWords[o / 256] |=
            uint64_t{BigEndianWord(image + o) - kFlashBase < size} << (o / 4 % 64);
    uint32_t run = 0;  // where the run of characters before c starts
    for (uint32_t c = 0; c < size; ++c) {
        if (kLatin1Text[image[c]]) continue;
        if (image[c] == 0 && c - run >= kMinString) facts.textEnds.emplace_back(c, run);
        run = c + 1;
    }
    return facts;
}

HelperMoves FindHelperMoves(const uint8_t* image, uint32_t count) {
    HelperMoves moves{std::vector<uint64_t>(count / 64 + 1), std::vector<uint64_t>(count / 4096 + 1)};
    // MOV Rd, LR with Rd low is 0x4670 | Rd: from the bytes 0x46, which the library finds
    // fast; first a bit for each MOV.
    std::vector<uint64_t>& near = moves.nearMove;
    const uint8_t* const end = image + 2 * size_t{count};
    for (const uint8_t* p = image; p < end; ++p) {
        p = static_cast<const uint8_t*>(std::memchr(p, 0x46, static_cast<size_t>(end - p)));
        if (p == nullptr) break;
        const size_t at = static_cast<size_t>(p - image);
        if (at % 2 == 0 && (p[1] & 0xF8) == 0x70) near[at / 128] |= uint64_t{1} << (at / 2 % 64);
    }
    // A routine is looked at for a helper over its first sixteen halfwords.
    for (size_t w = 0; w < near.size(); ++w) {
        const uint64_t here = near[w], next = w + 1 < near.size() ? near[w + 1] : 0;
        if ((here | next) == 0) continue;
        uint64_t bits = here;
        for (int k = 1; k < 16; ++k) bits |= here >> k | next << (64 - k);
        near[w] = bits;
        moves.nearAny[w / 64] |= uint64_t{1} << (w % 64);
    }
    return moves;
}

}  // namespace more
