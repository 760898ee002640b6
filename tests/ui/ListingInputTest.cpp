// The listing window driven with real key, mouse and wheel events, and the run commands
// through the Debug menu's actions and their keys, in the main window.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <QTreeWidget>
#include <QWheelEvent>
#include <filesystem>

#include "UiTestHelpers.h"
#include "debugger/qt/CCallStackDlg.h"
#include "debugger/qt/CEmulatorView.h"
#include "debugger/qt/CMemoryView.h"
#include "debugger/qt/CWarningsDlg.h"
#include "shell/qt/CInlineEdit.h"
#include "shell/qt/CResizableBar.h"
#include "shell/qt/CommandIds.h"

namespace {

// Lets the event loop run for `ms` milliseconds (timers, queued slices, paints).
void Spin(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A flash image of these THUMB halfwords from offset 0, the rest "MOV R0, #0".
std::string WriteProgram(const TempDir& dir, std::initializer_list<uint16_t> code) {
    std::vector<uint8_t> image;
    for (uint16_t h : code) PutHalf(image, h);
    for (size_t i = image.size(); i < 0x400; i += 2) PutHalf(image, 0x2000);
    const std::string path = dir.File("p.fls");
    WriteFile(path, image);
    return path;
}

// Types `text` into an editor, characters beyond Latin-1 included.
void TypeText(QWidget* editor, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(editor, &press);
    }
}

// Counts the paints a widget receives.
struct PaintCounter : QObject {
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
    int paints = 0;
};

struct Window {
    explicit Window(const std::string& flash) : app(dir.File("settings.ini")) {
        std::filesystem::copy_file(flash, dir.File("w.fls"));
        EXPECT_TRUE(app.Start(dir.File("w.fls")));
        // Only the first window of the process opens maximised by itself.
        app.Frame().MdiArea()->activeSubWindow()->showMaximized();
        QApplication::processEvents();
        QApplication::setActiveWindow(&app.Frame());
        view().setFocus();
        Paint();
    }
    CTravikView& view() { return *app.Frame().ActiveView(); }
    CTravikDoc& doc() { return view().GetDocument(); }
    void Paint() { view().repaint(); }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(&view(), static_cast<Qt::Key>(key), modifiers);
        Paint();
    }
    void GoTo(uint32_t offset) {
        view().GoToOffset(offset, true);
        Paint();
    }
    void Run(int commandId) {
        app.Frame().Action(commandId)->trigger();
        Paint();
    }
    bool Enabled(int commandId) { return app.Frame().Action(commandId)->isEnabled(); }
    uint32_t Current() { return CurrentInstructionOffset(doc()); }
    QWidget* ShowBar(CMainFrame::Bar bar) {
        app.Frame().BarOf(bar)->show();
        QApplication::processEvents();
        return app.Frame().BarOf(bar)->Hosted();
    }
    const std::string& Log() { return app.Frame().Warnings()->Log(); }
    // Break ends the long run under way where it stands, with a line that says so.
    void BreakLongRun(const std::string& line) {
        Run(cmd::kDebugBreak);
        EXPECT_FALSE(doc().emulator.LongRunActive());
        EXPECT_EQ(doc().emulator.runState, CEmulator::kSuspended);
        EXPECT_NE(Log().find(line), std::string::npos) << Log();
    }

    TempDir dir;
    TestApp app;
};

