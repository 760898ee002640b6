// The main window: start-up state, bars and their keys, the commands' enabling, the
// jump list, documents and the frame services.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QElapsedTimer>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QSet>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QToolBar>

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

QStringList MenuTitles(CMainFrame& frame) {
    QStringList titles;
    for (QAction* action : frame.menuBar()->actions()) titles << action->text();
    return titles;
}

// A menu's entries as "text\tshortcut", separators as "-".
QStringList MenuEntries(CMainFrame& frame, const QString& title) {
    QStringList entries;
    for (QAction* menuAction : frame.menuBar()->actions()) {
        if (menuAction->text() != title) continue;
        for (QAction* action : menuAction->menu()->actions()) {
            if (action->isSeparator())
                entries << "-";
            else if (action->shortcut().isEmpty())
                entries << action->text();
            else
                entries << action->text() + "\t" + action->shortcut().toString();
        }
    }
    return entries;
}

TEST(MainFrameTest, StartsWithNoSettingsMaximisedWithEveryBarHiddenAndMenu128) {
    TempDir dir;
    TestApp app(dir.File("settings.ini"));
    ASSERT_TRUE(app.Start());
    CMainFrame& frame = app.Frame();
    EXPECT_TRUE(frame.isMaximized());
    for (int bar = 0; bar < CMainFrame::kBarCount; ++bar)
        EXPECT_TRUE(frame.BarOf(CMainFrame::Bar(bar))->isHidden()) << bar;
    EXPECT_EQ(frame.DocumentCount(), 0);
    EXPECT_EQ(MenuTitles(frame), QStringList({"&File", "&View", "&Help"}));
    EXPECT_EQ(MenuEntries(frame, "&File"),
              QStringList({"&Open...\tCtrl+O", "-", "Recent File", "-", "E&xit"}));
    EXPECT_EQ(frame.StatusPane()->text(), "Ready");
    EXPECT_EQ(frame.TaskList()->count(), 28);
    EXPECT_EQ(frame.TaskList()->itemText(16), "Task #0A");
    EXPECT_EQ(frame.TaskList()->itemText(27), "Task #15");
    EXPECT_EQ(frame.TaskList()->width(), 180);
    EXPECT_EQ(frame.JumpList()->width(), 300);
    EXPECT_EQ(frame.BarOf(CMainFrame::kCallStackBar)->DefaultSize().width(), 138 + 9);
    EXPECT_EQ(frame.BarOf(CMainFrame::kWarningsBar)->DefaultSize().height(), 101 + 9);

    // With no document, closing the jump list does nothing.
    frame.JumpList()->setEditText("1234");
    frame.JumpList()->hidePopup();
    QApplication::processEvents();
    EXPECT_EQ(frame.DocumentCount(), 0);
}

TEST(MainFrameTest, BarVisibilityIsWrittenOnToggleCloseBoxAndExit) {
    TempDir dir;
    const std::string ini = dir.File("settings.ini");
    {
        TestApp app(ini);
        app.Start();
        app.Frame().Action(cmd::kViewRegisters)->trigger();
        app.Frame().Action(cmd::kViewPhone)->trigger();
        EXPECT_FALSE(app.Frame().BarOf(CMainFrame::kEmulatorBar)->isHidden());
        EXPECT_EQ(settings::Read(app.app.Settings(), settings::kViewRegisters), 1);
        app.Frame().UpdateCommandUi();
        EXPECT_TRUE(app.Frame().Action(cmd::kViewRegisters)->isChecked());
        app.Frame().close();
    }
    {
        TestApp app(ini);
        app.Start();
        CMainFrame& frame = app.Frame();
        EXPECT_FALSE(frame.BarOf(CMainFrame::kEmulatorBar)->isHidden());
        EXPECT_FALSE(frame.BarOf(CMainFrame::kPhoneBar)->isHidden());
        EXPECT_TRUE(frame.BarOf(CMainFrame::kCallStackBar)->isHidden());
        // Floating, then closed by its own close box: stored as hidden at once.
        frame.BarOf(CMainFrame::kPhoneBar)->setFloating(true);
        frame.BarOf(CMainFrame::kPhoneBar)->close();
        EXPECT_EQ(settings::Read(app.app.Settings(), settings::kViewPhone), 0);
        frame.Action(cmd::kViewRegisters)->trigger();  // hidden again
        frame.showNormal();
        frame.close();
    }
    QtSettingsStore stored(QString::fromStdString(ini));
    EXPECT_EQ(settings::Read(stored, settings::kViewRegisters), 0);
    EXPECT_EQ(settings::Read(stored, settings::kViewPhone), 0);
    EXPECT_EQ(settings::Read(stored, settings::kStartMaximized), 0);
}

