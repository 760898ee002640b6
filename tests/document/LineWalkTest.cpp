// The listing-line sequence that every walker of the document shares.
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

TEST(LineWalk, TwoByteImage) {
    TempDir dir;
    RecordingFrame frame;
    auto doc = OpenZeros(frame, dir, 1);
    ASSERT_NE(doc, nullptr);
    TestDoc::Flags(*doc)[0] = 2;  // no routine start
    int s = 0;
    EXPECT_EQ(doc->NextLine(0, s), 0);
    EXPECT_EQ(s, 2);
    s = 0;
    EXPECT_EQ(doc->PreviousLine(0, s), -1);
    EXPECT_TRUE(doc->IsFirstLine(0, 0));
    EXPECT_TRUE(doc->IsLastLine(0));
}

TEST(LineWalk, SeparatorsAroundAnItem) {
    TempDir dir;
    RecordingFrame frame;
    auto doc = OpenZeros(frame, dir, 4);
    ASSERT_NE(doc, nullptr);
    TestDoc::Flags(*doc)[0] = 2;
    TestDoc::Flags(*doc)[1] = 2 | 0x40 | 0x20;  // start and end
    TestDoc::Flags(*doc)[2] = 11;
    TestDoc::Flags(*doc)[3] = 11 | 0x80 | 0x20;  // a continuation: its end bit has no line
    std::vector<Line> lines;
    int s = 0;
    int64_t o = 0;
    lines.emplace_back(o, s);
    while (s != 2) {
        o = doc->NextLine(o, s);
        lines.emplace_back(o, s);
    }
    EXPECT_EQ(lines, (std::vector<Line>{{0, 0}, {2, -1}, {2, 0}, {2, 1}, {4, 0}, {6, 2}}));
    // Any byte of an item, even or odd, leads to its start; past the image only evens.
    const std::pair<uint32_t, uint32_t> starts[] = {{7, 4}, {4, 4}, {3, 2}, {0, 0}, {9, 8}};
    for (auto [offset, start] : starts) EXPECT_EQ(doc->ItemStart(offset), start) << offset;
    // Back from "End of File": the last item's line (its end bit is on a continuation).
    s = 2;
    EXPECT_EQ(doc->PreviousLine(6, s), 4);
    EXPECT_EQ(s, 0);
    TestDoc::Flags(*doc)[2] |= 0x20;
    s = 2;
    EXPECT_EQ(doc->PreviousLine(6, s), 4);
    EXPECT_EQ(s, 1);
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
