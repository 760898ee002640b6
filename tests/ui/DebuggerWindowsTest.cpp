// The debugger bars in the main window and the run commands: editing in place, keys,
// accessible text, hidden bars, the run keys with a long run live in the event loop, and
// the demo firmware stepped with every bar shown.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "UiTestHelpers.h"
#include "app/CChildFrame.h"
#include "debugger/qt/CCallStackDlg.h"
#include "debugger/qt/CEmulatorView.h"
#include "debugger/qt/CIoMapDlg.h"
#include "debugger/qt/CMemoryView.h"
#include "debugger/qt/CPhoneDlg.h"
#include "debugger/qt/CWarningsDlg.h"
#include "debugger/PhoneScreen.h"
#include "support/TestDoc.h"
#include "widgets/CInlineEdit.h"

namespace {

// The demo open with every bar shown.
struct DemoWindow : Window {
    DemoWindow() : Window(0, {}, TRAVIK_DEMO_FLS) {
        for (int bar = 0; bar < CMainFrame::kBarCount; ++bar) ShowBar(CMainFrame::Bar(bar));
    }
    template <class T>
    T* Hosted(CMainFrame::Bar bar) { return qobject_cast<T*>(frame().BarOf(bar)->Hosted()); }
    CEmulator& Emulator() { return TestDoc::Emulator(doc()); }
    void Run(RunCommand command, int times = 1) {
        for (int i = 0; i < times; ++i) view().OnRunCommand(command);
    }
};

QString AccessibleText(QWidget* widget) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(widget);
    if (a == nullptr || a->textInterface() == nullptr) return {};
    return a->textInterface()->text(0, a->textInterface()->characterCount());
}

void Type(CInlineEdit* edit, const QString& text) {
    QTest::keyClick(edit->Editor(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit->Editor(), text);
    QTest::keyClick(edit->Editor(), Qt::Key_Return);
}

// A double click edits a register (a refused text keeps the field open); a new PC is a
// jump: the next step runs the instruction there.
TEST(DebuggerWindows, DoubleClickEditsARegister) {
    DemoWindow w;
    auto* view = w.Hosted<CEmulatorView>(CMainFrame::kEmulatorBar);
    ASSERT_NE(view, nullptr);
    w.Emulator().r[9] = 0x1234;
    QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(160, 20));
    CInlineEdit* edit = view->Editor();
    ASSERT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->Text(), "00001234");
    EXPECT_EQ(edit->Editor()->accessibleName(), "Register");
    Type(edit, "12X");
    EXPECT_TRUE(edit->isVisible());
    Type(edit, "ffff0000");
    EXPECT_FALSE(edit->isVisible());
    EXPECT_EQ(w.Emulator().r[9], 0xFFFF0000u);
    w.GoTo(0);
    w.Run(RunCommand::kStart);
    QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(160, 110));
    Type(edit, "200016");  // LDR R0, =0020020C
    w.Run(RunCommand::kStepInto);
    EXPECT_EQ(std::pair(w.Emulator().r[0], w.Emulator().r[15]), std::pair(0x20020Cu, 0x20001Cu));
}