TEST(MainFrameTest, Menu129EnablesTheDocumentsCommands) {
    TempDir dir;
    TestApp app(dir.File("settings.ini"));
    ASSERT_TRUE(app.Start(WriteThumbImage(dir, "a.fls", 64)));
    CMainFrame& frame = app.Frame();
    frame.UpdateCommandUi();
    EXPECT_EQ(MenuTitles(frame),
              QStringList({"&File", "&Edit", "&View", "&Debug", "Options", "&Window", "&Help"}));
    for (int id : {cmd::kEditUndo, cmd::kEditCut, cmd::kEditCopy, cmd::kEditPaste, cmd::kDebugStop,
                   cmd::kDebugStepInto})
        EXPECT_FALSE(frame.Action(id)->isEnabled()) << id;
    for (int id : {cmd::kFileMerge, cmd::kFileFixInfo, cmd::kFileLoadRam, cmd::kFileSaveRam,
                   cmd::kFileExport, cmd::kEditFind, cmd::kEditFindNext, cmd::kFileSave,
                   cmd::kFileClose, cmd::kViewBitmap, cmd::kOptionsSettings, cmd::kDebugStart,
                   cmd::kFilePrint, cmd::kFilePrintPreview, cmd::kFilePrintSetup})
        EXPECT_TRUE(frame.Action(id)->isEnabled()) << id;
    EXPECT_EQ(frame.Action(cmd::kFileOpen)->toolTip(), "Open");
    EXPECT_EQ(frame.Action(cmd::kFileOpen)->statusTip(), "Open an existing document");
    // No two toolbar buttons share a tip.
    QSet<QString> tips;
    for (QToolBar* bar : frame.findChildren<QToolBar*>())
        for (QAction* action : bar->actions())
            if (!action->isSeparator() && !action->toolTip().isEmpty()) {
                EXPECT_FALSE(tips.contains(action->toolTip())) << action->toolTip().toStdString();
                tips.insert(action->toolTip());
            }

    // View toggles act on the active document and carry the check mark.
    CTravikDoc& doc = *frame.Document(0);
    EXPECT_FALSE(frame.Action(cmd::kViewBitmap)->isChecked());
    frame.Action(cmd::kViewBitmap)->trigger();
    EXPECT_EQ(doc.Options().bitmapWidth, 7);
    EXPECT_TRUE(frame.Action(cmd::kViewBitmap)->isChecked());

    // Ctrl+N through the accelerator opens nothing.
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    QTest::keyClick(&frame, Qt::Key_N, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(frame.DocumentCount(), 1);
    EXPECT_EQ(frame.MdiArea()->subWindowList().size(), 1);
}

TEST(MainFrameTest, JumpListCloseUpMovesTheFirstDocumentsFirstView) {
    TempDir dir;
    TestApp app(dir.File("settings.ini"));
    ASSERT_TRUE(app.Start(WriteThumbImage(dir, "big.fls", 0x40000)));
    CMainFrame& frame = app.Frame();
    // A second document, active: the jump still goes to the first one.
    ASSERT_TRUE(app.Open(WriteThumbImage(dir, "b.fls", 64)));
    EXPECT_EQ(frame.GetFirstDocument(), frame.Document(0));
    EXPECT_EQ(frame.ActiveDocument(), frame.Document(1));
    CTravikView* view = frame.ChildFrames(frame.Document(0)).first()->FirstView();
    const struct {
        const char* text;
        uint32_t offset;
    } cases[] = {{"1A2B3 xyz", 0x1A2B2}, {"00212345 - x", 0x12344}, {"zz", 0}};
    for (const auto& c : cases) {
        view->GoToOffset(0x100, true);
        frame.JumpList()->setEditText(c.text);
        frame.JumpList()->hidePopup();
        QApplication::processEvents();
        EXPECT_EQ(CursorAfterPaint(*view), c.offset) << c.text;
    }
    // Choosing a task changes nothing.
    view->GoToOffset(0x100, true);
    QApplication::processEvents();
    frame.TaskList()->setCurrentIndex(16);
    frame.TaskList()->hidePopup();
    QApplication::processEvents();
    EXPECT_EQ(CursorAfterPaint(*view), 0x100u);
}

TEST(MainFrameTest, ClosingAModifiedDocumentAsksAndCancelKeepsItOpen) {
    TempDir dir;
    TestApp app(dir.File("settings.ini"));
    const std::string flash = WriteThumbImage(dir, "m.fls", 64);
    ASSERT_TRUE(app.Start(flash));
    CMainFrame& frame = app.Frame();
    ASSERT_TRUE(frame.Document(0)->IsModified());  // defaults were made
    EXPECT_TRUE(frame.windowTitle().endsWith("m.fls[*]"));

    QString question;
    AnswerNextBox(QMessageBox::Cancel, &question);
    frame.MdiArea()->subWindowList().first()->close();
    QApplication::processEvents();
    EXPECT_EQ(question, "Save changes to m.fls?");
    EXPECT_EQ(frame.DocumentCount(), 1);
    EXPECT_EQ(frame.MdiArea()->subWindowList().size(), 1);

    AnswerNextBox(QMessageBox::Cancel);
    EXPECT_FALSE(frame.close());  // exiting asks too
    EXPECT_EQ(frame.DocumentCount(), 1);

    AnswerNextBox(QMessageBox::No);
    frame.Action(cmd::kFileClose)->trigger();
    QApplication::processEvents();
    EXPECT_EQ(frame.DocumentCount(), 0);
    EXPECT_FALSE(frame.HasDocumentMenu());
    EXPECT_FALSE(FileExists(dir.File("m.ifo")));

    // Yes saves the info file only.
    ASSERT_TRUE(app.Open(flash));
    AnswerNextBox(QMessageBox::Yes);
    frame.Action(cmd::kFileClose)->trigger();
    EXPECT_EQ(frame.DocumentCount(), 0);
    EXPECT_TRUE(FileExists(dir.File("m.ifo")));
    EXPECT_EQ(ReadFileBytes(flash).size(), 64u);
}

TEST(MainFrameTest, StatusTextShowsTheLatestTextWithoutARepaintPerCall) {
    TempDir dir;
    TestApp app(dir.File("settings.ini"));
    app.Start();
    CMainFrame& frame = app.Frame();
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) ++paints;
            return false;
        }
    } counter;
    frame.StatusPane()->installEventFilter(&counter);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i <= 20000; ++i)
        frame.SetStatusText("Loading x: " + std::to_string(i / 200) + "% done.");
    const qint64 elapsed = clock.elapsed();
    EXPECT_EQ(frame.StatusPane()->text(), "Loading x: 100% done.");
    EXPECT_LE(counter.paints, elapsed / 33 + 2);
    QTest::qWait(60);
    EXPECT_GE(counter.paints, 1);
}

