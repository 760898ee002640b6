// Undo, Redo and Copy through the Edit menu's actions and their keys.
#include <QClipboard>
#include <QGuiApplication>

#include "listing/Export.h"
#include "ui/UiTestHelpers.h"

namespace {

// A retype key makes a step the menu names; Ctrl+Z takes it back and the listing goes
// there, the modified mark follows, Ctrl+Y makes it again; Ctrl+C puts the cursor's
// item, then the marked selection, on the clipboard as the export writes them.
TEST(EditMenu, UndoRedoAndCopyReachTheDocument) {
    TempDir dir;
    TestApp t(dir.File("s.ini"));
    ASSERT_TRUE(t.Start(WriteThumbImage(dir, "u.fls", 64)));
    CMainFrame& f = t.Frame();
    QAction* undo = f.Action(cmd::kEditUndo);
    QAction* redo = f.Action(cmd::kEditRedo);
    CTravikView* view = f.ActiveView();
    ASSERT_TRUE(view);
    CTravikDoc& doc = *f.ActiveDocument();
    doc.SetModifiedFlag(false);
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_EQ(undo->text(), "&Undo");
    QTest::keyClick(view, Qt::Key_Down);
    const uint32_t at = view->State().cursorOffset;
    QTest::keyClick(view, Qt::Key_4);
    EXPECT_EQ(undo->text().toStdString(), "&Undo " + StepLabel(doc, "4-byte data", at));
    EXPECT_TRUE(doc.IsModified());
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(view->State().cursorOffset, at);
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(redo->text().toStdString(), "&Redo " + StepLabel(doc, "4-byte data", at));
    QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(redo->isEnabled());

    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    const std::string item = ListingText(doc, at, at, "\n");
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), item);
    doc.SetSelection(0, 8);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), ListingText(doc, 0, 8, "\n"));
    EXPECT_NE(ListingText(doc, 0, 8, "\n"), item);
}

}  // namespace