// Keys select and name RAM bytes; the dump follows the accesses the run reports and its
// own paints change nothing; the bars read as lines of text of the active document.
TEST(DebuggerWindows, MemoryDumpKeysFollowingAndAccessibleText) {
    DemoWindow w;
    auto* memory = w.Hosted<CMemoryView>(CMainFrame::kMemoryBar);
    auto* registers = w.Hosted<CEmulatorView>(CMainFrame::kEmulatorBar);
    EXPECT_EQ(registers->accessibleName() + memory->accessibleName() + w.frame().Phone()->accessibleName(),
              "EmulatorMemory DumpPhone Emulator");
    memory->repaint();
    EXPECT_TRUE(AccessibleText(memory).split('\n').value(1).startsWith("00100000: 00 00 00 00:00"));
    auto r3 = [&] { return AccessibleText(registers).split('\n').value(3).left(13); };
    w.Emulator().r[3] = 0x33;
    ASSERT_TRUE(w.app.Open(WriteThumbImage(w.dir, "b.fls", 64)));
    TestDoc::Emulator(*w.frame().Document(1)).r[3] = 0x77;
    EXPECT_EQ(r3(), "R3 = 00000077");
    w.frame().MdiArea()->setActiveSubWindow(w.frame().ChildFrames(w.frame().Document(0)).first());
    EXPECT_EQ(r3(), "R3 = 00000033");
    memory->setFocus();
    for (int i = 0; i < 16; ++i) QTest::keyClick(memory, Qt::Key_Right);
    for (int i = 0; i < 3; ++i) QTest::keyClick(memory, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(memory, Qt::Key_E);
    ASSERT_TRUE(memory->Editor()->isVisible());
    EXPECT_EQ(memory->Editor()->Editor()->accessibleName(), "RAM name");
    AnswerNextBox(QMessageBox::Ok);  // what the info file cannot hold is refused
    TypeText(memory->Editor()->Editor(), QString::fromUtf8("→"));
    QTest::keyClick(memory->Editor()->Editor(), Qt::Key_Return);
    EXPECT_TRUE(memory->Editor()->isVisible());
    Type(memory->Editor(), "flags");
    EXPECT_EQ(w.doc().RamNames().Find(0x10) ? *w.doc().RamNames().Find(0x10) : "", "flags");
    EXPECT_EQ(w.doc().RamNames().At(0x13), RamNameTable::Entry::Continued);
    EXPECT_EQ(w.doc().RamNames().At(0x14), RamNameTable::Entry::None);

    QTest::keyClick(memory, Qt::Key_F2, Qt::ControlModifier);  // the page that follows writes
    ASSERT_EQ(memory->State().page, 1);
    w.GoTo(0);
    w.Run(RunCommand::kStart);
    w.Run(RunCommand::kStepInto, 7);  // STMIA R0!, {R1, R2} writes 00107600-00107607
    EXPECT_EQ(memory->State().Current().cursor, 0x7604);
    w.Emulator().followMarks.write = 0x100123;
    memory->repaint();
    EXPECT_EQ(w.Emulator().followMarks.write, 0x100123u);
    EXPECT_EQ(memory->State().Current().cursor, 0x7604);

}

// Warnings reach a hidden log; call stack refreshes are gathered into one rebuild, and a
// hidden bar rebuilds when shown again.
TEST(DebuggerWindows, HiddenBarsCatchUpWhenShown) {
    DemoWindow w;
    w.frame().BarOf(CMainFrame::kWarningsBar)->hide();
    w.frame().AddWarning("");
    w.frame().AddWarning("while hidden");
    w.ShowBar(CMainFrame::kWarningsBar);
    EXPECT_EQ(w.frame().Warnings()->Edit()->toPlainText(), "\nwhile hidden\n");

    CCallStackDlg* dlg = w.frame().CallStack();
    std::vector<CallRecord>& list = w.Emulator().callTracks[1];
    list = {{0x200000, 0x200004}, {0x200008, 0x20000C}};
    w.Emulator().runState = CEmulator::kSuspended;
    for (int i = 0; i < 1000; ++i) w.frame().RefreshCallStack();
    EXPECT_TRUE(dlg->RebuildPending());
    QApplication::processEvents();
    EXPECT_FALSE(dlg->RebuildPending());
    EXPECT_EQ(dlg->Tree()->topLevelItem(0)->child(0)->child(0)->text(0), "00000008 -> 0000000C");
    w.frame().BarOf(CMainFrame::kCallStackBar)->hide();
    list.resize(1);
    w.frame().RefreshCallStack();
    QApplication::processEvents();
    EXPECT_TRUE(dlg->RebuildPending());
    w.ShowBar(CMainFrame::kCallStackBar);
    EXPECT_EQ(dlg->Tree()->topLevelItem(0)->child(0)->childCount(), 0);
}

// The keys and the Debug menu reach the document's session; a long run goes on from the
// event loop while the window paints, also when the window it began in closes, and Esc
// ends it with the listing on the current instruction.
TEST(DebuggerWindows, RunKeysReachTheSessionAndARunStaysLiveUntilEsc) {
    // R0 counts to 200, then R1 = 7 and a loop for ever.
    Window w(0x400, {0x2000, 0x3001, 0x28C8, 0xD1FC, 0x2107, 0xE7FE});
    QWidget* registers = w.ShowBar(CMainFrame::kEmulatorBar);
    struct PaintCounter : QObject {
        bool eventFilter(QObject*, QEvent* event) override {
            return paints += event->type() == QEvent::Paint, false;
        }
        int paints = 0;
    } counter;
    registers->installEventFilter(&counter);
    auto log = [&] { return w.frame().Warnings()->Log(); };
    w.GoTo(8);
    w.Key(Qt::Key_F2);
    EXPECT_TRUE(std::filesystem::exists(w.doc().DebugMarksPath()));
    w.GoTo(0);
    EXPECT_FALSE(w.Enabled(cmd::kDebugStepInto));
    w.Key(Qt::Key_F5);
    EXPECT_FALSE(w.Enabled(cmd::kDebugStart));
    w.Key(Qt::Key_F7);
    EXPECT_EQ(w.view().State().cursorOffset, 2u);
    EXPECT_TRUE(w.frame().CallStack()->RebuildPending());  // the bar is hidden
    w.Key(Qt::Key_F6);  // Animate: a step a tick until Break
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.doc().Emulator().r[0] > 1; }, 5000));
    w.Run(cmd::kDebugBreak);
    w.Key(Qt::Key_F9);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.doc().Session().LongRunActive(); }, 5000));
    w.Paint();
    EXPECT_EQ(w.view().State().cursorOffset, 8u);
    EXPECT_EQ(w.doc().Emulator().r[1], 0u);  // stopped before the breakpoint's instruction
    EXPECT_NE(log().find("Breakpoint at 00200008"), std::string::npos) << log();
    w.Run(cmd::kDebugClearBreakpoints);
    EXPECT_FALSE(std::filesystem::exists(w.doc().DebugMarksPath()));

    w.Run(cmd::kWindowNew);
    w.Key(Qt::Key_F9);
    ASSERT_TRUE(w.doc().Session().LongRunActive());
    EXPECT_TRUE(w.Enabled(cmd::kDebugBreak));
    EXPECT_FALSE(w.Enabled(cmd::kDebugStepInto));
    // The progress stays shown whatever the pointer rests on.
    QStatusTipEvent tip(registers->statusTip());
    QApplication::sendEvent(registers, &tip);
    EXPECT_EQ(w.frame().statusBar()->currentMessage(), "");
    w.frame().MdiArea()->activeSubWindow()->close();
    QApplication::processEvents();
    ASSERT_EQ(w.frame().ChildFrames().size(), 1);
    counter.paints = 0;
    const uint64_t before = w.doc().Emulator().LongRunExecuted();
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints >= 3; }, 5000));
    EXPECT_GT(w.doc().Emulator().LongRunExecuted(), before);
    EXPECT_TRUE(w.frame().StatusPane()->text().startsWith("Running: "));
    w.Key(Qt::Key_Escape);
    EXPECT_FALSE(w.doc().Session().LongRunActive());
    EXPECT_EQ(std::pair(w.doc().Emulator().runState, w.view().State().cursorOffset),
              std::pair(uint32_t{CEmulator::kSuspended}, 0xAu));
    EXPECT_NE(log().find("Run stopped at 0020000A"), std::string::npos) << log();
    EXPECT_EQ(w.frame().StatusPane()->text(), "Ready");
}