TEST(MainFrameTest, ALongRunsProgressStaysShownWhateverThePointerRestsOn) {
    TempDir dir;
    TestApp app(dir.File("settings.ini"));
    std::string image(0x400, '\0');
    image.replace(0, 6, "\x20\x00\x30\x01\xE7\xFD", 6);  // R0 = 0; loop: R0 += 1
    WriteFile(dir.File("loop.fls"), image);
    ASSERT_TRUE(app.Start(dir.File("loop.fls")));
    CMainFrame& frame = app.Frame();
    frame.Action(cmd::kViewRegisters)->trigger();
    QWidget* registers = frame.BarOf(CMainFrame::kEmulatorBar)->Hosted();
    auto hover = [&] {
        QStatusTipEvent tip(registers->statusTip());
        QApplication::sendEvent(registers, &tip);
    };
    hover();
    EXPECT_EQ(frame.statusBar()->currentMessage(), "Doubleclick to edit");
    frame.ActiveView()->GoToOffset(0, true);
    frame.ActiveView()->repaint();
    frame.Action(cmd::kDebugStart)->trigger();
    frame.Action(cmd::kDebugRun)->trigger();
    ASSERT_TRUE(frame.ActiveDocument()->Emulator().LongRunActive());
    QTest::qWait(100);
    hover();
    EXPECT_EQ(frame.statusBar()->currentMessage(), "");
    EXPECT_TRUE(frame.StatusPane()->isVisible());
    EXPECT_TRUE(frame.StatusPane()->text().startsWith("Running: "));
    frame.Action(cmd::kDebugBreak)->trigger();
}

