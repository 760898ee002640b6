#include <gtest/gtest.h>

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
        {0x46C0, "NOP"},
        {0x4600, "NOP"},
        {0x4770, "BX  R0, LR"},
        {0x4687, "MOV PC, R0"},
        {0x4641, "MOV R1, H0"},
        {0x44EC, "ADD H4, SP"},
        {0x1C08, "MOV R0, R1"},
        {0x1C48, "ADD R0, R1, #1"},
        {0x1E48, "SUB R0, R1, #1"},
        {0x1A8A, "SUB R2, R1, R2"},
        {0x1888, "ADD R0, R1, R2"},
        {0x0088, "LSL R0, R1, #.2"},
        {0x0FFF, "LSR R7, R7, #.31"},
        {0x1048, "ASR R0, R1, #.1"},
        {0x2AFF, "CMP R2, #ff"},
        {0x2700, "MOV R7, #0"},
        {0x3310, "ADD R3, #10"},
        {0x4348, "MUL R0, R1"},
        {0x4240, "NEG R0, R0"},
        {0x43FF, "MVN R7, R7"},
        {0x5888, "LDR R0, [R1, R2]"},
        {0x5488, "STRB R0, [R1, R2]"},
        {0x5E88, "LDSH R0, [R1, R2]"},
        {0x5688, "LDSB R0, [R1, R2]"},
        {0x6888, "LDR R0, [R1, #8]"},
        {0x7888, "LDRB R0, [R1, #2]"},
        {0x8888, "LDRH R0, [R1, #4]"},
        {0x8088, "STRH R0, [R1, #4]"},
        {0x9101, "STR R1, [SP, #4]"},
        {0x9FFF, "LDR R7, [SP, #3fc]"},
        {0xA901, "ADD  R1, SP, #0004"},
        {0xB081, "ADD SP, #-0004"},
        {0xB004, "ADD SP, #0010"},
        {0xB100, "Error bit 8-11==1 instruction type 13"},
        {0xBA00, "Error bit 8-11==1 instruction type 13"},
        {0xB500, "PUSH {  LR }"},
        {0xB530, "PUSH { R4,R5, LR }"},
        {0xB400, "PUSH {  }"},
        {0xB6FF, "PUSH { R0,R1,R2,R3,R4,R5,R6,R7, }"},
        {0xBD10, "POP { R4, PC }"},
        {0xBC01, "POP { R0, }"},
        {0xBF00, "POP {  PC }"},
        {0xC106, "STMIA R1!, {R1,R2,}"},
        {0xCF80, "LDMIA R7!, {R7,}"},
        {0xDF05, "SWI 5"},
        {0xDFFF, "SWI 255"},
        {0xDEFE, "*** 100"},
        {0xD0FE, "BEQ 100"},
        {0xDD01, "BLE 106"},
        {0xD180, "BNE 4"},
        {0xE7FE, "B 100"},
        {0xE400, "B fffff904"},
        {0xE800, "Error bit 12==1 instruction type 18"},
        {0xF800, "BL ...?"},
    };
    for (const auto& [halfword, text] : cases) {
        EXPECT_EQ(At(f, 0x100, halfword), text) << std::hex << halfword;
    }
}

TEST(DisassemblerTexts, DisplayedAddressesFollowTheBaseAddress) {
    ListingFixture f;
    TestDoc::Options(*f.doc).baseAddress = kFlashBase;
    EXPECT_EQ(At(f, 0x100, 0xE7FE), "B 200100");
    EXPECT_EQ(At(f, 0x100, 0xD0FE), "BEQ 200100");
    EXPECT_EQ(At(f, 0x100, 0xA101), "MOV  R1, #00200108");
    // Stored pointers are phone addresses whatever the base: a literal is unchanged.
    f.Word(0x108, 0x00201234);
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #00201234");
}

