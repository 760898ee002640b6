// The listing's own spellings of each format (capstone checks the fields behind them),
// the names and texts beside targets and literals, and what is never read.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "listing/Disassembler.h"
#include "listing/ListingFixture.h"

namespace {

std::string At(ListingFixture& f, uint32_t offset, uint16_t halfword) {
    f.Half(offset, halfword);
    return DisassembleThumb(*f.doc, offset);
}

TEST(DisassemblerTexts, EveryFormatReadsAsDocumented) {
    ListingFixture f;
    const std::vector<std::pair<uint16_t, std::string>> cases = {
        {0x46C0, "NOP"}, {0x4770, "BX  R0, LR"}, {0x4641, "MOV R1, H0"}, {0x44EC, "ADD H4, SP"},
        {0x1C08, "MOV R0, R1"}, {0x1E48, "SUB R0, R1, #1"}, {0x1888, "ADD R0, R1, R2"},
        {0x0FFF, "LSR R7, R7, #.31"}, {0x2AFF, "CMP R2, #ff"}, {0x4240, "NEG R0, R0"},
        {0x5E88, "LDSH R0, [R1, R2]"}, {0x6888, "LDR R0, [R1, #8]"}, {0x7888, "LDRB R0, [R1, #2]"},
        {0x8088, "STRH R0, [R1, #4]"}, {0x9FFF, "LDR R7, [SP, #3fc]"},
        {0xA901, "ADD  R1, SP, #0004"}, {0xB081, "ADD SP, #-0004"}, {0xB004, "ADD SP, #0010"},
        {0xBA00, "Error bit 8-11==1 instruction type 13"}, {0xB500, "PUSH {  LR }"},
        {0xB530, "PUSH { R4,R5, LR }"}, {0xB6FF, "PUSH { R0,R1,R2,R3,R4,R5,R6,R7, }"},
        {0xBC01, "POP { R0, }"}, {0xBF00, "POP {  PC }"}, {0xCF80, "LDMIA R7!, {R7,}"},
        {0xDFFF, "SWI 255"}, {0xDEFE, "*** 100"}, {0xD180, "BNE 4"}, {0xE400, "B fffff904"},
        {0xE800, "Error bit 12==1 instruction type 18"}, {0xF800, "BL ...?"},
    };
    for (const auto& [halfword, text] : cases) EXPECT_EQ(At(f, 0x100, halfword), text) << std::hex << halfword;
    TestDoc::Options(*f.doc).baseAddress = kFlashBase;
    EXPECT_EQ(At(f, 0x100, 0xD0FE), "BEQ 200100");
    EXPECT_EQ(At(f, 0x100, 0xE7FE), "B 200100");
    EXPECT_EQ(At(f, 0x100, 0xA101), "MOV  R1, #00200108");
}

TEST(DisassemblerCalls, PairTargetsNamesAndTheImageEnd) {
    ListingFixture f(0x204);
    const std::string header(2000, 'h');
    TestDoc::Texts(*f.doc, DocEdit::TextKind::kHeader).Set(0x104 / 2, header);
    f.Half(0x102, 0xF800);
    EXPECT_EQ(At(f, 0x100, 0xF000), "BL 104 (" + header + ")");  // never cut
    f.Half(0x102, 0xFFFE);
    EXPECT_EQ(At(f, 0x100, 0xF7FF), "BL 100 ");
    f.Half(0x102, 0x2000);  // second half without H
    EXPECT_EQ(At(f, 0x100, 0xF000), "BL ...?");
    f.Half(0x102, 0xF800);
    EXPECT_EQ(At(f, 0x100, 0xF400), "BL ffc00104 ");
    // A call to the image end has no name; a prefix in the last halfword no suffix.
    f.Half(0x202, 0xF800);
    EXPECT_EQ(At(f, 0x200, 0xF000), "BL 204 ");
    EXPECT_EQ(At(f, 0x202, 0xF000), "BL ...?");
}

TEST(DisassemblerLiterals, WhatEachPointerIsNamedBy) {
    ListingFixture f;
    TestDoc::Options(*f.doc).viewSystemStrings = 1;
    f.doc->Apply(RamNameEdit(*f.doc, 0x0C, 0x10, "buf"));
    TestDoc::RamNames(*f.doc).SetName(0xFFFF, "last");
    for (uint32_t i = 0; i < 3; ++i) TestDoc::RamNames(*f.doc).SetContinued(i);
    TestDoc::Texts(*f.doc, DocEdit::TextKind::kHeader).Set(0x1A4 / 2, "main");
    f.Type(0x300, itemtype::kData4);
    f.Join(0x300);
    TestDoc::Texts(*f.doc, DocEdit::TextKind::kHeader).Set(0x300 / 2, "tab");
    f.Bytes(0x302, "Hello!");
    // Only a damaged info file could mark halfword 0 a continuation.
    TestDoc::Flags(*f.doc)[0] = itemtype::kThumb | flagbits::kContinuation;
    TestDoc::Flags(*f.doc)[1] = itemtype::kThumb | flagbits::kContinuation;
    TestDoc::Texts(*f.doc, DocEdit::TextKind::kHeader).Set(0, "start");
    const std::pair<uint32_t, std::string> cases[] = {
        {0x00100010, " (buf+04)"},  // RAM: a name, never a string
        {0x00100002, ""},           // a continued run from the first RAM byte
        {0x0010FFFF, " (last)"},
        {0x00110000, ""},
        {0x002001a5, " (main+01)"},
        {0x002001a4, " (main)"},
        {0x00200302, " (tab+02) 'Hello!'"},
        {0x00200002, " (start+02)"},  // the walk back stops at the image start
        {0x00200400, ""},             // the image end
        {0x001FFFFE, ""},
    };
    for (const auto& [word, suffix] : cases) {
        f.Word(0x108, word);
        char hex[12];
        std::snprintf(hex, sizeof hex, "%.8x", word);
        EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #" + std::string(hex) + suffix);
    }
    f.Bytes(0x108, "Text\nmore:");
    EXPECT_EQ(At(f, 0x100, 0xA101), "MOV  R1, #00000108 'Text~more'");
    TestDoc::Options(*f.doc).viewSystemStrings = 0;
    EXPECT_EQ(At(f, 0x100, 0xA101), "MOV  R1, #00000108");
}

TEST(DisassemblerLiterals, LiteralsPastTheImageEndAreNotRead) {
    ListingFixture f(0x202);
    TestDoc::Options(*f.doc).baseAddress = kFlashBase;
    EXPECT_EQ(At(f, 0x1F0, 0x4FFF), "LDR R7, [PC, #3fc] (0005f0=??]");
    EXPECT_EQ(At(f, 0x1FC, 0x4800), "LDR R0, [PC, #0] (000200=??]");  // a cut word
    f.Word(0x1FC, 0xAABBCCDD);
    EXPECT_EQ(At(f, 0x1F4, 0x4801), "LDR R0, #aabbccdd");
}

TEST(DisassemblerMergedPairs, OnlyJoinedLslLsrPairsReadAsOneAnd) {
    ListingFixture f;
    const struct {
        uint16_t first, second;
        const char* text;
    } cases[] = {
        {0x0409, 0x0C09, "AND R1, #0000ffff"},   {0x0908, 0x0102, "AND R2, R1, #fffffff0"},
        {0x0009, 0x0809, "AND R1, #00000000"},   {0x0809, 0x0009, "AND R1, #ffffffff"},
        {0x07C9, 0x0FC9, "AND R1, #00000001"},   {0x0409, 0x1409, "LSL R1, R1, #.16"},
    };
    f.Join(0x100);
    for (const auto& c : cases) {
        f.Half(0x102, c.second);
        EXPECT_EQ(At(f, 0x100, c.first), c.text);
    }
    TestDoc::Flags(*f.doc)[0x102 / 2] = itemtype::kThumb;
    f.Half(0x102, 0x0C09);
    EXPECT_EQ(At(f, 0x100, 0x0409), "LSL R1, R1, #.16");
}

TEST(SystemStrings, TablesDescriptorsAndTheirLimits) {
    using namespace systemstrings;
    char text[kSystemStringMax + 1];
    ListingFixture f(0xC0000);
    TestDoc::Image(*f.doc)[kFirstTable] = 3;  // lengths 3 and 2: "abc" "d\n"
    TestDoc::Image(*f.doc)[kFirstTable + 1] = 2;
    f.Bytes(kFirstTable + kFirstCount, "abcd\n");
    TestDoc::Image(*f.doc)[kSecondTable] = 4;
    TestDoc::Image(*f.doc)[kSecondTable + 1] = 2;
    f.Bytes(kSecondTable + kSecondCount, "WXYZhi");
    const struct {
        const char* descriptor;
        const char* text;  // none: not found
    } cases[] = {{"\x04\x00\x01", "d~"}, {"\x04\x00\x2F", "hi"}, {"\x05\x00\x00", nullptr},
                 {"\x04\x03\x7C", nullptr}, {"\x04\x03\x7B", ""}};
    for (const auto& c : cases) {
        f.Bytes(0xA3CB0, std::string(c.descriptor, 3));
        const int number = c.descriptor[2];
        EXPECT_EQ(GetSystemString(*f.doc, 0xA3CB0, text), c.text != nullptr) << number;
        if (c.text) {
            EXPECT_STREQ(text, c.text) << number;
        }
    }
    EXPECT_FALSE(GetSystemString(*f.doc, -1, text));
    EXPECT_FALSE(GetSystemString(*f.doc, 0xC0000, text));
    f.Bytes(0xA3CB0, std::string("\x04\x00\x01", 3));
    f.Word(0x108, 0x002A3CB0);
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #002a3cb0");
    TestDoc::Options(*f.doc).viewSystemStrings = 1;
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #002a3cb0 ('d~')");
    // Tables beyond a short image, a descriptor cut by the end, texts cut by the end.
    ListingFixture small(0x1000);
    small.Bytes(0x800, std::string("\x04\x00\x01", 3));
    EXPECT_FALSE(GetSystemString(*small.doc, 0x800, text));
    small.Bytes(0xFFE, std::string("\x04\x00", 2));
    EXPECT_FALSE(GetSystemString(*small.doc, 0xFFE, text));
    ListingFixture cut(kFirstTable + kFirstCount + 4);
    TestDoc::Image(*cut.doc)[kFirstTable] = 200;
    cut.Bytes(0x800, std::string("\x04\x00\x00", 3));
    EXPECT_FALSE(GetSystemString(*cut.doc, 0x800, text));
}

TEST(PrintableStrings, LengthAndCharacterRules) {
    ListingFixture f(0x100);
    char text[kPrintableStringMax + 1];
    const struct {
        uint32_t at;
        std::string bytes;
        bool found;
        std::string text;
    } cases[] = {
        {0x10, "AB:", false, "AB"},
        {0x10, "ABC", true, "ABC"},
        {0x20, std::string(60, 'q'), true, std::string(50, 'q')},
        {0x60, " !/09\nZz@", true, " !/09~Zz"},
        {0x70, "abc[", true, "abc"}, {0x70, "abc`", true, "abc"}, {0x70, "abc{", true, "abc"},
        {0x70, "abc\x7f", true, "abc"}, {0x70, "abc\x80", true, "abc"}, {0x70, "abc\t", true, "abc"},
        {0xFC, "WXYZ", true, "WXYZ"},  // up to the image end
    };
    for (const auto& c : cases) {
        f.Bytes(c.at, c.bytes);
        EXPECT_EQ(GetPrintableString(*f.doc, c.at, text), c.found) << c.bytes;
        EXPECT_EQ(std::string(text), c.text) << c.bytes;
    }
    EXPECT_FALSE(GetPrintableString(*f.doc, 0x100, text));
    EXPECT_FALSE(GetPrintableString(*f.doc, -5, text));
    EXPECT_STREQ(text, "");
}

}  // namespace
