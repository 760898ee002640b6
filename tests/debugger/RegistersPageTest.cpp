#include "support/TestDoc.h"
#include "DebuggerFixture.h"
#include "debugger/RegistersPage.h"
#include "debugger/TextLines.h"

namespace {

using RegistersPageTest = DebuggerTest;

std::string TextOrEmpty(const DrawList& list, int x, int y) {
    const DrawText* t = TextAt(list, x, y);
    return t ? t->text : std::string("<none>");
}

TEST_F(RegistersPageTest, NoDocumentPaintsOnlyTheNotice) {
    DrawList list;
    PaintRegisters(nullptr, list);
    ASSERT_EQ(list.texts.size(), 1u);
    EXPECT_EQ(list.texts[0].text, "No file loaded");
    EXPECT_EQ(list.texts[0].x, 10);
    EXPECT_EQ(list.texts[0].y, 10);
}

TEST_F(RegistersPageTest, StackRowsShowDashesAtStartAndThePushedWordAfterPush) {
    Open({0xB401});  // PUSH {R0}
    Start();
    DrawList list;
    PaintRegisters(doc.get(), list);
    const int rows = TestDoc::Emulator(*doc).ioRegisterCount;
    ASSERT_EQ(rows, 23);
    for (int k = 0; k < rows; ++k)
        EXPECT_EQ(TextOrEmpty(list, 10, 162 + 15 * k), "------      --------") << k;

    TestDoc::Emulator(*doc).r[0] = 0xCAFE0123;
    Step();
    PaintRegisters(doc.get(), list);
    EXPECT_EQ(TextOrEmpty(list, 10, 162 + 15 * (rows - 1)), "10EABC(+00) CAFE0123");
    EXPECT_EQ(TextOrEmpty(list, 10, 162 + 15 * (rows - 2)), "------      --------");
    EXPECT_EQ(TextOrEmpty(list, 10, 145), "Stack");
    EXPECT_EQ(TextOrEmpty(list, 210, 145), "I/O");
}

TEST_F(RegistersPageTest, RedMarksExactlyWhatTheStepChanged) {
    Open();
    Start();
    CEmulator& e = TestDoc::Emulator(*doc);
    e.zeroFlag = 0;
    e.SaveSnapshot();
    e.r[3] = 0x33;
    e.zeroFlag = 1;
    DrawList list;
    PaintRegisters(doc.get(), list);
    int red = 0;
    for (const DrawText& t : list.texts) red += t.color == kRed;
    EXPECT_EQ(red, 2);
    EXPECT_EQ(TextAt(list, 10, 45)->text, "R3 = 00000033");
    EXPECT_EQ(TextAt(list, 10, 45)->color, kRed);
    EXPECT_EQ(TextAt(list, 50, 125)->text, "Z:1");
    EXPECT_EQ(TextAt(list, 50, 125)->color, kRed);
    EXPECT_EQ(TextAt(list, 150, 105)->text, "PC = 00200004");  // H-column, index 15

    // A second paint keeps the red: it compares with the step's snapshot.
    PaintRegisters(doc.get(), list);
    EXPECT_EQ(TextAt(list, 10, 45)->color, kRed);
    e.SaveSnapshot();
    PaintRegisters(doc.get(), list);
    EXPECT_EQ(TextAt(list, 10, 45)->color, kBlack);
}

TEST_F(RegistersPageTest, IoRowsShowAddressValueAndMarks) {
    Open();
    DrawList list;
    PaintRegisters(doc.get(), list);
    EXPECT_EQ(TextOrEmpty(list, 210, 162), "020000 24   ");
    IoRegister& io = TestDoc::Emulator(*doc).ioRegisters[1];
    io.wasRead = 1;
    io.wasWritten = 1;
    io.value = static_cast<uint8_t>(io.previousValue + 1);
    PaintRegisters(doc.get(), list);
    const DrawText* row = TextAt(list, 210, 177);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->text.substr(row->text.size() - 2), "rw");
    EXPECT_EQ(row->color, kRed);
}

// A paint reads the stack from the RAM itself: a SP outside it shows question marks.
TEST_F(RegistersPageTest, StackRowsOutsideTheRamShowQuestionMarks) {
    Open();
    Start();
    CEmulator& e = TestDoc::Emulator(*doc);
    struct Case {
        uint32_t sp;
        const char* bottomRow;
    } cases[] = {
        {0x00300000, "300000(+00) ????????"},  // nowhere
        {0x0010FFFE, "10FFFE(+00) ????????"},  // the word would cross the RAM's end
        {0x0010EA00, "10EA00(+00) 00000000"},
    };
    e.initialSp = 0xFFFFFFFF;  // every row below it
    for (const Case& c : cases) {
        e.r[13] = c.sp;
        DrawList list;
        PaintRegisters(doc.get(), list);
        EXPECT_EQ(TextOrEmpty(list, 10, 162 + 15 * 22), c.bottomRow);
        EXPECT_TRUE(warnings.empty()) << warnings.front();
    }
}

TEST_F(RegistersPageTest, RegisterEntryStoresHexAndRefusesOtherCharacters) {
    Open();
    CEmulator& e = TestDoc::Emulator(*doc);
    e.r[9] = 0x1234;
    EXPECT_EQ(RegisterEditText(e, 9), "00001234");
    EXPECT_FALSE(StoreRegisterEntry(e, 9, "12X"));
    EXPECT_FALSE(StoreRegisterEntry(e, 9, "g"));
    EXPECT_EQ(e.r[9], 0x1234u);
    EXPECT_TRUE(StoreRegisterEntry(e, 9, "ffff0000"));
    EXPECT_EQ(e.r[9], 0xFFFF0000u);
    EXPECT_TRUE(StoreRegisterEntry(e, 9, ""));
    EXPECT_EQ(e.r[9], 0u);
}

TEST_F(RegistersPageTest, AccessibleLinesReadTheRegistersLineByLine) {
    Open();
    TestDoc::Emulator(*doc).r[3] = 0x33;
    DrawList list;
    PaintRegisters(doc.get(), list);
    const std::vector<std::string> lines = TextLines(list, 10, kRegistersCharWidth);
    ASSERT_GE(lines.size(), 12u);
    EXPECT_EQ(lines[3].substr(0, 13), "R3 = 00000033");
    EXPECT_NE(lines[3].find("H3 = 00000000"), std::string::npos);
    EXPECT_EQ(lines[8], "N:0 Z:0 C:0  V:0 T:0");
}

}  // namespace
