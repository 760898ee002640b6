// The main window: bars and their settings, the jump list, closing documents, the
// focus keys and the frame's chooser filters.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

#include "UiTestHelpers.h"
#include "app/CChildFrame.h"
#include "app/CResizableBar.h"
#include "app/CToolBarCombo.h"
#include "app/CommandIds.h"

namespace {

// Where the view's next paint puts the cursor (the view itself may be covered by the
// active window and not paint).
uint32_t CursorAfterPaint(CTravikView& view) {
    ListingViewState state = view.State();
    ListingPaint paint;
    PaintListing(view.GetDocument(), state, 600, 400, true, paint);
    return state.cursorOffset;
}

TEST(MainFrameTest, BarVisibilityIsWrittenOnToggleCloseBoxAndExit) {
    TempDir dir;
    const std::string ini = dir.File("settings.ini");
    {
        TestApp app(ini);
        app.Start();
        app.Frame().Action(cmd::kViewRegisters)->trigger();
        app.Frame().Action(cmd::kViewPhone)->trigger();
        EXPECT_EQ(settings::Read(app.app.Settings(), settings::kViewRegisters), 1);
        app.Frame().close();
    }
    TestApp app(ini);
    app.Start();
    CMainFrame& frame = app.Frame();
    EXPECT_FALSE(frame.BarOf(CMainFrame::kEmulatorBar)->isHidden());
    EXPECT_TRUE(frame.BarOf(CMainFrame::kCallStackBar)->isHidden());
    // Floating, then closed by its own close box: stored as hidden at once.
    frame.BarOf(CMainFrame::kPhoneBar)->setFloating(true);
    frame.BarOf(CMainFrame::kPhoneBar)->close();
    EXPECT_EQ(settings::Read(app.app.Settings(), settings::kViewPhone), 0);
    // Squeezed, then given room again: the bar regains its width.
    CResizableBar* bar = frame.BarOf(CMainFrame::kEmulatorBar);
    frame.showNormal();
    for (const QSize size : {QSize(300, 300), QSize(1400, 1000)}) {
        frame.resize(size);
        QTest::qWait(20);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->width() >= bar->DefaultSize().width(); }, 1000))
        << bar->width();
    frame.Action(cmd::kViewRegisters)->trigger();  // hidden again
    frame.close();
    QtSettingsStore stored(QString::fromStdString(ini));
    EXPECT_EQ(settings::Read(stored, settings::kViewRegisters), 0);
    EXPECT_EQ(settings::Read(stored, settings::kStartMaximized), 0);
}

TEST(MainFrameTest, JumpListCloseUpMovesTheFirstDocumentsFirstView) {
    TempDir dir;
    TestApp app(dir.File("settings.ini"));
    ASSERT_TRUE(app.Start());
    CMainFrame& frame = app.Frame();
    frame.JumpList()->setEditText("1234");  // no document: nothing happens
    frame.JumpList()->hidePopup();
    QApplication::processEvents();
    ASSERT_TRUE(app.Open(WriteThumbImage(dir, "big.fls", 0x40000)));
    // A second document, active: the jump still goes to the first one.
    ASSERT_TRUE(app.Open(WriteThumbImage(dir, "b.fls", 64)));
    EXPECT_EQ(frame.ActiveDocument(), frame.Document(1));
    CTravikView* view = frame.ChildFrames(frame.Document(0)).first()->FirstView();
    view->GoToOffset(0x100, true);
    frame.JumpList()->setEditText("00212345 - x");
    frame.JumpList()->hidePopup();
    QApplication::processEvents();
    EXPECT_EQ(CursorAfterPaint(*view), 0x12344u);
}

