// The listing window driven with real key, mouse and wheel events, and the run commands
// through the Debug menu's actions and their keys, in the main window.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <QWheelEvent>
#include <filesystem>

#include "UiTestHelpers.h"
#include "debugger/qt/CCallStackDlg.h"
#include "debugger/qt/CEmulatorView.h"
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

// The keys and the Debug menu reach the document's session; a long run goes on from the
// event loop while the window paints, also when the window it began in closes, and Esc
// ends it with the listing on the current instruction.
TEST(ListingInput, RunKeysReachTheSessionAndARunStaysLiveUntilEsc) {
    TempDir images;
    // R0 counts to 200, then R1 = 7 and a loop for ever.
    Window w(WriteProgram(images, {0x2000, 0x3001, 0x28C8, 0xD1FC, 0x2107, 0xE7FE}));
    PaintCounter registers(w.ShowBar(CMainFrame::kEmulatorBar));
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
    w.app.Frame().MdiArea()->activeSubWindow()->close();
    Spin(100);
    ASSERT_EQ(w.app.Frame().ChildFrames().size(), 1);
    registers.paints = 0;
    const uint64_t before = w.doc().Emulator().LongRunExecuted();
    Spin(400);
    EXPECT_GT(w.doc().Emulator().LongRunExecuted(), before);
    EXPECT_GE(registers.paints, 3);
    EXPECT_LT(registers.paints, 40);  // by the clock, not once a slice
    EXPECT_TRUE(w.app.Frame().StatusPane()->text().startsWith("Running: "));
    w.Key(Qt::Key_Escape);
    EXPECT_FALSE(w.doc().Session().LongRunActive());
    EXPECT_EQ(w.doc().Emulator().runState, CEmulator::kSuspended);
    EXPECT_NE(w.Log().find("Run stopped at 0020000A"), std::string::npos) << w.Log();
    EXPECT_EQ(w.view().State().cursorOffset, 0xAu);
    EXPECT_EQ(w.app.Frame().StatusPane()->text(), "Ready");
}

}  // namespace