TEST(DisassemblerCalls, PairTargetsAndNames) {
    ListingFixture f;
    f.Half(0x102, 0xF800);
    EXPECT_EQ(At(f, 0x100, 0xF000), "BL 104 ");
    TestDoc::Texts(*f.doc, DocEdit::TextKind::kHeader).Set(0x104 / 2, "name");
    EXPECT_EQ(At(f, 0x100, 0xF000), "BL 104 (name)");
    TestDoc::Texts(*f.doc, DocEdit::TextKind::kHeader).Set(0x104 / 2, "");
    TestDoc::Options(*f.doc).baseAddress = kFlashBase;
    EXPECT_EQ(At(f, 0x100, 0xF000), "BL 200104 ");
    TestDoc::Options(*f.doc).baseAddress = 0;
    // Backwards: F7FF FFFE calls itself.
    f.Half(0x102, 0xFFFE);
    EXPECT_EQ(At(f, 0x100, 0xF7FF), "BL 100 ");
    // Second half without H set.
    f.Half(0x102, 0x2000);
    EXPECT_EQ(At(f, 0x100, 0xF000), "BL ...?");
}

TEST(DisassemblerCalls, NothingIsReadPastTheImageEnd) {
    ListingFixture f(0x104);
    // The first half is the image's last halfword: no second half to read.
    EXPECT_EQ(At(f, 0x102, 0xF000), "BL ...?");
    // A call to the image end (offset == size) has no halfword there to name.
    f.Half(0x100, 0xF000);
    f.Half(0x102, 0xF800);
    EXPECT_EQ(DisassembleThumb(*f.doc, 0x100), "BL 104 ");
    // Far outside in both directions: a displayed address, no name.
    f.Half(0x100, 0xF400);
    EXPECT_EQ(DisassembleThumb(*f.doc, 0x100), "BL ffc00104 ");
}

TEST(DisassemblerLiterals, AddressAndAbsentLiterals) {
    ListingFixture f(0x202);
    f.Word(0x108, 0x12345678);
    // 0x102 rounds down to 0x100; + 4 + 1 * 4.
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #12345678");
    EXPECT_EQ(DecodeThumb(*f.doc, 0x102).target, 0x108);
    // Literal beyond the end: the image offset, not a displayed address.
    TestDoc::Options(*f.doc).baseAddress = kFlashBase;
    EXPECT_EQ(At(f, 0x1F0, 0x4FFF), "LDR R7, [PC, #3fc] (0005f0=??]");
    // A word that starts inside the image but ends outside is not read.
    EXPECT_EQ(At(f, 0x1FC, 0x4800), "LDR R0, [PC, #0] (000200=??]");
    f.Word(0x1FC, 0xAABBCCDD);
    EXPECT_EQ(At(f, 0x1F4, 0x4801), "LDR R0, #aabbccdd");
}

TEST(DisassemblerLiterals, RamNames) {
    ListingFixture f;
    f.Word(0x108, 0x00100010);
    TestDoc::RamNames(*f.doc).SetName(0x10, "x");
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #00100010 (x)");
    f.doc->Apply(RamNameEdit(*f.doc, 0x0C, 0x10, "buf"));
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #00100010 (buf+04)");
    // No string is added to RAM literals, even when the option is on.
    TestDoc::Options(*f.doc).viewSystemStrings = 1;
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #00100010 (buf+04)");
    // A continued run from the first RAM byte has no name to show.
    f.Word(0x108, 0x00100002);
    for (uint32_t i = 0; i < 3; ++i) TestDoc::RamNames(*f.doc).SetContinued(i);
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #00100002");
    // The last RAM byte is in RAM, the next is not (and not in the flash either).
    f.Word(0x108, 0x0010FFFF);
    TestDoc::RamNames(*f.doc).SetName(0xFFFF, "last");
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #0010ffff (last)");
    f.Word(0x108, 0x00110000);
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #00110000");
}

TEST(DisassemblerLiterals, FlashPointersNameTheItemTheyPointInto) {
    ListingFixture f;
    f.Word(0x108, 0x002001a5);
    TestDoc::Texts(*f.doc, DocEdit::TextKind::kHeader).Set(0x1A4 / 2, "main");
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #002001a5 (main+01)");
    f.Word(0x108, 0x002001a4);
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #002001a4 (main)");

    // Two bytes into a data word whose start carries the header.
    f.Type(0x300, itemtype::kData4);
    f.Join(0x300);
    TestDoc::Flags(*f.doc)[0x302 / 2] = itemtype::kData4 | flagbits::kContinuation;
    TestDoc::Texts(*f.doc, DocEdit::TextKind::kHeader).Set(0x300 / 2, "tab");
    f.Word(0x108, 0x00200302);
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #00200302 (tab+02)");
    f.Bytes(0x302, "Hello!");
    TestDoc::Options(*f.doc).viewSystemStrings = 1;
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #00200302 (tab+02) 'Hello!'");
    // Pointers to the image end or below the flash have no name.
    f.Word(0x108, 0x00200400);
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #00200400");
    f.Word(0x108, 0x001FFFFE);
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #001ffffe");
}

