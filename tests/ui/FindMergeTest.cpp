// Find and Find Next in the listing window, and a merge question answered in its box.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "UiTestHelpers.h"
#include "document/Merge.h"
#include "listing/qt/CTravikView.h"
#include "widgets/CFindDlg.h"
#include "app/CommandIds.h"

namespace {

class FindMergeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string image(0x400, '\0');
        for (size_t i = 0; i < image.size(); i += 2) image[i] = 0x20;
        for (size_t at : {0x100, 0x300}) image[at] = 0x47, image[at + 1] = 0x70;
        WriteFile(dir.File("f.fls"), image);
        app = std::make_unique<TestApp>(dir.File("settings.ini"));
        ASSERT_TRUE(app->Start(dir.File("f.fls")));
    }
    CTravikView& View() { return *app->Frame().ActiveView(); }
    // The cursor lands on its line when the view next paints.
    uint32_t CursorAfterPaint() {
        View().repaint();
        return View().State().cursorOffset;
    }
    TempDir dir;
    std::unique_ptr<TestApp> app;
};

TEST_F(FindMergeTest, FindThenFindNextWrapsToTheFirst) {
    ASSERT_TRUE(app->Frame().Action(cmd::kEditFind)->isEnabled());
    // Fill the dialog as a user would once it is up.
    ExpectDialog([](QDialog& shown) {
        auto* dialog = qobject_cast<CFindDlg*>(&shown);
        ASSERT_NE(dialog, nullptr);
        dialog->ModeButton(CFindDlg::kString)->click();
        QTest::keyClicks(dialog->TextField(), "bx");
        QTest::keyClick(dialog->TextField(), Qt::Key_Return);
    });
    app->Frame().Action(cmd::kEditFind)->trigger();
    EXPECT_EQ(CursorAfterPaint(), 0x100u);
    QAction* next = app->Frame().Action(cmd::kEditFindNext);
    next->trigger();
    EXPECT_EQ(CursorAfterPaint(), 0x300u);
    next->trigger();
    EXPECT_EQ(CursorAfterPaint(), 0x100u);
    // Each view keeps its own dialog: the pattern stays for the next opening.
    EXPECT_EQ(View().FindDialog().pattern, "bx");
    EXPECT_EQ(View().FindDialog().mode, CFindDlg::kString);
}

TEST_F(FindMergeTest, MergeAsksInABoxAndNoKeepsTheNote) {
    CTravikDoc& doc = *app->Frame().ActiveDocument();
    TestDoc::Note(doc, 0x10, "mine");
    TestDoc::Flags(doc)[8] |= flagbits::kUserMark;
    ASSERT_TRUE(doc.OnSaveDocument(doc.GetPathName()));
    TestDoc::Note(doc, 0x10, "changed");
    QString seen;
    AnswerNextBox(QMessageBox::No, &seen);
    EXPECT_EQ(MergeInfoFile(doc, dir.File("f.ifo")), MergeOutcome::kMerged);
    EXPECT_EQ(seen, "Replace Note at 00000010: \nchanged\n with new note:\nmine");
    EXPECT_EQ(*doc.Notes().Find(8), "changed");
}

}  // namespace
