#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "listing/LineText.h"
#include "listing/ListingFixture.h"

namespace {

// One line of each kind under the options that shape it.
TEST(LineText, EachKindOfLineUnderItsOptions) {
    ListingFixture f;
    DisplayOptions& o = TestDoc::Options(*f.doc);
    f.Half(0x1A4, 0xB510);
    f.Half(0x1A8, 0x0088);
    f.Half(0x100, 0xF000);
    f.Half(0x102, 0xF800);
    f.Join(0x100);
    f.Half(0x1B0, 0xF000);
    f.Half(0x1B2, 0xF826);
    TestDoc::Texts(*f.doc, DocEdit::TextKind::kHeader).Set(0x200 / 2, "Routine (3 calls)");
    f.Bytes(0x40, "ABCDEFGHIJKLMNOP");
    f.Type(0x20, itemtype::kArm);
    f.Join(0x20);
    f.Word(0x20, 0xE28F0001);
    const struct {
        std::function<void()> set;  // after the fixture's options: no hex, no characters
        uint32_t at;
        std::string line;
    } cases[] = {
        {[] {}, 0x1A4, "0001a4 : PUSH { R4, LR }"},
        {[&] { o.baseAddress = kFlashBase; }, 0x1A4, "2001a4 : PUSH { R4, LR }"},
        {[&] { o.viewHex = 1; }, 0x1A4, "0001a4 :b510    : PUSH { R4, LR }"},
        {[&] { o.viewHex = o.viewAscii = 1; }, 0x1A4, "0001a4 :b510 \xb5. : PUSH { R4, LR }"},
        {[&] { o.viewAscii = 1; }, 0x1A8, "0001a8 :.\x88: LSL R0, R1, #.2"},
        {[&] { o.viewHex = o.viewAscii = 1; }, 0x100, "000100 :f000f800: BL 104 "},
        {[&] { o.viewAscii = 1; }, 0x100, "000100 :\xf0.: BL 104 "},
        {[&] { o.lowerCase = 1; }, 0x1B0, "0001b0 : bl 200 (routine (3 calls))"},
        {[&] { o.lowerCase = o.viewHex = 1; }, 0x20, "000020 :e28f0001: ARM code"},
        {[&] { o.lowerCase = o.viewAscii = 1; }, 0x20, "000020 : ARM code"},
        {[&] { f.Type(0x40, itemtype::kData2); }, 0x40, "000040 :4142: AB "},
        {[&] { f.Type(0x40, itemtype::kData4), o.lowerCase = 1; }, 0x40,
         "000040 :41424344:        : ABCD "},
        {[&] { f.Type(0x40, itemtype::kData8); }, 0x40, "000040 :41424344:45464748: ABCDEFGH "},
        {[&] { f.Type(0x40, itemtype::kData12), o.baseAddress = kFlashBase; }, 0x40,
         "200040 :41424344:45464748:494a4b4c:        :  ABCDEFGHIJKL "},
        {[&] { f.Type(0x40, itemtype::kData16); }, 0x40,
         "000040 :41424344:45464748:494a4b4c:4d4e4f50: ABCDEFGHIJKLMNOP "},
        {[&] { f.Type(0x108, 0); }, 0x108, ""},
        {[&] { f.Type(0x108, 15); }, 0x108, ""},
        {[] {}, 0x400, ""},
    };
    for (const auto& c : cases) {
        o = {.viewHex = 0, .viewAscii = 0, .viewSystemStrings = 0};
        c.set();
        EXPECT_EQ(GetLineText(*f.doc, c.at, 0), c.line);
    }
    EXPECT_EQ(GetLineText(*f.doc, -2, 0), "");
    int s = 0;  // the joined halfword has no line
    EXPECT_EQ(f.doc->NextLine(0x100, s), 0x104);
}

TEST(LineText, DataPointersIntoTheFlashShowTheirTexts) {
    ListingFixture f;
    TestDoc::Options(*f.doc).viewSystemStrings = 1;
    f.Word(0x200, 0x00200310);
    f.Bytes(0x310, "Hello");
    f.Word(0x204, 0x12345678);
    f.Word(0x208, 0x00200318);
    f.Bytes(0x318, "World");
    f.Type(0x200, itemtype::kData12);
    EXPECT_EQ(GetLineText(*f.doc, 0x200, 0),
              "000200 :00200310:12345678:00200318:        :  . ...4Vx. ..  (Hello) (World)");
    f.Type(0x200, itemtype::kData2);
    EXPECT_EQ(GetLineText(*f.doc, 0x200, 0), "000200 :0020: .  ");
    TestDoc::Options(*f.doc).viewSystemStrings = 0;
    f.Type(0x200, itemtype::kData4);
    EXPECT_EQ(GetLineText(*f.doc, 0x200, 0), "000200 :00200310:        : . .. ");
}

TEST(LineText, ItemsCutByTheImageEndShowNoBytesBeyondIt) {
    ListingFixture f(0x104);
    f.Bytes(0x100, "WXYZ");
    TestDoc::Options(*f.doc).viewSystemStrings = 1;
    f.Type(0x100, itemtype::kData16);
    const std::string blank(8, ' ');
    EXPECT_EQ(GetLineText(*f.doc, 0x100, 0),
              "000100 :5758595a:" + blank + ":" + blank + ":" + blank + ": WXYZ" +
                  std::string(12, ' ') + " ");
    f.Type(0x102, itemtype::kArm);
    TestDoc::Options(*f.doc).viewHex = 1;
    EXPECT_EQ(GetLineText(*f.doc, 0x102, 0), "000102 :595a    : ARM code");
    LineBuffer out;
    FormatDataLine(*f.doc, 0x104, 4, out);
    EXPECT_EQ(out.View(), "End");
}

TEST(LineText, SeparatorSubLines) {
    ListingFixture f;
    f.Half(0x100, 0xBD10);
    TestDoc::Flags(*f.doc)[0x80] |= flagbits::kRoutineStart | flagbits::kRoutineEnd;
    EXPECT_EQ(GetLineText(*f.doc, 0x100, -1), "-----------------------------------------v");
    EXPECT_EQ(GetLineText(*f.doc, 0x100, 1), "-----------------------------------------^");
    // Without the bits the separators' sub-lines give the item line.
    f.Half(0x104, 0x46C0);
    EXPECT_EQ(GetLineText(*f.doc, 0x104, -1), "000104 : NOP");
    EXPECT_EQ(GetLineText(*f.doc, 0x104, 1), "000104 : NOP");
    EXPECT_EQ(GetLineText(*f.doc, 0x104, 2), "End of File");
}

}  // namespace