TEST(DisassemblerLiterals, ContinuationWalkStopsAtTheImageStart) {
    ListingFixture f;
    // Only a damaged info file could mark halfword 0 a continuation.
    TestDoc::Flags(*f.doc)[0] = itemtype::kThumb | flagbits::kContinuation;
    TestDoc::Flags(*f.doc)[1] = itemtype::kThumb | flagbits::kContinuation;
    TestDoc::Texts(*f.doc, DocEdit::TextKind::kHeader).Set(0, "start");
    f.Word(0x108, 0x00200002);
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #00200002 (start+02)");
}

TEST(DisassemblerLiterals, PcRelativeAddressGetsTheStringThere) {
    ListingFixture f;
    f.Bytes(0x108, "Text\nmore:");
    EXPECT_EQ(At(f, 0x100, 0xA101), "MOV  R1, #00000108");
    TestDoc::Options(*f.doc).viewSystemStrings = 1;
    EXPECT_EQ(At(f, 0x100, 0xA101), "MOV  R1, #00000108 'Text~more'");
}

TEST(DisassemblerMergedPairs, ShiftPairsReadAsOneAnd) {
    ListingFixture f;
    f.Half(0x102, 0x0C09);
    f.Join(0x100);
    EXPECT_EQ(At(f, 0x100, 0x0409), "AND R1, #0000ffff");
    // LSR R0, R1, #4 then LSL R2, R0, #4.
    f.Half(0x102, 0x0102);
    EXPECT_EQ(At(f, 0x100, 0x0908), "AND R2, R1, #fffffff0");
    // Shifts by 0: the masks are 0 and all ones.
    f.Half(0x102, 0x0809);
    EXPECT_EQ(At(f, 0x100, 0x0009), "AND R1, #00000000");
    f.Half(0x102, 0x0009);
    EXPECT_EQ(At(f, 0x100, 0x0809), "AND R1, #ffffffff");
    // LSL #31 then LSR #31 keeps bit 0.
    f.Half(0x102, 0x0FC9);
    EXPECT_EQ(At(f, 0x100, 0x07C9), "AND R1, #00000001");
}

TEST(DisassemblerMergedPairs, OnlyJoinedPairsMergeAndOddPairsStayShifts) {
    ListingFixture f;
    f.Half(0x102, 0x0C09);
    EXPECT_EQ(At(f, 0x100, 0x0409), "LSL R1, R1, #.16");
    // An info file can join any two halfwords; without an LSL/LSR pair there is no mask.
    f.Join(0x100);
    f.Half(0x102, 0x1409);
    EXPECT_EQ(At(f, 0x100, 0x0409), "LSL R1, R1, #.16");
    EXPECT_EQ(At(f, 0x100, 0x1409), "ASR R1, R1, #.16");
}

TEST(SystemStrings, TablesAndDescriptors) {
    using namespace systemstrings;
    ListingFixture f(0xC0000);
    // First table: lengths 3 and 2, texts "abc" "d\n".
    TestDoc::Image(*f.doc)[kFirstTable] = 3;
    TestDoc::Image(*f.doc)[kFirstTable + 1] = 2;
    f.Bytes(kFirstTable + kFirstCount, "abcd\n");
    // Second table: entry 0 of length 4 then entry 1 of length 2.
    TestDoc::Image(*f.doc)[kSecondTable] = 4;
    TestDoc::Image(*f.doc)[kSecondTable + 1] = 2;
    f.Bytes(kSecondTable + kSecondCount, "WXYZhi");
    f.Bytes(0xA3CB0, std::string("\x04\x00\x01", 3));
    f.Bytes(0xA3CB4, std::string("\x04\x00\x2F", 3));  // 47: second table, entry 1
    f.Bytes(0xA3CB8, std::string("\x05\x00\x00", 3));
    char text[kSystemStringMax + 1];
    ASSERT_TRUE(GetSystemString(*f.doc, 0xA3CB0, text));
    EXPECT_STREQ(text, "d~");
    ASSERT_TRUE(GetSystemString(*f.doc, 0xA3CB4, text));
    EXPECT_STREQ(text, "hi");
    EXPECT_FALSE(GetSystemString(*f.doc, 0xA3CB8, text));
    EXPECT_FALSE(GetSystemString(*f.doc, -1, text));
    EXPECT_FALSE(GetSystemString(*f.doc, 0xC0000, text));

    // In a literal the text replaces every other suffix, only while the option is on.
    f.Word(0x108, 0x002A3CB0);
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #002a3cb0");
    TestDoc::Options(*f.doc).viewSystemStrings = 1;
    EXPECT_EQ(At(f, 0x102, 0x4801), "LDR R0, #002a3cb0 ('d~')");
}

