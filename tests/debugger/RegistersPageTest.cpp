// The registers bar's paint (compared whole with debugger/paints) and its entry.
#include "DebuggerFixture.h"
#include "debugger/RegistersPage.h"

namespace {

using RegistersPageTest = DebuggerTest;

// No document: the notice alone. After PUSH {R0}: the pushed word in the bottom stack
// row, the other rows dashes; red exactly for what changed since the step's snapshot
// (SP, PC, and R3, N, Z and V set after it), also on a second paint; an I/O row read and
// written with a new value.
TEST_F(RegistersPageTest, PaintsCompareWithTheRecordedOnes) {
    DrawList list;
    PaintRegisters(nullptr, list);
    ExpectPaint("registers_no_document", list, kRegistersCharWidth);
    Open({0xB401});
    Start();
    emu().r[0] = 0xCAFE0123;
    emu().SaveSnapshot();
    emu().Step();
    emu().SetRegister(CEmulator::kCpsrIndex, 0x90000020);  // N, V and T (bit 5)
    emu().r[3] = 0x33;
    emu().zeroFlag = 1;
    IoRegister& io = emu().ioRegisters[1];
    io.wasRead = io.wasWritten = 1;
    io.value = static_cast<uint8_t>(io.previousValue + 1);
    PaintRegisters(doc.get(), list);
    PaintRegisters(doc.get(), list);
    ExpectPaint("registers_after_push", list, kRegistersCharWidth);
    emu().SaveSnapshot();
    PaintRegisters(doc.get(), list);
    EXPECT_EQ(TextAt(list, 10, 45)->color, kBlack);  // R3: red until the next step
}

// A paint reads the stack from the RAM itself: a SP outside it shows question marks.
TEST_F(RegistersPageTest, StackRowsOutsideTheRamShowQuestionMarks) {
    Open();
    Start();
    const struct {
        uint32_t sp;
        const char* bottomRow;
    } cases[] = {
        {0x00300000, "300000(+00) ????????"},  // nowhere
        {0x0010FFFE, "10FFFE(+00) ????????"},  // the word would cross the RAM's end
        {0x0010EA00, "10EA00(+00) 00000000"},
    };
    emu().initialSp = 0xFFFFFFFF;  // every row below it
    for (const auto& c : cases) {
        emu().r[13] = c.sp;
        DrawList list;
        PaintRegisters(doc.get(), list);
        ASSERT_NE(TextAt(list, 10, 162 + 15 * 22), nullptr);
        EXPECT_EQ(TextAt(list, 10, 162 + 15 * 22)->text, c.bottomRow);
        EXPECT_TRUE(warnings.empty());
    }
}

TEST_F(RegistersPageTest, RegisterEntryStoresHexAndRefusesOtherCharacters) {
    Open();
    emu().r[9] = 0x1234;
    EXPECT_EQ(RegisterEditText(emu(), 9), "00001234");
    const struct {
        const char* text;
        bool stored;
        uint32_t value;
    } cases[] = {{"12X", false, 0x1234},
                 {"g", false, 0x1234},
                 {"ffff0000", true, 0xFFFF0000},
                 {"", true, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(StoreRegisterEntry(emu(), 9, c.text), c.stored) << c.text;
        EXPECT_EQ(emu().r[9], c.value) << c.text;
    }
}

}  // namespace