TEST(MainFrameTest, ADocumentOpenedAfterTheLastClosedOpensAtAUsableSize) {
    TempDir dir;
    TestApp app(dir.File("settings.ini"));
    const std::string flash = WriteThumbImage(dir, "a.fls", 64);
    ASSERT_TRUE(app.Start(flash));
    CMainFrame& frame = app.Frame();
    for (const bool maximised : {true, false}) {
        QMdiSubWindow* window = frame.MdiArea()->subWindowList().first();
        maximised ? window->showMaximized() : window->showNormal();
        frame.SetUnattended(true);  // closed unsaved
        frame.Action(cmd::kFileClose)->trigger();
        ASSERT_EQ(frame.DocumentCount(), 0);
        ASSERT_TRUE(app.Open(flash));
        window = frame.MdiArea()->subWindowList().first();
        EXPECT_EQ(window->isMaximized(), maximised);
        const QSize area = frame.MdiArea()->viewport()->size();
        EXPECT_GE(window->width(), area.width() / 2) << maximised;
        EXPECT_GE(window->height(), area.height() / 2) << maximised;
    }
}

TEST(MainFrameTest, BarsRegainTheirWidthWhenTheWindowGrowsAgain) {
    TempDir dir;
    TestApp app(dir.File("settings.ini"));
    ASSERT_TRUE(app.Start());
    CMainFrame& frame = app.Frame();
    frame.Action(cmd::kViewRegisters)->trigger();
    CResizableBar* bar = frame.BarOf(CMainFrame::kEmulatorBar);
    frame.showNormal();
    for (const QSize size : {QSize(300, 300), QSize(1400, 1000)}) {  // squeezed, then room
        frame.resize(size);
        QTest::qWait(20);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->width() >= bar->DefaultSize().width(); }, 1000))
        << bar->width();
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
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, CMainFrame::kCallStackBar},
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
    CTravikView* shown = frame.ActiveView();
    QTest::keyClick(shown, Qt::Key_F6, Qt::ControlModifier);
    EXPECT_NE(frame.ActiveView(), shown);

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
    {
        CMainFrame frame(settings);
        frame.show();
        QApplication::processEvents();
        ASSERT_FALSE(frame.BarOf(CMainFrame::kWarningsBar)->isHidden());
    }
    SUCCEED();
}

TEST(MainFrameTest, FileChooserFiltersAreConverted) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"Flash File (*.fls)|*.fls||", "Flash File (*.fls)"},
        {"A (*.a)|*.a|B|*.*||", "A (*.a);;B (*.*)"},
        {"Disassembler Info Files (*.ifo)|*.ifo|All Files (*.*)|*.*||",
         "Disassembler Info Files (*.ifo);;All Files (*.*)"},
    };
    for (const auto& c : cases) EXPECT_EQ(CMainFrame::ConvertFilter(c.in), c.out) << c.in;
}

}  // namespace
