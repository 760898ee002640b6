// The five debugger bars in the main window: editing in place, keys, accessible text,
// hidden bars, and the demo firmware stepped with every bar shown.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>
#include <fstream>

#include "UiTestHelpers.h"
#include "support/TestDoc.h"
#include "debugger/qt/CCallStackDlg.h"
#include "debugger/qt/CEmulatorView.h"
#include "debugger/qt/CMemoryView.h"
#include "debugger/qt/CPhoneDlg.h"
#include "debugger/qt/CWarningsDlg.h"
#include "app/CChildFrame.h"
#include "widgets/CInlineEdit.h"
#include "app/CResizableBar.h"

namespace {

class DebuggerWindowsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string demo = TRAVIK_DEMO_FLS;
        if (demo.empty()) GTEST_SKIP() << "the demo firmware is not built";
        app = std::make_unique<TestApp>(dir.File("settings.ini"));
        ASSERT_TRUE(app->Start(demo));
        for (int bar = 0; bar < CMainFrame::kBarCount; ++bar)
            Frame().BarOf(CMainFrame::Bar(bar))->show();
        QApplication::processEvents();
    }
    CMainFrame& Frame() { return app->Frame(); }
    CTravikDoc& Doc() { return *Frame().GetFirstDocument(); }
    template <class T>
    T* Hosted(CMainFrame::Bar bar) {
        return qobject_cast<T*>(Frame().BarOf(bar)->Hosted());
    }
    void Run(RunCommand command, int times = 1) {
        for (int i = 0; i < times; ++i) Frame().ActiveView()->OnRunCommand(command);
    }
    static QString AccessibleText(QWidget* widget) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(widget);
        if (a == nullptr || a->textInterface() == nullptr) return {};
        return a->textInterface()->text(0, a->textInterface()->characterCount());
    }
    static void Type(CInlineEdit* edit, const QString& text) {
        QTest::keyClick(edit->Editor(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit->Editor(), text);
        QTest::keyClick(edit->Editor(), Qt::Key_Return);
    }

    TempDir dir;
    std::unique_ptr<TestApp> app;
};

TEST_F(DebuggerWindowsTest, DoubleClickEditsARegister) {
    auto* view = Hosted<CEmulatorView>(CMainFrame::kEmulatorBar);
    ASSERT_NE(view, nullptr);
    TestDoc::Emulator(Doc()).r[9] = 0x1234;
    QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(160, 20));
    CInlineEdit* edit = view->Editor();
    ASSERT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->Text(), "00001234");
    EXPECT_EQ(edit->Editor()->accessibleName(), "Register");
    Type(edit, "12X");  // refused: the field stays open
    EXPECT_TRUE(edit->isVisible());
    Type(edit, "ffff0000");
    EXPECT_FALSE(edit->isVisible());
    EXPECT_EQ(TestDoc::Emulator(Doc()).r[9], 0xFFFF0000u);
    QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(160, 130));  // below the registers
    EXPECT_FALSE(edit->isVisible());

    // A new PC is a jump: the next step runs the instruction there.
    Frame().ActiveView()->GoToOffset(0, true);
    Run(RunCommand::kStart);
    QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(160, 110));
    Type(edit, "200016");  // LDR R0, =0020020C
    Run(RunCommand::kStepInto);
    EXPECT_EQ(TestDoc::Emulator(Doc()).r[0], 0x20020Cu);
    EXPECT_EQ(TestDoc::Emulator(Doc()).r[15], 0x20001Cu);
}

// The dump follows the accesses the run reports; its own paints change nothing.
TEST_F(DebuggerWindowsTest, MemoryDumpFollowsTheRunNotItsPaints) {
    auto* memory = Hosted<CMemoryView>(CMainFrame::kMemoryBar);
    QTest::keyClick(memory, Qt::Key_F2, Qt::ControlModifier);  // the page that follows writes
    ASSERT_EQ(memory->State().page, 1);
    Frame().ActiveView()->GoToOffset(0, true);
    Run(RunCommand::kStart);
    Run(RunCommand::kStepInto, 7);  // STMIA R0!, {R1, R2} writes 00107600-00107607
    EXPECT_EQ(memory->State().Current().cursor, 0x7604);
    TestDoc::Emulator(Doc()).followMarks.write = 0x100123;
    memory->repaint();
    EXPECT_EQ(TestDoc::Emulator(Doc()).followMarks.write, 0x100123u);
    EXPECT_EQ(memory->State().Current().cursor, 0x7604);
}

