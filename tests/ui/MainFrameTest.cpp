// The main window: the bars and their settings, the jump list, the questions of closing
// and merging, the focus keys, and the frame's destruction.
#include <gtest/gtest.h>

#include <QAccessible>

#include "UiTestHelpers.h"
#include "app/CChildFrame.h"
#include "app/CToolBarCombo.h"
#include "document/Merge.h"
#include "support/TestDoc.h"

namespace {

TEST(MainFrame, BarVisibilityIsWrittenOnToggleCloseBoxAndExit) {
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
    for (const QSize size : {QSize(300, 300), QSize(1400, 1000)}) frame.resize(size), QTest::qWait(20);
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->width() >= bar->DefaultSize().width(); }, 1000))
        << bar->width();
    frame.Action(cmd::kViewRegisters)->trigger();  // hidden again
    frame.close();
    QtSettingsStore stored(QString::fromStdString(ini));
    EXPECT_EQ(settings::Read(stored, settings::kViewRegisters), 0);
    EXPECT_EQ(settings::Read(stored, settings::kStartMaximized), 0);
}

// A jump list entry moves the first document's first view, whichever is active.
TEST(MainFrame, JumpListMovesTheFirstDocumentsFirstView) {
    Window w(0x40000);
    ASSERT_TRUE(w.app.Open(WriteThumbImage(w.dir, "b.fls", 64)));
    EXPECT_EQ(w.frame().ActiveDocument(), w.frame().Document(1));
    CTravikView* view = w.frame().ChildFrames(w.frame().Document(0)).first()->FirstView();
    view->GoToOffset(0x100, true);
    w.frame().JumpList()->setEditText("00212345 - x");
    w.frame().JumpList()->hidePopup();
    QApplication::processEvents();
    ListingViewState state = view->State();
    ListingPaint paint;
    PaintListing(view->GetDocument(), state, 600, 400, true, paint);
    EXPECT_EQ(state.cursorOffset, 0x12344u);
}

// Closing a modified document asks (Cancel keeps it, also on exit; No drops the changes;
// Yes saves the info file only); a merge asks in a box too.
TEST(MainFrame, QuestionsOfClosingAndMergingAreAskedInBoxes) {
    Window w(64);
    CMainFrame& frame = w.frame();
    const std::string flash = w.doc().GetPathName();
    ASSERT_TRUE(w.doc().IsModified());  // defaults were made
    QString question;
    AnswerNextBox(QMessageBox::Cancel, &question);
    frame.MdiArea()->subWindowList().first()->close();
    QApplication::processEvents();
    EXPECT_EQ(question, "Save changes to w.fls?");
    EXPECT_EQ(frame.MdiArea()->subWindowList().size(), 1);
    AnswerNextBox(QMessageBox::Cancel);
    EXPECT_FALSE(frame.close());
    EXPECT_EQ(frame.DocumentCount(), 1);
    AnswerNextBox(QMessageBox::No);
    frame.Action(cmd::kFileClose)->trigger();
    EXPECT_EQ(frame.DocumentCount(), 0);
    EXPECT_FALSE(FileExists(w.dir.File("w.ifo")));
    // Opened again after the last one closed: at a usable size.
    ASSERT_TRUE(w.app.Open(flash));
    EXPECT_GE(frame.MdiArea()->subWindowList().first()->width(),
              frame.MdiArea()->viewport()->size().width() / 2);
    AnswerNextBox(QMessageBox::Yes);
    frame.Action(cmd::kFileClose)->trigger();
    EXPECT_TRUE(FileExists(w.dir.File("w.ifo")));
    EXPECT_EQ(ReadFileBytes(flash).size(), 64u);

    ASSERT_TRUE(w.app.Open(flash));
    CTravikDoc& doc = *frame.ActiveDocument();
    TestDoc::Note(doc, 0x10, "mine");
    TestDoc::Flags(doc)[8] |= flagbits::kUserMark;
    ASSERT_TRUE(doc.OnSaveDocument(doc.GetPathName()));
    TestDoc::Note(doc, 0x10, "changed");
    AnswerNextBox(QMessageBox::No, &question);
    EXPECT_EQ(MergeInfoFile(doc, w.dir.File("w.ifo")), MergeOutcome::kMerged);
    EXPECT_EQ(question, "Replace Note at 00000010: \nchanged\n with new note:\nmine");
    EXPECT_EQ(*doc.Notes().Find(8), "changed");
}

// Ctrl+Tab walks the shown bars and back to the listing, Escape returns, Ctrl+F6
// switches windows; a closed second row of a listing is not there for a screen reader.
TEST(MainFrame, FocusKeysWalkTheShownBarsAndTheWindows) {
    Window w(64);
    ASSERT_TRUE(w.app.Open(WriteThumbImage(w.dir, "b.fls", 64)));
    CMainFrame& frame = w.frame();
    frame.Action(cmd::kViewCallStack)->trigger();
    frame.Action(cmd::kViewMemory)->trigger();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    CTravikView* view = frame.ActiveView();
    view->setFocus();
    constexpr int kListing = -1;
    const struct { Qt::Key key; Qt::KeyboardModifiers modifiers; int focus; } steps[] = {
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
    auto* child = qobject_cast<CChildFrame*>(frame.MdiArea()->activeSubWindow());
    ASSERT_NE(child, nullptr);
    for (const bool split : {false, true}) {
        child->SetSplit(split);
        const auto state = QAccessible::queryAccessibleInterface(child->SecondView())->state();
        EXPECT_EQ(std::pair(bool(state.invisible), bool(state.focusable)), std::pair(!split, split));
    }
}

// Regression: the bars' visibility signals reached a half-destroyed frame.
TEST(MainFrame, DestroyingAShownFrameWithItsBarsShownIsSafe) {
    TempDir dir;
    QtSettingsStore settings(QString::fromStdString(dir.File("settings.ini")));
    settings::Write(settings, settings::kViewWarnings, 1);
    settings::Write(settings, settings::kViewMemory, 1);
    CMainFrame frame(settings);
    frame.show();
    QApplication::processEvents();
}

}  // namespace