TEST(SystemStrings, NothingIsReadOutsideTheImageOrTheTable) {
    using namespace systemstrings;
    char text[kSystemStringMax + 1];
    {
        // The tables lie beyond a short image.
        ListingFixture f(0x1000);
        f.Bytes(0x800, std::string("\x04\x00\x01", 3));
        EXPECT_FALSE(GetSystemString(*f.doc, 0x800, text));
        // A descriptor cut by the end.
        f.Bytes(0xFFE, std::string("\x04\x00", 2));
        EXPECT_FALSE(GetSystemString(*f.doc, 0xFFE, text));
    }
    {
        // The image ends inside the texts of the first table.
        ListingFixture f(kFirstTable + kFirstCount + 4);
        TestDoc::Image(*f.doc)[kFirstTable] = 200;
        f.Bytes(0x800, std::string("\x04\x00\x00", 3));
        EXPECT_FALSE(GetSystemString(*f.doc, 0x800, text));
    }
    {
        // String numbers beyond the second table find nothing.
        ListingFixture f(0xC0000);
        f.Bytes(0x800, std::string("\x04\x03\x7C", 3));  // 892 = 46 + 846
        EXPECT_FALSE(GetSystemString(*f.doc, 0x800, text));
        f.Bytes(0x800, std::string("\x04\x03\x7B", 3));  // the last entry, empty
        EXPECT_TRUE(GetSystemString(*f.doc, 0x800, text));
        EXPECT_STREQ(text, "");
    }
}

TEST(PrintableStrings, LengthAndCharacterRules) {
    ListingFixture f(0x100);
    char text[kPrintableStringMax + 1];
    f.Bytes(0x10, "AB:");
    EXPECT_FALSE(GetPrintableString(*f.doc, 0x10, text));
    EXPECT_STREQ(text, "AB");
    f.Bytes(0x10, "ABC");
    EXPECT_TRUE(GetPrintableString(*f.doc, 0x10, text));
    EXPECT_STREQ(text, "ABC");
    f.Bytes(0x20, std::string(60, 'q'));
    EXPECT_TRUE(GetPrintableString(*f.doc, 0x20, text));
    EXPECT_EQ(std::string(text), std::string(50, 'q'));
    // Blank to '9' and line feeds are taken; '@', '[', '{' and DEL end the text.
    f.Bytes(0x60, " !/09\nZz@");
    EXPECT_TRUE(GetPrintableString(*f.doc, 0x60, text));
    EXPECT_STREQ(text, " !/09~Zz");
    for (char stop : std::string("[`{\x7f\x80\t", 6)) {
        f.Bytes(0x70, std::string("abc") + stop + "def");
        GetPrintableString(*f.doc, 0x70, text);
        EXPECT_STREQ(text, "abc") << int(stop);
    }
    // Runs to the image end and no further; outside offsets give an empty text.
    f.Bytes(0xFC, "WXYZ");
    EXPECT_TRUE(GetPrintableString(*f.doc, 0xFC, text));
    EXPECT_STREQ(text, "WXYZ");
    EXPECT_FALSE(GetPrintableString(*f.doc, 0x100, text));
    EXPECT_FALSE(GetPrintableString(*f.doc, -5, text));
    EXPECT_STREQ(text, "");
}

TEST(DisassemblerTexts, LongHeadersAreNotCut) {
    ListingFixture f;
    const std::string header(2000, 'h');
    TestDoc::Texts(*f.doc, DocEdit::TextKind::kHeader).Set(0x104 / 2, header);
    f.Half(0x102, 0xF800);
    EXPECT_EQ(At(f, 0x100, 0xF000), "BL 104 (" + header + ")");
}

}  // namespace
