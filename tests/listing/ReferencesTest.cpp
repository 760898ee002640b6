#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "listing/ListingFixture.h"
#include "listing/References.h"

namespace {

// ReferencesTo against every halfword's target: references of each kind aimed at a few
// targets from near and far (BLs up to the ends of their reach, pointers with and
// without the THUMB bit), over random codes.
TEST(References, AgreeWithEveryHalfwordsTarget) {
    constexpr uint32_t kSize = 0x900000;
    ListingFixture f(kSize);
    std::mt19937 random(7);
    uint8_t* codes = TestDoc::JumpCodes(*f.doc);
    const uint32_t targets[] = {0, 0x400000, kSize - 2, 0x123456};
    auto clamp = [](int64_t o) {
        return static_cast<uint32_t>(std::clamp<int64_t>(o, 0, kSize - 4)) & ~1u;
    };
    for (int k = 0; k < 40000; ++k) {
        const uint32_t t = targets[k % 4];
        const int r = static_cast<int>(random() % 8192) - 4096;
        switch (random() % 5) {
            case 0: {  // a BL, up to 4 MiB and a little beyond either way
                const uint32_t o = clamp(int64_t{t} - 4 + r * 1025);
                const int32_t offset = (static_cast<int32_t>(t) - static_cast<int32_t>(o + 4)) >> 1;
                f.Half(o, static_cast<uint16_t>(0xF000 | (offset >> 11 & 0x7FF)));
                f.Half(o + 2, static_cast<uint16_t>(0xF800 | (offset & 0x7FF)));
                codes[o / 2] = CTravikDoc::kJumpCall;
                break;
            }
            case 1: {  // a B, near
                const uint32_t o = clamp(int64_t{t} + r / 2);
                f.Half(o, static_cast<uint16_t>(0xE000 | ((int64_t{t} - o - 4) >> 1 & 0x7FF)));
                codes[o / 2] = CTravikDoc::kJumpBranch;
                break;
            }
            case 2: {  // an LDR of a word before the target
                const uint32_t o = clamp(int64_t{t} - (r & 1023));
                f.Half(o, static_cast<uint16_t>(0x4800 | ((t - ((o + 4) & ~3u)) / 4 & 0xFF)));
                codes[o / 2] = CTravikDoc::kJumpLoad;
                break;
            }
            case 3: {  // a literal pointer anywhere
                const uint32_t o = clamp(random() % kSize);
                f.Word(o, t + kFlashBase + random() % 2);
                codes[o / 2] = CTravikDoc::kJumpPointer;
                break;
            }
            default:  // a word read at an odd offset, or a code on random bytes
                if (k % 2)
                    TestDoc::SetLiteralPointer(*f.doc, clamp(random() % kSize) + 1,
                                               t + random() % 2);
                else
                    codes[random() % (kSize / 2)] = static_cast<uint8_t>(1 + random() % 4);
        }
    }
    for (const uint32_t t : targets) {
        std::vector<Reference> expected;
        for (uint32_t i = 0; i < kSize / 2; ++i) {
            const uint32_t to = f.doc->JumpTarget(i);
            const bool pointer = codes[i] >= CTravikDoc::kJumpPointer;
            if (codes[i] != 0 && (to == t || (pointer && to == t + 1)))
                expected.push_back(
                    {2 * i, pointer                               ? ReferenceKind::kPointer
                            : codes[i] == CTravikDoc::kJumpCall   ? ReferenceKind::kCall
                            : codes[i] == CTravikDoc::kJumpBranch ? ReferenceKind::kBranch
                                                                  : ReferenceKind::kLoad});
        }
        EXPECT_GT(expected.size(), 1000u);
        EXPECT_EQ(ReferencesTo(*f.doc, t), expected) << t;
    }
}

}  // namespace
