// The listing window driven with real key, mouse and wheel events, its in-place editors,
// and the run commands through the Debug menu's actions and their keys.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QWheelEvent>
#include <filesystem>

#include "UiTestHelpers.h"
#include "debugger/qt/CCallStackDlg.h"
#include "debugger/qt/CMemoryView.h"
#include "debugger/qt/CWarningsDlg.h"
#include "widgets/CInlineEdit.h"
#include "app/CResizableBar.h"
#include "app/CommandIds.h"

namespace {

// Lets the event loop run for `ms` milliseconds (timers, queued slices, paints).
void Spin(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Types `text` into an editor, characters beyond Latin-1 included.
void TypeText(QWidget* editor, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(editor, &press);
    }
}

struct Window {
    explicit Window(size_t bytes, std::initializer_list<uint16_t> code = {})
        : app(dir.File("settings.ini")) {
        EXPECT_TRUE(app.Start(WriteThumbImage(dir, "w.fls", bytes, code)));
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
    QWidget* ShowBar(CMainFrame::Bar bar) {
        app.Frame().BarOf(bar)->show();
        QApplication::processEvents();
        return app.Frame().BarOf(bar)->Hosted();
    }
    const std::string& Log() { return app.Frame().Warnings()->Log(); }

    TempDir dir;
    TestApp app;
};

TEST(ListingInput, KeysMouseAndWheelReachTheListing) {
    Window w(0x800);
    ListingViewState& s = w.view().State();
    ASSERT_GE(s.rowCount, 20);
    for (int i = 0; i < 3; ++i) w.Key(Qt::Key_Down);
    EXPECT_EQ(s.cursorRow, 4);

    // Shift+0 arrives as ')' on this layout.
    w.Key(Qt::Key_Home);
    w.Key(Qt::Key_ParenRight, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(w.doc().Flags()[64 * 8] & flagbits::kTypeMask, itemtype::kData16);

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
}

// E and W open the editors; a text the info file cannot hold is refused with a message,
// the editor staying open with it; an explanation stays with the item W was pressed on:
// a click on another line stores it there first.
TEST(ListingInput, EditorsStoreTheirTextOnTheirItemAndRefuseWhatTheInfoFileCannotHold) {
    Window w(0x400);
    w.GoTo(0x40);
    w.Key(Qt::Key_E);
    CInlineEdit& editor = w.view().AnnotationEdit();
    ASSERT_TRUE(editor.isVisible());
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
    // Keys go to the editor, not to the listing: "A" would retype the item.
    QTest::keyClicks(editor.Editor(), "A ");
    TypeText(editor.Editor(), QString::fromUtf8("Prüfsumme"));
    QTest::keyClick(editor.Editor(), Qt::Key_Return);
    w.Paint();
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(w.doc().Flags()[0x20] & flagbits::kTypeMask, itemtype::kThumb);
    ASSERT_NE(w.doc().Notes().Find(0x20), nullptr);
    EXPECT_EQ(*w.doc().Notes().Find(0x20), "A Pr\xFC" "fsumme");

    // Enter makes a line, Ctrl+Enter or a click elsewhere commits.
    w.Key(Qt::Key_W);
    CInlineEdit& box = w.view().ExplanationBox();
    ASSERT_FALSE(box.IsReadOnly());
    TypeText(box.Editor(), QString::fromUtf8("a → b"));
    const QPoint lineBelow(200, w.view().State().cursorRow * kListingRowHeight + 7);
    AnswerNextBox(QMessageBox::Ok);
    QTest::mouseClick(&w.view(), Qt::LeftButton, {}, lineBelow);
    w.Paint();
    EXPECT_EQ(w.view().State().cursorOffset, 0x40u);
    QTest::keyClick(box.Editor(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box.Editor(), "why");
    QTest::keyClick(box.Editor(), Qt::Key_Return);
    QTest::keyClicks(box.Editor(), "this");
    QTest::keyClick(box.Editor(), Qt::Key_Return, Qt::ControlModifier);
    w.Paint();
    ASSERT_NE(w.doc().Explanations().Find(0x20), nullptr);
    EXPECT_EQ(*w.doc().Explanations().Find(0x20), "why\nthis");
    EXPECT_TRUE(box.isVisible() && box.IsReadOnly());  // shown again, read-only
    w.Key(Qt::Key_W);
    QTest::keyClick(box.Editor(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box.Editor(), "why");
    QTest::mouseClick(&w.view(), Qt::LeftButton, {}, lineBelow);
    w.Paint();
    EXPECT_NE(w.view().State().cursorOffset, 0x40u);
    EXPECT_EQ(*w.doc().Explanations().Find(0x20), "why");
    EXPECT_EQ(w.doc().Explanations().Find(w.view().State().cursorOffset / 2), nullptr);

    // The RAM name field refuses the same way.
    auto* memory = qobject_cast<CMemoryView*>(w.ShowBar(CMainFrame::kMemoryBar));
    CInlineEdit& field = *memory->Editor();
    QTest::keyClick(memory, Qt::Key_E);
    EXPECT_EQ(field.Editor()->accessibleName(), "RAM name");
    TypeText(field.Editor(), QString::fromUtf8("→"));
    AnswerNextBox(QMessageBox::Ok);
    QTest::keyClick(field.Editor(), Qt::Key_Return);
    EXPECT_TRUE(field.isVisible());
}

// The keys and the Debug menu reach the document's session; a long run goes on from the
// event loop while the window paints, also when the window it began in closes, and Esc
// ends it with the listing on the current instruction.
TEST(ListingInput, RunKeysReachTheSessionAndARunStaysLiveUntilEsc) {
    // R0 counts to 200, then R1 = 7 and a loop for ever.
    Window w(0x400, {0x2000, 0x3001, 0x28C8, 0xD1FC, 0x2107, 0xE7FE});
    QWidget* registers = w.ShowBar(CMainFrame::kEmulatorBar);
    struct PaintCounter : QObject {
        bool eventFilter(QObject*, QEvent* event) override {
            paints += event->type() == QEvent::Paint;
            return false;
        }
        int paints = 0;
    } counter;
    registers->installEventFilter(&counter);
    w.GoTo(8);
    w.Key(Qt::Key_F2);
    EXPECT_TRUE(std::filesystem::exists(w.doc().DebugMarksPath()));
    w.GoTo(0);
    EXPECT_FALSE(w.Enabled(cmd::kDebugStepInto));
    w.Key(Qt::Key_F5);
    EXPECT_FALSE(w.Enabled(cmd::kDebugStart));
    w.Key(Qt::Key_F7);
    EXPECT_EQ(w.view().State().cursorOffset, 2u);
    EXPECT_TRUE(w.app.Frame().CallStack()->RebuildPending());  // the bar is hidden
    w.Key(Qt::Key_F6);  // Animate: a step a tick until Break
    Spin(250);
    w.Run(cmd::kDebugBreak);
    EXPECT_NE(w.doc().Emulator().r[0], 0u);
    w.Key(Qt::Key_F9);
    Spin(50);
    EXPECT_EQ(w.view().State().cursorOffset, 8u);
    EXPECT_EQ(w.doc().Emulator().r[1], 0u);  // stopped before the breakpoint's instruction
    EXPECT_NE(w.Log().find("Breakpoint at 00200008"), std::string::npos) << w.Log();
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
    EXPECT_EQ(w.app.Frame().statusBar()->currentMessage(), "");
    w.app.Frame().MdiArea()->activeSubWindow()->close();
    Spin(100);
    ASSERT_EQ(w.app.Frame().ChildFrames().size(), 1);
    counter.paints = 0;
    const uint64_t before = w.doc().Emulator().LongRunExecuted();
    Spin(400);
    EXPECT_GT(w.doc().Emulator().LongRunExecuted(), before);
    EXPECT_GE(counter.paints, 3);
    EXPECT_LT(counter.paints, 40);  // by the clock, not once a slice
    EXPECT_TRUE(w.app.Frame().StatusPane()->text().startsWith("Running: "));
    w.Key(Qt::Key_Escape);
    EXPECT_FALSE(w.doc().Session().LongRunActive());
    EXPECT_EQ(w.doc().Emulator().runState, CEmulator::kSuspended);
    EXPECT_NE(w.Log().find("Run stopped at 0020000A"), std::string::npos) << w.Log();
    EXPECT_EQ(w.view().State().cursorOffset, 0xAu);
    EXPECT_EQ(w.app.Frame().StatusPane()->text(), "Ready");
}

}  // namespace