TEST(MainFrameTest, ClosingAModifiedDocumentAsksAndCancelKeepsItOpen) {
    TempDir dir;
    TestApp app(dir.File("settings.ini"));
    const std::string flash = WriteThumbImage(dir, "m.fls", 64);
    ASSERT_TRUE(app.Start(flash));
    CMainFrame& frame = app.Frame();
    ASSERT_TRUE(frame.Document(0)->IsModified());  // defaults were made

    QString question;
    AnswerNextBox(QMessageBox::Cancel, &question);
    frame.MdiArea()->subWindowList().first()->close();
    QApplication::processEvents();
    EXPECT_EQ(question, "Save changes to m.fls?");
    EXPECT_EQ(frame.MdiArea()->subWindowList().size(), 1);
    AnswerNextBox(QMessageBox::Cancel);
    EXPECT_FALSE(frame.close());  // exiting asks too
    EXPECT_EQ(frame.DocumentCount(), 1);

    frame.MdiArea()->subWindowList().first()->showNormal();
    AnswerNextBox(QMessageBox::No);
    frame.Action(cmd::kFileClose)->trigger();
    EXPECT_EQ(frame.DocumentCount(), 0);
    EXPECT_FALSE(FileExists(dir.File("m.ifo")));

    // Opened again after the last one closed: at a usable size. Yes saves the info file only.
    ASSERT_TRUE(app.Open(flash));
    const QSize area = frame.MdiArea()->viewport()->size();
    EXPECT_GE(frame.MdiArea()->subWindowList().first()->width(), area.width() / 2);
    AnswerNextBox(QMessageBox::Yes);
    frame.Action(cmd::kFileClose)->trigger();
    EXPECT_EQ(frame.DocumentCount(), 0);
    EXPECT_TRUE(FileExists(dir.File("m.ifo")));
    EXPECT_EQ(ReadFileBytes(flash).size(), 64u);
}

TEST(MainFrameTest, CtrlTabWalksTheShownBarsEscapeReturnsCtrlF6SwitchesWindows) {
    TempDir dir;
    TestApp app(dir.File("settings.ini"));
    ASSERT_TRUE(app.Start(WriteThumbImage(dir, "a.fls", 64)));
    ASSERT_TRUE(app.Open(WriteThumbImage(dir, "b.fls", 64)));
    CMainFrame& frame = app.Frame();
    frame.Action(cmd::kViewCallStack)->trigger();
    frame.Action(cmd::kViewMemory)->trigger();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    CTravikView* view = frame.ActiveView();
    view->setFocus();
    constexpr int kListing = -1;
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int focus;
    } steps[] = {
        {Qt::Key_Tab, Qt::ControlModifier, CMainFrame::kCallStackBar},
        {Qt::Key_Tab, Qt::ControlModifier, CMainFrame::kMemoryBar},
        {Qt::Key_Tab, Qt::ControlModifier, kListing},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, CMainFrame::kMemoryBar},
        {Qt::Key_Escape, Qt::NoModifier, kListing},
    };
    for (const auto& step : steps) {
        QTest::keyClick(QApplication::focusWidget(), step.key, step.modifiers);
        QWidget* focus = QApplication::focusWidget();
        if (step.focus == kListing)
            EXPECT_EQ(focus, view) << step.key;
        else
            EXPECT_TRUE(frame.BarOf(CMainFrame::Bar(step.focus))->isAncestorOf(focus)) << step.key;
    }
    QTest::keyClick(view, Qt::Key_F6, Qt::ControlModifier);
    EXPECT_NE(frame.ActiveView(), view);

    // A listing's second row, closed, is not there for a screen reader or the keys.
    auto* child = qobject_cast<CChildFrame*>(frame.MdiArea()->activeSubWindow());
    ASSERT_NE(child, nullptr);
    for (const bool split : {false, true}) {
        child->SetSplit(split);
        const QAccessible::State state =
            QAccessible::queryAccessibleInterface(child->SecondView())->state();
        EXPECT_EQ(state.invisible, !split);
        EXPECT_EQ(state.focusable, split);
    }
}

// Regression: the bars' visibility signals reached a half-destroyed frame.
TEST(MainFrameTest, DestroyingAShownFrameWithItsBarsShownIsSafe) {
    TempDir dir;
    QtSettingsStore settings(QString::fromStdString(dir.File("settings.ini")));
    settings::Write(settings, settings::kViewWarnings, 1);
    settings::Write(settings, settings::kViewMemory, 1);
    CMainFrame frame(settings);
    frame.show();
    QApplication::processEvents();
}

TEST(MainFrameTest, FileChooserFiltersAreConverted) {
    EXPECT_EQ(CMainFrame::ConvertFilter("Flash File (*.fls)|*.fls||"), "Flash File (*.fls)");
    EXPECT_EQ(CMainFrame::ConvertFilter("A (*.a)|*.a;*.b|B|*.*||"), "A (*.a);;B (*.*)");
}

}  // namespace
