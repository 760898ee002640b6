// The open's literal-pointer walk against the plain scan over every halfword. The
// analysis rules themselves are checked on small images by the doc_analysis transcript.
#include <gtest/gtest.h>

#include <random>

#include "document/CTravikDoc.h"
#include "support/TestSupport.h"

namespace {

using Jumps = std::vector<std::pair<uint8_t, uint32_t>>;

// Every literal whose word points into the image (its end too) becomes a literal
// pointing there, in halfword order.
Jumps ReferencePointerPass(const CTravikDoc& doc, Jumps jumps) {
    const uint32_t size = doc.ImageSize();
    for (uint32_t i = 0; i < size / 2; ++i) {
        if (jumps[i].first != 1) continue;
        const uint32_t t = jumps[i].second;
        if (uint64_t{t} + 4 > size) continue;
        const int64_t v = int64_t{doc.WordAt(t)} - 0x200000;
        if (v < 0 || v > size) continue;
        jumps[t / 2] = {1, static_cast<uint32_t>(v)};
    }
    return jumps;
}

TEST(CodeAnalysis, PointerPassMatchesAPlainScan) {
    const uint32_t size = 0x1000;
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE(seed);
        // Random words full of flash pointers into the image (even and odd) and loads.
        std::mt19937 random(seed);
        std::vector<uint8_t> image;
        for (uint32_t o = 0; o < size; o += 4) {
            switch (random() % 4) {
                case 0:
                    PutWord(image, 0x200000 + (random() % 8 ? random() % (size + 8) : size));
                    break;
                case 1: {  // a load in either halfword, often of the next word
                    const uint32_t load =
                        0x4800u | (random() % 8) << 8 | (random() % 2 ? 0 : random() % 256);
                    PutWord(image, random() % 2 ? load << 16 | 0x2000 : 0x20000000 | load);
                    break;
                }
                case 2:
                    PutWord(image, 0x200000 + (random() % (size / 4)) * 4);
                    break;
                default:
                    PutWord(image, static_cast<uint32_t>(random()));
                    break;
            }
        }
        TempDir dir;
        RecordingFrame frame;
        auto doc = OpenImageBytes(frame, dir.File("a.fls"), image);
        ASSERT_NE(doc, nullptr);
        // The loads as the reading pass left them, from the flags the open used (which
        // the pointer pass does not change).
        Jumps loads(size / 2);
        for (uint32_t i = 0; i < size / 2; ++i) {
            const uint32_t off = 2 * i;
            if ((image[off] & 0xF8) == 0x48 && off > 2 && (doc->Flags()[i] & 0xF) == 2) {
                const uint32_t t = (off & ~3u) + 4 + 4 * image[off + 1];
                if (t <= size) loads[i] = {1, t};
            }
        }
        const Jumps expected = ReferencePointerPass(*doc, loads);
        for (uint32_t i = 0; i < size / 2; ++i) {
            ASSERT_EQ(doc->JumpKind(i) == 1, expected[i].first == 1) << i;
            if (expected[i].first == 1) {
                ASSERT_EQ(doc->JumpTarget(i), expected[i].second) << i;
            }
        }
    }
}

}  // namespace
