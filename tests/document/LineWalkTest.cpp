// The listing-line sequence that every walker of the document shares: forward and
// backward agree on random items (the lines of small cases are in the transcripts).
#include <gtest/gtest.h>

#include <random>

#include "document/CTravikDoc.h"
#include "support/TestSupport.h"

namespace {

using Line = std::pair<int64_t, int>;

// Opens an image of `halfwords` zero halfwords and then sets the flags directly.
std::unique_ptr<CTravikDoc> OpenZeros(RecordingFrame& frame, TempDir& dir, size_t halfwords) {
    WriteFile(dir.File("w.fls"), std::vector<uint8_t>(halfwords * 2, 0));
    return OpenImage(frame, dir.File("w.fls"));
}

TEST(LineWalk, ForwardAndBackwardVisitTheSameLines) {
    TempDir dir;
    RecordingFrame frame;
    const size_t count = 20000;
    auto doc = OpenZeros(frame, dir, count);
    ASSERT_NE(doc, nullptr);
    // Random items of every length with random routine marks.
    std::mt19937 random(12345);
    const uint8_t types[] = {1, 2, 2, 2, 10, 11, 12, 13, 14, 0, 5};
    for (uint32_t i = 0; i < count;) {
        const uint8_t type = types[random() % std::size(types)];
        uint8_t marks = 0;
        if (random() % 5 == 0) marks |= 0x40;
        if (random() % 5 == 0) marks |= 0x20;
        TestDoc::Flags(*doc)[i] = type | marks;
        uint32_t n = type == 1 || type == 11 ? 1
                     : type == 12            ? 3
                     : type == 13            ? 5
                     : type == 14            ? 7
                                             : 0;
        for (uint32_t k = 1; k <= n && i + k < count; ++k)
            TestDoc::Flags(*doc)[i + k] = type | 0x80 | (random() % 2 ? 0x60 : 0);
        i += n + 1;
    }
    std::vector<Line> forward;
    int s = doc->FirstSubLine(0);
    int64_t o = 0;
    ASSERT_TRUE(doc->IsFirstLine(o, s));
    forward.emplace_back(o, s);
    while (s != 2) {
        o = doc->NextLine(o, s);
        forward.emplace_back(o, s);
        ASSERT_LT(forward.size(), 4 * count);
    }
    EXPECT_EQ(forward.back(), Line(int64_t(count * 2 - 2), 2));

    std::vector<Line> backward;
    o = forward.back().first;
    s = 2;
    backward.emplace_back(o, s);
    for (;;) {
        const int64_t p = doc->PreviousLine(o, s);
        if (p < 0) break;
        o = p;
        backward.emplace_back(o, s);
        ASSERT_LT(backward.size(), 4 * count);
    }
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(forward, backward);
    // Every item start appears exactly once as an item line.
    size_t items = 0;
    for (uint32_t i = 0; i < count; ++i) items += (doc->Flags()[i] & 0x80) == 0;
    size_t itemLines = 0;
    for (const Line& l : forward) itemLines += l.second == 0;
    EXPECT_EQ(itemLines, items);
}

}  // namespace