TEST(ListingInput, KeysMouseAndWheelReachTheListing) {
    TempDir images;
    Window w(WriteThumbImage(images, "k.fls", 0x800));
    ListingViewState& s = w.view().State();
    ASSERT_GE(s.rowCount, 20);
    for (int i = 0; i < 3; ++i) w.Key(Qt::Key_Down);
    EXPECT_EQ(s.cursorRow, 4);

    // Shift+0 arrives as ')' on this layout.
    w.Key(Qt::Key_Home);
    w.Key(Qt::Key_ParenRight, Qt::ControlModifier | Qt::ShiftModifier);
    for (uint32_t item = 0; item < 65; ++item)
        ASSERT_EQ(w.doc().Flags()[item * 8] & flagbits::kTypeMask, itemtype::kData16) << item;

    QTest::mouseClick(&w.view(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 44));
    w.Paint();
    EXPECT_EQ(s.cursorRow, 3);

    // Two half notches of a fine wheel make one line.
    w.Key(Qt::Key_PageDown);
    const int32_t top = s.topOffset;
    for (int i = 0; i < 2; ++i) {
        QWheelEvent wheel(QPointF(100, 100), w.view().mapToGlobal(QPointF(100, 100)), QPoint(),
                          QPoint(0, 60), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&w.view(), &wheel);
    }
    w.Paint();
    EXPECT_LT(s.topOffset, top);

    // No target to follow: a beep, nothing moves.
    const uint32_t cursor = s.cursorOffset;
    w.Key(Qt::Key_Right);
    EXPECT_EQ(s.cursorOffset, cursor);
}

TEST(ListingInput, NoteTypedWithEIsSavedAndReadBack) {
    TempDir images;
    Window w(WriteThumbImage(images, "n.fls", 0x400));
    w.GoTo(0x40);
    ASSERT_EQ(w.view().State().cursorOffset, 0x40u);
    w.Key(Qt::Key_E);
    CInlineEdit& editor = w.view().AnnotationEdit();
    ASSERT_TRUE(editor.isVisible());
    // Keys go to the editor, not to the listing: "A" would retype the item.
    QTest::keyClicks(editor.Editor(), "A note");
    QTest::keyClick(editor.Editor(), Qt::Key_Return);
    w.Paint();
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(w.doc().Flags()[0x20] & flagbits::kTypeMask, itemtype::kThumb);
    ASSERT_NE(w.doc().Notes().Find(0x20), nullptr);
    EXPECT_EQ(*w.doc().Notes().Find(0x20), "A note");
    EXPECT_TRUE(w.doc().Flags()[0x20] & flagbits::kUserMark);
    EXPECT_TRUE(w.doc().IsModified());

    // W opens the explanation box for typing; Enter makes a line, Ctrl+Enter commits.
    w.Key(Qt::Key_W);
    CInlineEdit& box = w.view().ExplanationBox();
    ASSERT_TRUE(box.isVisible());
    ASSERT_FALSE(box.IsReadOnly());
    QTest::keyClicks(box.Editor(), "why");
    QTest::keyClick(box.Editor(), Qt::Key_Return);
    QTest::keyClicks(box.Editor(), "this");
    QTest::keyClick(box.Editor(), Qt::Key_Return, Qt::ControlModifier);
    w.Paint();
    ASSERT_NE(w.doc().Explanations().Find(0x20), nullptr);
    EXPECT_EQ(*w.doc().Explanations().Find(0x20), "why\nthis");
    EXPECT_EQ(w.view().State().editingExplanation, 0);
    EXPECT_TRUE(box.IsReadOnly());  // shown again, read-only, for the cursor item

    w.Run(cmd::kFileSave);
    RecordingFrame frame;
    auto reopened = OpenImage(frame, w.dir.File("w.fls"));
    ASSERT_NE(reopened, nullptr);
    ASSERT_NE(reopened->Notes().Find(0x20), nullptr);
    EXPECT_EQ(*reopened->Notes().Find(0x20), "A note");
}

