#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "document/DocEdit.h"
#include "listing/ListingFixture.h"
#include "listing/Search.h"

namespace {

// What the status bar says while and after searching.
TEST(SearchStatus, PatternAddressAndOutcome) {
    ListingFixture f(0x40);
    f.Bytes(0x20, "\x47\x70");
    const struct {
        std::string pattern;
        uint32_t start, base;
        int mode;
        std::string texts;  // the first and the last
    } cases[] = {
        {"4770", 0, 0, kSearchHex, "Searching 4770 in addr: 0|Ready"},
        {"abab", 0, 0, kSearchHex, "Searching ABAB in addr: 0|Not Found."},
        {"abab", 4, 0, kSearchHex, "Searching ABAB in addr: 0|Ready"},  // wrapped to 0
        {"abab", 0, kFlashBase, kSearchHex, "Searching ABAB in addr: 200000|Not Found."},
        {"NoPe", 0, 0, kSearchText, "Searching string nope in addr: 0|Not Found."},
        {"NoPe", 0, 0, kSearchTextCase, "Searching string NoPe in addr: 0|Not Found."},
    };
    for (const auto& c : cases) {
        f.frame.statusTexts.clear();
        TestDoc::Options(*f.doc).baseAddress = c.base;
        Search(*f.doc, c.pattern, c.start, c.mode);
        ASSERT_FALSE(f.frame.statusTexts.empty()) << c.pattern;
        EXPECT_EQ(f.frame.statusTexts.front() + "|" + f.frame.statusTexts.back(), c.texts);
    }
    EXPECT_EQ(Search(*f.doc, "477", 0, kSearchHex), -1);
    EXPECT_EQ(f.frame.messages.back(), "For aligned searches there must be even hex digits");
}

// Both hex modes against their definition: the candidate's bytes written as hex digits
// begin with the pattern, from the first digit or (unaligned) the second. The images
// repeat the pattern's bytes at nearly every offset while a nibble or the last byte
// differs, or are made of prefixes of the pattern (partial matches that fall back on
// themselves); the size is even and odd.
TEST(SearchDefinitionTest, HexModesAgreeWithHexTextOfEveryCandidate) {
    std::mt19937 random(12345);
    auto hex = [](const uint8_t* bytes, size_t count) {
        std::string digits;
        for (size_t k = 0; k < count; ++k)
            digits += {"0123456789ABCDEF"[bytes[k] >> 4], "0123456789ABCDEF"[bytes[k] & 15]};
        return digits;
    };
    for (const uint32_t size : {0x40u, 0x41u}) {
        ListingFixture f(size);
        uint8_t* image = TestDoc::Image(*f.doc);
        for (int trial = 0; trial < 1000; ++trial) {
            const int kind = trial % 4;
            const int mode = random() % 2 ? kSearchHexUnaligned : kSearchHex;
            std::vector<uint8_t> word(2 + random() % 7);
            for (uint8_t& b : word) b = random() % 3 == 0;
            for (uint32_t o = 0; o < size;) {
                if (kind == 0) image[o++] = static_cast<uint8_t>(random() % 4);
                if (kind == 1)
                    for (size_t k = 0, n = 1 + random() % word.size(); k < n && o < size; ++k)
                        image[o++] = word[k];
                if (kind >= 2) image[o] = kind == 2 ? 0x01 : o + 1 == size, ++o;
            }
            const std::string digits = hex(image, size);
            // The word from either digit, random digits, or a piece of the image with its
            // first or last digit changed half the time.
            std::string pattern = hex(word.data(), word.size());
            if (kind == 1) {
                pattern.erase(0, mode == kSearchHexUnaligned ? random() % 2 : 0);
            } else if (trial % 8 < 4) {
                pattern.clear();
                for (int k = 1 + static_cast<int>(random() % 8); k > 0; --k)
                    pattern += "0123"[random() % 4];
            } else {
                const size_t length = 1 + random() % 48;
                pattern = digits.substr(random() % (digits.size() - length), length);
                if (random() % 2) (random() % 2 ? pattern.front() : pattern.back()) = '2';
            }
            if (mode == kSearchHex && pattern.size() % 2 != 0) pattern += '0';
            // Half the patterns get wildcards (any digit) in place of some digits.
            if (trial % 2)
                for (char& c : pattern)
                    if (random() % 3 == 0) c = '?';
            if (pattern.find_first_not_of('?') == std::string::npos) pattern[0] = '0';
            auto digitsAt = [&](size_t from) {
                if (from + pattern.size() > digits.size()) return false;
                for (size_t k = 0; k < pattern.size(); ++k)
                    if (pattern[k] != '?' && pattern[k] != digits[from + k]) return false;
                return true;
            };
            auto matchesAt = [&](uint32_t o) {
                return digitsAt(2 * o) || (mode == kSearchHexUnaligned && digitsAt(2 * o + 1));
            };
            // The last byte of an odd image belongs to the last halfword.
            auto item = [&](uint32_t o) { return std::min(o / 2, size / 2 - 1) * 2; };
            const uint32_t start = random() % size;
            int32_t first = -1;
            std::vector<uint32_t> all;
            for (uint32_t k = 0; k < size; ++k) {
                const uint32_t o = (start + k) % size;
                if (first < 0 && matchesAt(o)) first = static_cast<int32_t>(item(o));
                if (matchesAt(k) && (all.empty() || all.back() != item(k))) all.push_back(item(k));
            }
            const std::string where = "image " + digits + " pattern " + pattern + " mode " +
                                      std::to_string(mode) + " start " + std::to_string(start);
            EXPECT_EQ(Search(*f.doc, pattern, start, mode), first) << where;
            EXPECT_EQ(SearchAll(*f.doc, pattern, mode), all) << where;
            // Find All in slices of a few bytes finds the same.
            FindAll sliced(*f.doc, pattern, mode);
            while (sliced.Step(1 + random() % 9)) {
            }
            EXPECT_EQ(sliced.Results(), all) << where;
        }
    }
}

// Wildcards at the image's ends, patterns longer than the image, and patterns of
// wildcards only, which are refused with a message.
TEST(SearchWildcards, EndsLengthAndOnlyWildcards) {
    ListingFixture f(0x10);
    f.Bytes(0, "\x12\x34\x56");
    f.Bytes(0xD, "\xAB\xCD\xEF");
    const struct {
        std::string pattern;
        int mode;
        std::vector<uint32_t> all;
    } cases[] = {
        {"??34", kSearchHex, {0}},
        {"1?3?", kSearchHex, {0}},
        {"?234", kSearchHexUnaligned, {0}},
        {"??EF", kSearchHex, {0xE}},
        {"CD??", kSearchHex, {0xE}},
        {"B?DE?", kSearchHexUnaligned, {0xC}},
        {"AB??EF", kSearchHex, {0xC}},
        {std::string(32, '0') + "??", kSearchHex, {}},
        {"1" + std::string(32, '?'), kSearchHexUnaligned, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(SearchAll(*f.doc, c.pattern, c.mode), c.all) << c.pattern;
    for (const int mode : {kSearchHex, kSearchHexUnaligned}) {
        f.frame.messages.clear();
        EXPECT_EQ(Search(*f.doc, "????", 0, mode), -1);
        EXPECT_TRUE(SearchAll(*f.doc, "??", mode).empty());
        EXPECT_TRUE(FindAll(*f.doc, "??", mode).Refused());
        ASSERT_EQ(f.frame.messages.size(), 3u);
        EXPECT_EQ(f.frame.messages[0], kOnlyWildcards);
    }
}

// "Notes and names too": the annotations of an item, and RAM names behind its literal
// load or data word, match in the text modes only when asked for, with each mode's case.
TEST(SearchAnnotations, NotesHeadersFootersExplanationsAndRamNames) {
    ListingFixture f(0x40);
    f.Half(0x10, 0x4803);  // LDR R0, [PC, #12]: the word at 0x20
    f.Word(0x20, kRamBase + 0x12);
    f.Type(0x20, itemtype::kData4);
    f.Join(0x20);
    using K = DocEdit::TextKind;
    f.doc->Apply(TextEdit(*f.doc, K::kNote, 0x04, "Hello World", true));
    f.doc->Apply(TextEdit(*f.doc, K::kHeader, 0x08, "Setup hello", true));
    f.doc->Apply(TextEdit(*f.doc, K::kFooter, 0x0C, "end of HELLO", true));
    f.doc->Apply(TextEdit(*f.doc, K::kExplanation, 0x22, "hello in a word's tail", true));
    f.doc->Apply(RamNameEdit(*f.doc, 0x10, 0x13, "Counter"));
    const struct {
        std::string pattern;
        int mode;
        bool annotations;
        std::vector<uint32_t> all;
    } cases[] = {
        {"hello", kSearchText, false, {}},
        {"hello", kSearchText, true, {0x04, 0x08, 0x0C, 0x20}},
        {"hello", kSearchTextCase, true, {0x08, 0x20}},
        {"counter", kSearchText, false, {0x10}},  // the load's line shows the name
        {"counter", kSearchText, true, {0x10, 0x20}},
        {"counter", kSearchTextCase, true, {}},
        {"Counter", kSearchTextCase, true, {0x10, 0x20}},
        {"48", kSearchHex, true, {0x10}},  // the hex modes search the image only
    };
    for (const auto& c : cases)
        EXPECT_EQ(SearchAll(*f.doc, c.pattern, c.mode, c.annotations), c.all) << c.pattern;
    EXPECT_EQ(Search(*f.doc, "hello", 0x0A, kSearchText, true), 0x0C);
    EXPECT_EQ(Search(*f.doc, "world", 0x0A, kSearchText, true), 0x04);  // after the wrap
}

}  // namespace

// The text modes search the lines as shown, so in GNU syntax they find objdump's words.
TEST(SearchText, FindsTheInstructionTextsOfTheSyntaxShown) {
    ListingFixture f(0x40);
    f.Half(0x20, 0xB510);
    EXPECT_EQ(Search(*f.doc, "push {r4, lr}", 0, kSearchText), -1);
    EXPECT_EQ(Search(*f.doc, "PUSH { R4, LR }", 0, kSearchTextCase), 0x20);
    TestDoc::Options(*f.doc).gnuSyntax = 1;
    EXPECT_EQ(Search(*f.doc, "push {r4, lr}", 0, kSearchTextCase), 0x20);
    EXPECT_EQ(Search(*f.doc, "PUSH {R4, LR}", 0, kSearchText), 0x20);
    EXPECT_EQ(Search(*f.doc, "PUSH {R4, LR}", 0, kSearchTextCase), -1);
}
