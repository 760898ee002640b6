#include "document/MoreFacts.h"

#include <array>
#include <bit>
#include <cstring>

#include "document/CTravikDoc.h"
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
constexpr std::array<uint8_t, 256> MakeNoText() {
    std::array<uint8_t, 256> top{};
    for (int b = 0; b < 256; ++b) top[b] = kLatin1Text[b] ? 0 : 0x80;
    return top;
}
constexpr std::array<uint8_t, 256> kNoText = MakeNoText();  // 0x80 for a byte that is no text

}  // namespace

ImageFacts ScanImage(const uint8_t* image, const uint8_t* codes, uint32_t size) {
    ImageFacts facts;
    const uint32_t count = size / 2;
    facts.branchTargets.assign(count / 64 + 1, 0);
    auto branch = [&](uint32_t i) {
        const uint32_t o = 2 * i, h = BigEndianHalf(image + o);
        const uint32_t t = (h >> 12) == 0xD ? CondBranchTarget(o + 4, h) : BranchTarget(o + 4, h);
        if (t / 2 < count) facts.branchTargets[t / 128] |= uint64_t{1} << (t / 2 % 64);
    };
    uint32_t i = 0;
    for (; i + 64 <= count; i += 64) {  // the branches sixty-four at a time, a bit for each
        uint64_t branches = 0;
        for (uint32_t j = 0; j < 64; j += 8) {
            uint64_t c;
            std::memcpy(&c, codes + i + j, sizeof c);
            branches |= ByteBits(EqualBytes(c, CTravikDoc::kJumpBranch)) << j;
        }
        for (; branches != 0; branches &= branches - 1)
            branch(i + static_cast<uint32_t>(std::countr_zero(branches)));
    }
    for (; i < count; ++i)
        if (codes[i] == CTravikDoc::kJumpBranch) branch(i);
    facts.flashWords.assign(size / 256 + 1, 0);
    for (uint32_t w = 0; w < facts.flashWords.size(); ++w) {
        uint64_t bits = 0;
        for (uint32_t k = 0, o = 256 * w; k < 64 && uint64_t{o} + 4 <= size; ++k, o += 4)
            bits |= uint64_t{BigEndianWord(image + o) - kFlashBase < size} << k;
        facts.flashWords[w] = bits;
    }
    // The bytes that are no text, sixty-four at a time, a bit for each; a run of text ends
    // at each, and the zeros among them end strings.
    uint32_t last = UINT32_MAX;  // the last byte before the block that is no text (none yet)
    auto zeros = [&](uint32_t base, uint64_t other, uint64_t zero) {
        for (; zero != 0; zero &= zero - 1) {
            const int e = std::countr_zero(zero);
            const uint64_t before = other & ((uint64_t{1} << e) - 1);
            const uint32_t after = base + 64 - static_cast<uint32_t>(std::countl_zero(before));
            const uint32_t run = before != 0 ? after : last + 1;  // 0 when there was none
            if (base + e - run >= kMinString) facts.textEnds.emplace_back(base + e, run);
        }
        if (other != 0) last = base + 63 - static_cast<uint32_t>(std::countl_zero(other));
    };
    uint32_t c = 0;
    for (; uint64_t{c} + 64 <= size; c += 64) {
        uint64_t other = 0, zero = 0;
        for (uint32_t j = 0; j < 64; j += 8) {
            uint64_t x, tops = 0;  // the top bit of each byte that is no text
            std::memcpy(&x, image + c + j, sizeof x);
            for (uint32_t k = 0; k < 8; ++k) tops |= uint64_t{kNoText[image[c + j + k]]} << (8 * k);
            other |= ByteBits(tops) << j;
            zero |= ByteBits(EqualBytes(x, 0)) << j;
        }
        zeros(c, other, zero);
    }
    if (c < size) {
        uint64_t other = 0, zero = 0;
        for (uint32_t j = 0; c + j < size; ++j) {
            other |= uint64_t{!kLatin1Text[image[c + j]]} << j;
            zero |= uint64_t{image[c + j] == 0} << j;
        }
        zeros(c, other, zero);
    }
    return facts;
}

HelperMoves FindHelperMoves(const uint8_t* image, uint32_t count) {
    HelperMoves moves{std::vector<uint64_t>(count / 64 + 1),
                      std::vector<uint64_t>(count / 4096 + 1)};
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