// The in-place editors are named after what they edit; a text the info file cannot hold
// is refused with a message, the editor staying open with it; an explanation stays with
// the item W was pressed on: a click on another line stores it there first.
TEST(ListingInput, EditorsRefuseWhatTheInfoFileCannotHoldAndKeepTheirItem) {
    TempDir images;
    Window w(WriteThumbImage(images, "u.fls", 0x400));
    w.GoTo(0x40);
    w.Key(Qt::Key_E);
    CInlineEdit& editor = w.view().AnnotationEdit();
    EXPECT_EQ(editor.Editor()->accessibleName(), "Note");
    TypeText(editor.Editor(), QString::fromUtf8("Prüfsumme → CRC ✓ →"));
    QString message;
    AnswerNextBox(QMessageBox::Ok, &message);
    QTest::keyClick(editor.Editor(), Qt::Key_Return);
    EXPECT_EQ(message, QString::fromUtf8("These characters cannot be kept in the info file, which "
                                         "holds one byte per character: → (U+2192), ✓ (U+2713)"));
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(w.doc().Notes().Find(0x20), nullptr);
    QTest::keyClick(editor.Editor(), Qt::Key_A, Qt::ControlModifier);
    TypeText(editor.Editor(), QString::fromUtf8("Prüfsumme"));
    QTest::keyClick(editor.Editor(), Qt::Key_Return);
    ASSERT_NE(w.doc().Notes().Find(0x20), nullptr);
    EXPECT_EQ(*w.doc().Notes().Find(0x20),
              "Pr\xFC"
              "fsumme");

    w.Key(Qt::Key_W);
    CInlineEdit& box = w.view().ExplanationBox();
    EXPECT_EQ(box.Editor()->accessibleName(), "Explanation");
    TypeText(box.Editor(), QString::fromUtf8("a → b"));
    const QPoint lineBelow(200, w.view().State().cursorRow * kListingRowHeight + 7);
    message.clear();
    AnswerNextBox(QMessageBox::Ok, &message);
    QTest::mouseClick(&w.view(), Qt::LeftButton, {}, lineBelow);
    w.Paint();
    EXPECT_TRUE(message.endsWith(QString::fromUtf8("→ (U+2192)"))) << message.toStdString();
    EXPECT_EQ(w.view().State().cursorOffset, 0x40u);
    EXPECT_FALSE(box.IsReadOnly());
    QTest::keyClick(box.Editor(), Qt::Key_A, Qt::ControlModifier);
    TypeText(box.Editor(), "why");
    QTest::mouseClick(&w.view(), Qt::LeftButton, {}, lineBelow);
    w.Paint();
    EXPECT_NE(w.view().State().cursorOffset, 0x40u);
    ASSERT_NE(w.doc().Explanations().Find(0x20), nullptr);
    EXPECT_EQ(*w.doc().Explanations().Find(0x20), "why");
    EXPECT_EQ(w.doc().Explanations().Find(w.view().State().cursorOffset / 2), nullptr);

    auto* registers = qobject_cast<CEmulatorView*>(w.ShowBar(CMainFrame::kEmulatorBar));
    QTest::mouseDClick(registers, Qt::LeftButton, {}, QPoint(160, 20));
    EXPECT_EQ(registers->Editor()->Editor()->accessibleName(), "Register");
    auto* memory = qobject_cast<CMemoryView*>(w.ShowBar(CMainFrame::kMemoryBar));
    CInlineEdit& field = *memory->Editor();
    QTest::keyClick(memory, Qt::Key_E);
    EXPECT_EQ(field.Editor()->accessibleName(), "RAM name");
    TypeText(field.Editor(), QString::fromUtf8("→"));
    message.clear();
    AnswerNextBox(QMessageBox::Ok, &message);
    QTest::keyClick(field.Editor(), Qt::Key_Return);
    EXPECT_FALSE(message.isEmpty());
    EXPECT_TRUE(field.isVisible());
    QApplication::setActiveWindow(&w.app.Frame());  // the message box took it
    memory->setFocus();
    QTest::keyClick(memory, Qt::Key_M);
    EXPECT_EQ(field.Editor()->accessibleName(), "Memory");
}

