#include <gtest/gtest.h>

#include <string>

#include "listing/LineText.h"
#include "listing/ListingFixture.h"

namespace {

std::string Line(ListingFixture& f, uint32_t offset, int subLine = 0) {
    return GetLineText(*f.doc, offset, subLine);
}

void Options(ListingFixture& f, bool hex, bool ascii) {
    TestDoc::Options(*f.doc).viewHex = hex;
    TestDoc::Options(*f.doc).viewAscii = ascii;
}

TEST(CodeLines, EveryOptionCombination) {
    ListingFixture f;
    f.Half(0x1A4, 0xB510);
    EXPECT_EQ(Line(f, 0x1A4), "0001a4 : PUSH { R4, LR }");
    TestDoc::Options(*f.doc).baseAddress = kFlashBase;
    EXPECT_EQ(Line(f, 0x1A4), "2001a4 : PUSH { R4, LR }");
    TestDoc::Options(*f.doc).baseAddress = 0;
    Options(f, true, false);
    EXPECT_EQ(Line(f, 0x1A4), "0001a4 :b510    : PUSH { R4, LR }");

    f.Half(0x1A4, 0x4770);
    Options(f, true, true);
    EXPECT_EQ(Line(f, 0x1A4), "0001a4 :4770 Gp : BX  R0, LR");
    Options(f, false, true);
    EXPECT_EQ(Line(f, 0x1A4), "0001a4 :Gp: BX  R0, LR");
    // Control bytes show as dots, high bytes as themselves.
    f.Half(0x1A4, 0x0088);
    EXPECT_EQ(Line(f, 0x1A4), "0001a4 :.\x88: LSL R0, R1, #.2");
}

TEST(CodeLines, FourByteItemsShowBothHalfwords) {
    ListingFixture f;
    f.Half(0x100, 0xF000);
    f.Half(0x102, 0xF800);
    f.Join(0x100);
    Options(f, true, false);
    EXPECT_EQ(Line(f, 0x100), "000100 :f000f800: BL 104 ");
    // No characters beside four bytes, even with the option on.
    Options(f, true, true);
    EXPECT_EQ(Line(f, 0x100), "000100 :f000f800: BL 104 ");
    Options(f, false, true);
    EXPECT_EQ(Line(f, 0x100), "000100 :\xf0.: BL 104 ");
    // The joined halfword has no line: the walk goes on after the pair.
    int s = 0;
    EXPECT_EQ(f.doc->NextLine(0x100, s), 0x104);
    EXPECT_EQ(s, 0);
}

TEST(CodeLines, LowerCaseTurnsTheWholeCodeLineOnly) {
    ListingFixture f;
    f.Half(0x1A4, 0xF000);
    f.Half(0x1A6, 0xF82C);
    TestDoc::Texts(*f.doc, DocEdit::TextKind::kHeader).Set(0x200 / 2, "Routine (3 calls)");
    TestDoc::Options(*f.doc).lowerCase = 1;
    EXPECT_EQ(Line(f, 0x1A4), "0001a4 : bl 200 (routine (3 calls))");
    Options(f, true, true);
    f.Half(0x1A8, 0x4241);  // NEG R1, R0 shows "BA" as characters
    EXPECT_EQ(Line(f, 0x1A8), "0001a8 :4241 ba : neg r1, r0");
    // Data and ARM lines keep their case.
    f.Bytes(0x10, "ABCD");
    f.Type(0x10, itemtype::kData4);
    f.Join(0x10);
    EXPECT_EQ(Line(f, 0x10), "000010 :41424344:        : ABCD ");
    f.Type(0x20, itemtype::kArm);
    f.Join(0x20);
    f.Word(0x20, 0xE28F0001);
    EXPECT_EQ(Line(f, 0x20), "000020 :e28f0001: ARM code");
}

TEST(DataLines, EverySize) {
    ListingFixture f;
    f.Bytes(0x40, "ABCDEFGHIJKLMNOP");
    f.Type(0x40, itemtype::kData2);
    EXPECT_EQ(Line(f, 0x40), "000040 :4142: AB ");
    f.Type(0x40, itemtype::kData4);
    EXPECT_EQ(Line(f, 0x40), "000040 :41424344:        : ABCD ");
    f.Type(0x40, itemtype::kData8);
    EXPECT_EQ(Line(f, 0x40), "000040 :41424344:45464748: ABCDEFGH ");
    f.Type(0x40, itemtype::kData12);
    EXPECT_EQ(Line(f, 0x40), "000040 :41424344:45464748:494a4b4c:        :  ABCDEFGHIJKL ");
    f.Type(0x40, itemtype::kData16);
    EXPECT_EQ(Line(f, 0x40), "000040 :41424344:45464748:494a4b4c:4d4e4f50: ABCDEFGHIJKLMNOP ");
    // Whatever the hex and character options say.
    Options(f, false, false);
    f.Bytes(0x10, std::string("ABC\0", 4));
    f.Type(0x10, itemtype::kData4);
    EXPECT_EQ(Line(f, 0x10), "000010 :41424300:        : ABC. ");
    TestDoc::Options(*f.doc).baseAddress = kFlashBase;
    EXPECT_EQ(Line(f, 0x10), "200010 :41424300:        : ABC. ");
}

TEST(DataLines, PointersIntoTheFlashShowTheirText) {
    ListingFixture f;
    TestDoc::Options(*f.doc).viewSystemStrings = 1;
    f.Word(0x200, 0x00200310);
    f.Bytes(0x310, "Hello");
    f.Type(0x200, itemtype::kData4);
    EXPECT_EQ(Line(f, 0x200), "000200 :00200310:        : . ..  (Hello)");
    // Every word of a longer item, in order; words without text add nothing.
    f.Word(0x204, 0x12345678);
    f.Word(0x208, 0x00200318);
    f.Bytes(0x318, "World");
    f.Type(0x200, itemtype::kData12);
    EXPECT_EQ(Line(f, 0x200),
              "000200 :00200310:12345678:00200318:        :  . ...4Vx. ..  (Hello) (World)");
    // Two-byte items and the option off: no text.
    f.Type(0x200, itemtype::kData2);
    EXPECT_EQ(Line(f, 0x200), "000200 :0020: .  ");
    TestDoc::Options(*f.doc).viewSystemStrings = 0;
    f.Type(0x200, itemtype::kData4);
    EXPECT_EQ(Line(f, 0x200), "000200 :00200310:        : . .. ");
}

TEST(DataLines, ItemsCutByTheImageEndShowNoBytesBeyondIt) {
    ListingFixture f(0x104);
    f.Bytes(0x100, "WXYZ");
    TestDoc::Options(*f.doc).viewSystemStrings = 1;
    f.Type(0x100, itemtype::kData16);
    EXPECT_EQ(Line(f, 0x100), std::string("000100 :5758595a:") + std::string(8, ' ') + ":" +
                                  std::string(8, ' ') + ":" + std::string(8, ' ') + ": WXYZ" +
                                  std::string(12, ' ') + " ");
    f.Type(0x102, itemtype::kArm);
    TestDoc::Options(*f.doc).viewHex = 1;
    EXPECT_EQ(Line(f, 0x102), "000102 :595a    : ARM code");
    // Data at or past the end.
    LineBuffer out;
    FormatDataLine(*f.doc, 0x104, 4, out);
    EXPECT_EQ(out.View(), "End");
}

TEST(ArmLines, HexOptionOnly) {
    ListingFixture f;
    f.Word(0x20, 0xE12FFF10);
    f.Type(0x20, itemtype::kArm);
    f.Join(0x20);
    Options(f, false, true);
    TestDoc::Options(*f.doc).lowerCase = 1;
    EXPECT_EQ(Line(f, 0x20), "000020 : ARM code");
    Options(f, true, true);
    EXPECT_EQ(Line(f, 0x20), "000020 :e12fff10: ARM code");
}

TEST(SeparatorLines, SubLinesAndTheirBits) {
    ListingFixture f;
    f.Half(0x100, 0xBD10);
    TestDoc::Flags(*f.doc)[0x80] |= flagbits::kRoutineStart | flagbits::kRoutineEnd;
    EXPECT_EQ(Line(f, 0x100, -1), "-----------------------------------------v");
    EXPECT_EQ(Line(f, 0x100, 0), "000100 : POP { R4, PC }");
    EXPECT_EQ(Line(f, 0x100, 1), "-----------------------------------------^");
    // Without the bits the separators' sub-lines give the item line.
    f.Half(0x104, 0x46C0);
    EXPECT_EQ(Line(f, 0x104, -1), "000104 : NOP");
    EXPECT_EQ(Line(f, 0x104, 1), "000104 : NOP");
    EXPECT_EQ(Line(f, 0x104, 2), "End of File");
    EXPECT_EQ(Line(f, 0, 2), "End of File");
    // Items of no known type have an empty line; offsets outside the image too.
    f.Type(0x108, 0);
    EXPECT_EQ(Line(f, 0x108), "");
    f.Type(0x108, 15);
    EXPECT_EQ(Line(f, 0x108), "");
    EXPECT_EQ(Line(f, 0x400), "");
    EXPECT_EQ(GetLineText(*f.doc, -2, 0), "");
}

TEST(CodeLines, ComposingReusesTheBuffer) {
    ListingFixture f;
    LineBuffer out;
    GetLineText(*f.doc, 0x100, 0, out);
    const std::string first = out.Str();
    GetLineText(*f.doc, 0x100, 0, out);
    EXPECT_EQ(out.View(), first);
}

}  // namespace