// The bars read as lines of text, and show the active document.
TEST_F(DebuggerWindowsTest, BarsReadAsLinesOfTheActiveDocument) {
    auto* registers = Hosted<CEmulatorView>(CMainFrame::kEmulatorBar);
    auto* memory = Hosted<CMemoryView>(CMainFrame::kMemoryBar);
    EXPECT_EQ(registers->accessibleName(), "Emulator");
    EXPECT_EQ(memory->accessibleName(), "Memory Dump");
    EXPECT_EQ(Frame().Phone()->accessibleName(), "Phone Emulator");
    memory->repaint();
    const QStringList dump = AccessibleText(memory).split('\n');
    ASSERT_GT(dump.size(), 1);
    EXPECT_TRUE(dump[1].startsWith("00100000: 00 00 00 00:00")) << dump[1].toStdString();
    auto r3 = [&] { return AccessibleText(registers).split('\n').value(3).left(13); };
    TestDoc::Emulator(Doc()).r[3] = 0x33;
    ASSERT_TRUE(app->Open(WriteThumbImage(dir, "b.fls", 64)));
    TestDoc::Emulator(*Frame().Document(1)).r[3] = 0x77;
    EXPECT_EQ(r3(), "R3 = 00000077");
    Frame().MdiArea()->setActiveSubWindow(Frame().ChildFrames(&Doc()).first());
    ASSERT_EQ(Frame().ActiveDocument(), &Doc());
    EXPECT_EQ(r3(), "R3 = 00000033");
}

TEST_F(DebuggerWindowsTest, MemoryKeysSelectAndName) {
    auto* memory = Hosted<CMemoryView>(CMainFrame::kMemoryBar);
    memory->setFocus();
    for (int i = 0; i < 16; ++i) QTest::keyClick(memory, Qt::Key_Right);
    for (int i = 0; i < 3; ++i) QTest::keyClick(memory, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(memory->State().Current().selectionStart, 0x10);
    EXPECT_EQ(memory->State().Current().selectionEnd, 0x13);

    QTest::keyClick(memory, Qt::Key_E);
    CInlineEdit* edit = memory->Editor();
    ASSERT_TRUE(edit->isVisible());
    Type(edit, "flags");
    EXPECT_FALSE(edit->isVisible());
    ASSERT_NE(Doc().RamNames().Find(0x10), nullptr);
    EXPECT_EQ(*Doc().RamNames().Find(0x10), "flags");
    EXPECT_EQ(Doc().RamNames().At(0x13), RamNameTable::Entry::Continued);
}

TEST_F(DebuggerWindowsTest, WarningsArriveWhileHidden) {
    Frame().BarOf(CMainFrame::kWarningsBar)->hide();
    Frame().AddWarning("");
    Frame().AddWarning("while hidden");
    Frame().BarOf(CMainFrame::kWarningsBar)->show();
    QApplication::processEvents();
    EXPECT_EQ(Frame().Warnings()->Edit()->toPlainText(), "\nwhile hidden\n");
}

// Refreshes are gathered into one rebuild; a hidden bar rebuilds when shown again.
TEST_F(DebuggerWindowsTest, CallStackGathersRefreshesAndRebuildsWhenShown) {
    CCallStackDlg* dlg = Frame().CallStack();
    std::vector<CallRecord>& list = TestDoc::Emulator(Doc()).callTracks[1];
    list = {{0x200000, 0x200004}, {0x200008, 0x20000C}};
    TestDoc::Emulator(Doc()).runState = CEmulator::kSuspended;
    for (int i = 0; i < 1000; ++i) Frame().RefreshCallStack();
    EXPECT_TRUE(dlg->RebuildPending());
    QApplication::processEvents();
    EXPECT_FALSE(dlg->RebuildPending());
    EXPECT_EQ(dlg->Tree()->topLevelItem(0)->child(0)->child(0)->text(0), "00000008 -> 0000000C");

    Frame().BarOf(CMainFrame::kCallStackBar)->hide();
    list.resize(1);
    Frame().RefreshCallStack();
    QApplication::processEvents();
    EXPECT_TRUE(dlg->RebuildPending());
    Frame().BarOf(CMainFrame::kCallStackBar)->show();
    QApplication::processEvents();
    EXPECT_EQ(dlg->Tree()->topLevelItem(0)->child(0)->childCount(), 0);
}

std::vector<std::string> GoldenLcd() {
    std::ifstream in(TRAVIK_TESTS_DIR "/emulator/golden/demo_lcd_5000_steps.txt");
    std::vector<std::string> rows;
    for (std::string line; std::getline(in, line);) rows.push_back(line);
    return rows;
}

// The demo stepped from its first instruction with every bar shown, painting as it
// goes; the phone's screen then shows what the emulator tests' golden picture holds.
TEST_F(DebuggerWindowsTest, SteppedDemoDrawsTheGoldenPictureOnThePhone) {
    Frame().ActiveView()->GoToOffset(0, true);
    Run(RunCommand::kStart);
    for (int step = 1; step <= 5000; ++step) {
        Run(RunCommand::kStepInto);
        if (step % 50 == 0) QApplication::processEvents();
    }
    Frame().Phone()->repaint();
    const std::vector<std::string> golden = GoldenLcd();
    ASSERT_EQ(golden.size(), 48u);
    const QImage& picture = Frame().Phone()->Picture();
    int mismatches = 0;
    for (int r = 0; r < 48; ++r)
        for (int u = 0; u < 84; ++u) {
            const bool dark = picture.pixel(49 + u, 190 + r) == qRgb(0, 0, 0);
            mismatches += dark != (golden[r][u] == '#');
        }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(TestDoc::Emulator(Doc()).runState, CEmulator::kSuspended);
    EXPECT_EQ(Frame().Warnings()->Log().substr(0, 31), "\r\nStart emulation from 00200000");
}

}  // namespace