TEST(ListingInput, RunCommandsStepTheDemoAndKeepTheMenuInStep) {
    Window w(TRAVIK_DEMO_FLS);
    w.GoTo(0x00C);
    EXPECT_TRUE(w.Enabled(cmd::kDebugStart));
    EXPECT_FALSE(w.Enabled(cmd::kDebugStepInto));
    w.Key(Qt::Key_F5);
    EXPECT_EQ(w.doc().emulator.runState, CEmulator::kSuspended);
    EXPECT_FALSE(w.Enabled(cmd::kDebugStart));
    EXPECT_TRUE(w.Enabled(cmd::kDebugStepOver));
    EXPECT_FALSE(w.Enabled(cmd::kDebugBreak));

    w.Key(Qt::Key_F7);
    EXPECT_EQ(w.Current(), 0x00Eu);
    EXPECT_EQ(w.view().State().cursorOffset, 0x00Eu);

    // DrawText, called at 0x01A, returns through POP {R4, PC}.
    w.GoTo(0x01A);
    w.Run(cmd::kDebugStepToCursor);
    EXPECT_EQ(w.Current(), 0x01Au);
    const size_t calls = w.doc().emulator.callTracks[1].size();
    w.Key(Qt::Key_F8);
    EXPECT_EQ(w.Current(), 0x01Eu);
    EXPECT_EQ(w.doc().emulator.callTracks[1].size(), calls);

    // Into a call: the call stack bar follows the emulated calls.
    w.GoTo(0x02E);
    w.Run(cmd::kDebugStepToCursor);
    w.Key(Qt::Key_F7);
    EXPECT_EQ(w.Current(), 0x090u);
    EXPECT_TRUE(w.app.Frame().CallStack()->RebuildPending());  // the bar is hidden
    w.app.Frame().CallStack()->RebuildNow();
    QTreeWidgetItem* root = w.app.Frame().CallStack()->Tree()->topLevelItem(0);
    EXPECT_EQ(root->text(0), "Emulator Root");
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(root->child(0)->text(0), "0000002E -> 00000090");

    // The main loop never reaches the title text: the run goes on in slices, the
    // window stays live, and Break ends it where it stands.
    w.GoTo(0x20C);
    w.Run(cmd::kDebugStepToCursor);
    ASSERT_TRUE(w.doc().emulator.LongRunActive());
    Spin(150);
    EXPECT_TRUE(w.app.Frame().StatusPane()->text().startsWith("Running: "));
    EXPECT_TRUE(w.Enabled(cmd::kDebugBreak));
    EXPECT_FALSE(w.Enabled(cmd::kDebugStepInto));
    w.BreakLongRun("Run to 0020020C stopped at ");

    // Animate steps ten times a second until Break.
    const uint32_t before = w.Current();
    w.Key(Qt::Key_F6);
    EXPECT_EQ(w.doc().emulator.runState, CEmulator::kRunning);
    EXPECT_TRUE(w.Enabled(cmd::kDebugBreak));
    Spin(450);
    EXPECT_NE(w.Current(), before);
    w.Run(cmd::kDebugBreak);
    EXPECT_EQ(w.doc().emulator.runState, CEmulator::kSuspended);
    const uint32_t stopped = w.Current();
    Spin(250);
    EXPECT_EQ(w.Current(), stopped);

    w.Run(cmd::kDebugStop);
    EXPECT_EQ(w.doc().emulator.runState, CEmulator::kStopped);
    EXPECT_TRUE(w.Enabled(cmd::kDebugStart));
    EXPECT_FALSE(w.Enabled(cmd::kDebugStop));
}

