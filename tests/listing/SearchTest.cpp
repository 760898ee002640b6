#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "listing/ListingFixture.h"
#include "listing/Search.h"

namespace {

class SearchTest : public ::testing::Test {
  protected:
    SearchTest() : f(0x40) {}
    int32_t Find(const std::string& pattern, uint32_t start, int mode) {
        return Search(*f.doc, pattern, start, mode);
    }
    ListingFixture f;
};

TEST_F(SearchTest, HexModesFindBytesAtAnyOffset) {
    f.Bytes(5, "\x47\x70");
    EXPECT_EQ(Find("4770", 0, kSearchHex), 4);          // odd offset: rounded down to its item
    EXPECT_EQ(Find("4770", 6, kSearchHex), 4);          // found again after the wrap
    EXPECT_EQ(Find("770", 0, kSearchHexUnaligned), 4);  // 4 7 7 0 from the second digit
    EXPECT_EQ(Find("477", 0, kSearchHexUnaligned), 4);
    EXPECT_EQ(Find("7", 0, kSearchHexUnaligned), 4);
    EXPECT_EQ(Find("4771", 0, kSearchHex), -1);
    EXPECT_EQ(Find("47", 0, kSearchHex), 4);
    EXPECT_EQ(Find("47", 0, kSearchHex), Find("47", 0, kSearchHexUnaligned));
}

TEST_F(SearchTest, MatchEndingAtTheLastByteIsFoundInEveryMode) {
    f.Half(0x3E, 0x4770);  // BX LR as the last item
    f.Bytes(0x3C, "\xAB\xCD");
    EXPECT_EQ(Find("abcd4770", 0, kSearchHex), 0x3C);
    EXPECT_EQ(Find("4770", 0, kSearchHex), 0x3E);
    EXPECT_EQ(Find("770", 0, kSearchHexUnaligned), 0x3E);
    EXPECT_EQ(Find("0", 0x3F, kSearchHexUnaligned), 0x3E);
    EXPECT_EQ(Find("bx", 0, kSearchText), 0x3E);
    EXPECT_EQ(Find("BX", 0, kSearchTextCase), 0x3E);
}

TEST_F(SearchTest, FindNextFromTheOnlyOccurrenceFindsItAgain) {
    f.Bytes(0x10, "\x11\x22\x33\x44");
    f.Half(0x20, 0xB510);  // PUSH { R4, LR }
    // `start` is the item after the cursor's; the occurrence lies before it, even
    // within the pattern's length.
    EXPECT_EQ(Find("11223344", 0x12, kSearchHex), 0x10);
    EXPECT_EQ(Find("1223344", 0x12, kSearchHexUnaligned), 0x10);
    EXPECT_EQ(Find("push", 0x22, kSearchText), 0x20);
    EXPECT_EQ(Find("PUSH", 0x22, kSearchTextCase), 0x20);
}

TEST_F(SearchTest, TextModesSearchItemLinesWithAndWithoutCase) {
    f.Half(0x20, 0xB510);
    EXPECT_EQ(Find("PuSh", 0, kSearchText), 0x20);
    EXPECT_EQ(Find("push", 0, kSearchTextCase), -1);
    EXPECT_EQ(Find("PUSH { R4, LR }", 0, 7), 0x20);  // any other mode is exact text
    // Separator lines and annotations are not searched.
    f.doc->SetNote(0x10, "needle");
    EXPECT_EQ(Find("needle", 0, kSearchText), -1);
}

TEST_F(SearchTest, MatchInsideAContinuationReportsTheNextItem) {
    f.Half(0x10, 0xF000);
    f.Half(0x12, 0xF8AB);  // BL pair: the second halfword continues the first
    f.Join(0x10);
    EXPECT_EQ(Find("f8ab", 0, kSearchHex), 0x14);
    EXPECT_EQ(Find("f000", 0, kSearchHex), 0x10);
}

TEST_F(SearchTest, LongPatternsAndOddDigits) {
    const std::string longer(2 * 0x40 + 2, 'A');
    EXPECT_EQ(Find(longer, 0, kSearchHex), -1);
    EXPECT_EQ(Find(longer + "0", 0x20, kSearchHexUnaligned), -1);
    EXPECT_EQ(Find(std::string(100000, 'x'), 0x20, kSearchText), -1);
    // The whole image of zeros is found by a pattern exactly as long.
    EXPECT_EQ(Find(std::string(0x80, '0'), 0, kSearchHex), 0);
    EXPECT_EQ(Find(std::string(0x81, '0'), 0, kSearchHexUnaligned), -1);

    const size_t statuses = f.frame.statusTexts.size();
    const size_t messages = f.frame.messages.size();
    EXPECT_EQ(Find("477", 0, kSearchHex), -1);
    ASSERT_EQ(f.frame.messages.size(), messages + 1);
    EXPECT_EQ(f.frame.messages.back(), "For aligned searches there must be even hex digits");
    EXPECT_EQ(f.frame.statusTexts.size(), statuses);
}

TEST_F(SearchTest, StatusTexts) {
    f.Bytes(0x20, "\x47\x70");
    struct Case {
        std::string pattern;
        uint32_t start;
        int mode;
        std::string firstText, lastText;
    } cases[] = {
        {"4770", 0, kSearchHex, "Searching 4770 in addr: 0", "Ready"},
        {"abab", 0, kSearchHex, "Searching ABAB in addr: 0", "Not Found."},
        {"abab", 4, kSearchHex, "Searching ABAB in addr: 0", "Ready"},  // wrapped to 0
        {"NoPe", 0, kSearchText, "Searching string nope in addr: 0", "Not Found."},
        {"NoPe", 0, kSearchTextCase, "Searching string NoPe in addr: 0", "Not Found."},
    };
    for (const Case& c : cases) {
        f.frame.statusTexts.clear();
        Find(c.pattern, c.start, c.mode);
        ASSERT_FALSE(f.frame.statusTexts.empty()) << c.pattern;
        EXPECT_EQ(f.frame.statusTexts.front(), c.firstText) << c.pattern;
        EXPECT_EQ(f.frame.statusTexts.back(), c.lastText) << c.pattern;
    }
    f.doc->baseAddress = 0x200000;
    f.frame.statusTexts.clear();
    Find("abab", 0, kSearchHex);
    EXPECT_EQ(f.frame.statusTexts.front(), "Searching ABAB in addr: 200000");
}

TEST_F(SearchTest, SearchAllListsEachItemOnceInOrder) {
    f.Bytes(0x04, "\x47\x70\x47\x70");
    f.Bytes(0x31, "\x47\x70");
    EXPECT_EQ(SearchAll(*f.doc, "4770", kSearchHex), (std::vector<uint32_t>{4, 6, 0x30}));
    EXPECT_EQ(SearchAll(*f.doc, "70", kSearchHexUnaligned), (std::vector<uint32_t>{4, 6, 0x32}));
    EXPECT_EQ(SearchAll(*f.doc, "7047", kSearchHexUnaligned), (std::vector<uint32_t>{4}));
    EXPECT_TRUE(SearchAll(*f.doc, "abab", kSearchHex).empty());
}

// The unaligned search against its definition: the candidate's bytes written as hex
// digits begin with the pattern, from the first or the second digit.
TEST_F(SearchTest, UnalignedAgreesWithHexTextOfEveryCandidate) {
    std::mt19937 random(12345);
    for (uint32_t o = 0; o < 0x40; ++o) f.doc->image[o] = static_cast<uint8_t>(random() % 4);
    std::string digits;
    for (uint32_t o = 0; o < 0x40; ++o) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%.2X", f.doc->image[o]);
        digits += pair;
    }
    for (int trial = 0; trial < 300; ++trial) {
        std::string pattern;
        const int length = 1 + static_cast<int>(random() % 6);
        for (int k = 0; k < length; ++k) pattern += "0123"[random() % 4];
        const uint32_t start = random() % 0x40;
        int32_t expected = -1;
        auto matchesAt = [&](uint32_t o) {
            return digits.compare(2 * o, pattern.size(), pattern) == 0 ||
                   digits.compare(2 * o + 1, pattern.size(), pattern) == 0;
        };
        for (uint32_t o = start; o < 0x40 && expected < 0; ++o)
            if (matchesAt(o)) expected = static_cast<int32_t>(o & ~1u);
        for (uint32_t o = 0; o < start && expected < 0; ++o)
            if (matchesAt(o)) expected = static_cast<int32_t>(o & ~1u);
        EXPECT_EQ(Find(pattern, start, kSearchHexUnaligned), expected)
            << "pattern " << pattern << " start " << start << " seed 12345 trial " << trial;
    }
}

}  // namespace