// The demo stepped from its first instruction with every bar shown, painting as it goes;
// the phone's screen then shows the first picture of the emu_demo_lcd transcript. A
// click on a pixel names its writer, Ctrl+click goes there; the I/O Map bar lists the
// named frame counter with the instruction that writes it, and Clear empties it.
TEST(DebuggerWindows, SteppedDemoDrawsTheGoldenPictureOnThePhone) {
    std::ifstream in(TRAVIK_TESTS_DIR "/cli/transcripts/emu_demo_lcd.txt");
    std::vector<std::string> golden;
    for (std::string line; std::getline(in, line) && golden.size() < 48;)
        if (line.size() == 86 && line.starts_with("> ")) golden.push_back(line.substr(2));
    ASSERT_EQ(golden.size(), 48u);
    DemoWindow w;
    TestDoc::RamNames(w.doc()).SetName(0x10C, "frames");
    w.GoTo(0);
    w.Run(RunCommand::kStart);
    for (int step = 1; step <= 5000; ++step) {
        w.Run(RunCommand::kStepInto);
        if (step % 50 == 0) QApplication::processEvents();
    }
    w.frame().Phone()->repaint();
    const QImage& picture = w.frame().Phone()->Picture();
    int mismatches = 0;
    for (int r = 0; r < 48; ++r)
        for (int u = 0; u < 84; ++u)
            mismatches += (picture.pixel(49 + u, 190 + r) == qRgb(0, 0, 0)) != (golden[r][u] == '#');
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(w.Emulator().runState, CEmulator::kSuspended);
    EXPECT_EQ(w.frame().Warnings()->Log().substr(0, 31), "\r\nStart emulation from 00200000");

    // At the picture's own size a window pixel is a picture pixel, whatever size the bar
    // was given on this screen.
    CPhoneDlg* phone = w.frame().Phone();
    using S = PhoneScreen;
    phone->resize(S::kPictureWidth, S::kPictureHeight);
    const QPoint pixel(S::kLeft + S::kBorderX + 12, S::kTop + S::kBorderY + 3);
    ASSERT_EQ(phone->LcdPixelAt(pixel), QPoint(12, 3));
    QTest::mouseClick(phone, Qt::LeftButton, {}, pixel);
    EXPECT_EQ(w.frame().StatusPane()->text(),
              "Pixel 12,3: written by 002000AE (STRB R3, [R1, #0]) value 01 at instruction 285");
    QTest::mouseClick(phone, Qt::LeftButton, Qt::ControlModifier, pixel);
    EXPECT_EQ(w.view().State().cursorOffset, 0xAEu);

    auto* ioMap = w.Hosted<CIoMapDlg>(CMainFrame::kIoMapBar);
    ioMap->RebuildNow();
    ASSERT_EQ(ioMap->Tree()->topLevelItemCount(), 1);
    QTreeWidgetItem* frames = ioMap->Tree()->topLevelItem(0);
    EXPECT_EQ(frames->text(0) + " " + frames->text(1), "0010010C frames");
    ASSERT_GE(frames->childCount(), 1);
    emit ioMap->Tree()->itemActivated(frames->child(0), 0);
    EXPECT_EQ(w.view().State().cursorOffset + CEmulator::kFlashBase,
              frames->child(0)->text(0).toUInt(nullptr, 16));
    QTest::mouseClick(ioMap->findChild<QPushButton*>("ioMapClear"), Qt::LeftButton);
    EXPECT_EQ(ioMap->Tree()->topLevelItemCount(), 0);
}

}  // namespace