TEST(ListingInput, BreakEndsARunOfAnEndlessLoopWhileTheWindowPaints) {
    TempDir images;
    Window w(WriteProgram(images, {0x2000, 0x3001, 0xE7FD}));  // R0 = 0; loop: R0 += 1
    PaintCounter registers(w.ShowBar(CMainFrame::kEmulatorBar));
    PaintCounter phone(w.ShowBar(CMainFrame::kPhoneBar));
    w.GoTo(0);
    w.Key(Qt::Key_F5);
    // An animation broken just before Run: its timer must not step into the run.
    w.Key(Qt::Key_F6);
    w.Run(cmd::kDebugBreak);
    w.Key(Qt::Key_F9);
    ASSERT_TRUE(w.doc().emulator.LongRunActive());
    EXPECT_EQ(w.doc().emulator.runState, CEmulator::kRunning);
    registers.paints = phone.paints = 0;
    Spin(400);
    EXPECT_GE(registers.paints, 3);
    EXPECT_GE(phone.paints, 3);
    EXPECT_LT(registers.paints, 40);  // by the clock, not once a slice
    EXPECT_TRUE(w.app.Frame().StatusPane()->text().contains(" M instructions/s"));
    EXPECT_FALSE(w.view().AnimationTimer().isActive());

    w.BreakLongRun("Run stopped at ");
    EXPECT_EQ(w.view().State().cursorOffset, w.Current());
    EXPECT_EQ(w.app.Frame().StatusPane()->text(), "Ready");
}

TEST(ListingInput, ARunGoesOnWhenTheWindowDrivingItClosesAndAnotherStays) {
    TempDir images;
    Window w(WriteProgram(images, {0x2000, 0x3001, 0xE7FD}));  // R0 = 0; loop: R0 += 1
    w.GoTo(0);
    w.Key(Qt::Key_F5);
    w.Run(cmd::kWindowNew);
    w.Key(Qt::Key_F9);
    ASSERT_TRUE(w.doc().emulator.LongRunActive());
    w.app.Frame().MdiArea()->activeSubWindow()->close();
    Spin(100);
    ASSERT_EQ(w.app.Frame().ChildFrames().size(), 1);
    const uint64_t before = w.doc().emulator.LongRunExecuted();
    Spin(200);
    EXPECT_GT(w.doc().emulator.LongRunExecuted(), before);
    w.BreakLongRun("Run stopped at ");
    // File > Close in the middle of a run: nothing runs any more, and the status says so.
    w.Key(Qt::Key_F9);
    Spin(100);
    ASSERT_TRUE(w.app.Frame().StatusPane()->text().startsWith("Running: "));
    AnswerNextBox(QMessageBox::No);  // not saved
    w.app.Frame().Action(cmd::kFileClose)->trigger();
    Spin(100);
    EXPECT_TRUE(w.app.Frame().ChildFrames().isEmpty());
    EXPECT_EQ(w.app.Frame().StatusPane()->text(), "Ready");
}

TEST(ListingInput, RunStopsAtABreakpointWithTheListingOnIt) {
    TempDir images;
    // R0 counts to 200, then R1 = 7 and a loop for ever.
    Window w(WriteProgram(images, {0x2000, 0x3001, 0x28C8, 0xD1FC, 0x2107, 0xE7FE}));
    w.GoTo(8);
    w.Key(Qt::Key_F2);
    EXPECT_TRUE(std::filesystem::exists(w.doc().DebugMarksPath()));
    w.GoTo(0);
    w.Key(Qt::Key_F5);
    w.Key(Qt::Key_F9);
    Spin(50);
    EXPECT_FALSE(w.doc().emulator.LongRunActive());
    EXPECT_EQ(w.doc().emulator.runState, CEmulator::kSuspended);
    EXPECT_EQ(w.Current(), 8u);
    EXPECT_EQ(w.view().State().cursorOffset, 8u);
    EXPECT_EQ(w.doc().emulator.r[1], 0u);  // stopped before the breakpoint's instruction
    EXPECT_NE(w.Log().find("Breakpoint at 00200008"), std::string::npos) << w.Log();

    w.Run(cmd::kDebugClearBreakpoints);
    EXPECT_FALSE(w.doc().emulator.IsBreakpoint(0x200008));
    EXPECT_FALSE(std::filesystem::exists(w.doc().DebugMarksPath()));
}

}  // namespace
