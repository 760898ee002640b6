#include <gtest/gtest.h>

#include <string>

#include "listing/Export.h"
#include "listing/ListingFixture.h"

namespace {

// Four items: 0x00 routine start "main" with a note, 0x02, 0x04 routine end with a
// footer, 0x06 the last one.
class ExportTest : public ::testing::Test {
  protected:
    ExportTest() : f(8) {
        f.Half(0, 0xB510);
        f.Half(2, 0x46C0);
        f.Half(4, 0xBD10);
        f.Half(6, 0x4770);
        TestDoc::Flags(*f.doc)[0] |= flagbits::kRoutineStart;
        TestDoc::Flags(*f.doc)[2] |= flagbits::kRoutineEnd;
        TestDoc::Header(*f.doc, 0, "main");
        TestDoc::Note(*f.doc, 0, "saves R4");
        TestDoc::Footer(*f.doc, 4, "end routine");
        f.doc->Apply(TextEdit(*f.doc, DocEdit::TextKind::kExplanation, 2, "never exported", true));
    }
    std::string Pad(const std::string& text) { return text + std::string(70 - text.size(), ' '); }
    ListingFixture f;
};

TEST_F(ExportTest, WholeListingWithAnnotationsAtColumn70) {
    const std::string expected = Pad("-----------------------------------------v") + "main\r\n" +
                                 Pad("000000 : PUSH { R4, LR }") + "saves R4\r\n" +
                                 "000002 : NOP\r\n" + "000004 : POP { R4, PC }\r\n" +
                                 Pad("-----------------------------------------^") +
                                 "end routine\r\n" + "000006 : BX  R0, LR\r\n" + "End of File\r\n";
    EXPECT_EQ(ListingText(*f.doc, 0, 7, "\r\n"), expected);
}

TEST_F(ExportTest, SelectionBounds) {
    // From a routine start: its header separator comes first.
    EXPECT_EQ(ListingText(*f.doc, 0, 0, "\n"), Pad("-----------------------------------------v") +
                                                   "main\n" + Pad("000000 : PUSH { R4, LR }") +
                                                   "saves R4\n");
    // The end item's own lines are all written, footer included, but no more.
    EXPECT_EQ(ListingText(*f.doc, 4, 4, "\n"),
              "000004 : POP { R4, PC }\n" + Pad("-----------------------------------------^") +
                  "end routine\n");
    // Reaching the last halfword ends with "End of File".
    EXPECT_EQ(ListingText(*f.doc, 6, 0xFFFFFFFF, "\n"), "000006 : BX  R0, LR\nEnd of File\n");
    // Start after end, or outside the image: nothing.
    EXPECT_EQ(ListingText(*f.doc, 4, 2, "\n"), "");
    EXPECT_EQ(ListingText(*f.doc, 8, 20, "\n"), "");
}

TEST_F(ExportTest, StartInsideAnItemAndLongLines) {
    f.Half(2, 0xF7FF);
    f.Half(4, 0xFFFD);  // BL to 0, whose header is long
    TestDoc::Flags(*f.doc)[2] = itemtype::kThumb;
    TestDoc::Flags(*f.doc)[4] = itemtype::kThumb | flagbits::kContinuation;
    TestDoc::Header(*f.doc, 0, std::string(80, 'M'));
    TestDoc::Note(*f.doc, 2, "note");
    // The walk starts where it is told, even on a continuation.
    const std::string text = ListingText(*f.doc, 4, 4, "\n");
    EXPECT_EQ(text, "000004 : BL ...?\n");
    // A line of 70 characters or more gets its note right after it.
    const std::string line = "000002 : BL 0 (" + std::string(80, 'M') + ")";
    EXPECT_EQ(ListingText(*f.doc, 2, 2, "\n"), line + "note\n");
}

TEST_F(ExportTest, FilesAndTheirFailures) {
    TempDir dir;
    const std::string path = dir.File("out.asm");
    f.doc->SetSelection(0, 7);
    ASSERT_EQ(ExportSelection(*f.doc, path), ExportResult::kOk);
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), ListingText(*f.doc, 0, 7, "\r\n"));
    // An export replaces the old file.
    f.doc->SetSelection(f.doc->SelectionStart(), 2);
    ASSERT_EQ(ExportSelection(*f.doc, path), ExportResult::kOk);
    EXPECT_EQ(ReadFileBytes(path).size(), ListingText(*f.doc, 0, 2, "\r\n").size());
    EXPECT_EQ(ExportSelection(*f.doc, dir.File("missing/out.asm")), ExportResult::kCannotOpen);
    // A range with nothing in it never opens the target.
    f.doc->SetSelection(8, f.doc->SelectionEnd());
    EXPECT_EQ(ExportSelection(*f.doc, path), ExportResult::kEmptyRange);
    f.doc->SetSelection(f.doc->ImageSize(), f.doc->ImageSize() + 8);
    EXPECT_EQ(ExportSelection(*f.doc, path), ExportResult::kEmptyRange);
    EXPECT_EQ(ReadFileBytes(path).size(), ListingText(*f.doc, 0, 2, "\r\n").size());
}

TEST(ExportPath, AsmIsAddedOnlyWithoutAnyDot) {
    EXPECT_EQ(ExportPathFor("out"), "out.asm");
    EXPECT_EQ(ExportPathFor("/tmp/dir/out"), "/tmp/dir/out.asm");
    EXPECT_EQ(ExportPathFor("out.txt"), "out.txt");
    EXPECT_EQ(ExportPathFor("/tmp/a.b/out"), "/tmp/a.b/out.asm");  // only the file name's dot
    // A device keeps its name, so that the export's refusal names it.
    EXPECT_EQ(ExportPathFor("/dev/null"), "/dev/null");
}

}  // namespace
