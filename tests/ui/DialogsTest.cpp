// The small dialogs and the debugger bars' contents in their no-document state.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include "support/TestDoc.h"
#include "UiTestHelpers.h"
#include "debugger/qt/CCallStackDlg.h"
#include "debugger/qt/CPhoneDlg.h"
#include "debugger/qt/CWarningsDlg.h"
#include "app/CAboutDlg.h"
#include "widgets/CFindDlg.h"
#include "widgets/CInlineEdit.h"
#include "widgets/CPrintColumnsDlg.h"
#include "app/CToolBarCombo.h"

namespace {

QPushButton* ButtonNamed(QWidget& dialog, const QString& text) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        if (button->text() == text) return button;
    return nullptr;
}

TEST(DialogsTest, SizesComeFromDialogUnits) {
    RecordingFrame frame;
    CAboutDlg about;
    CFindDlg find;
    CPrintColumnsDlg columns(frame.settings);
    EXPECT_EQ(about.size(), QSize(353, 89));     // 235 x 55 units
    EXPECT_EQ(find.size(), QSize(246, 101));     // 164 x 62
    EXPECT_EQ(columns.size(), QSize(281, 154));  // 187 x 95
    EXPECT_EQ(CCallStackDlg().sizeHint(), QSize(138, 182));
    EXPECT_EQ(CPhoneDlg(frame).sizeHint(), QSize(138, 437));
    EXPECT_EQ(about.windowTitle(), "About Travik");
}

TEST(DialogsTest, FindChecksHexTextAndRemembersTheMode) {
    CFindDlg dialog;
    int beeps = 0;
    dialog.beep = [&] { ++beeps; };
    dialog.Prepare();
    EXPECT_TRUE(dialog.ModeButton(CFindDlg::kHexData)->isChecked());  // first opening
    EXPECT_EQ(dialog.windowTitle(), "Find...");
    EXPECT_EQ(dialog.TextField()->font().family(), "Courier New");

    const struct {
        int mode;
        const char* text;
        bool accepted;
    } cases[] = {
        {CFindDlg::kHexData, "12G4", false},     {CFindDlg::kHexUnaligned, "1 2", false},
        {CFindDlg::kHexUnaligned, "a1F0", true}, {CFindDlg::kString, "12G4", true},
        {CFindDlg::kStringCase, "Abc", true},
    };
    for (const auto& c : cases) {
        dialog.Prepare();
        dialog.show();
        dialog.ModeButton(c.mode)->setChecked(true);
        dialog.TextField()->setText(c.text);
        const int beepsBefore = beeps;
        ButtonNamed(dialog, "Find")->click();
        EXPECT_EQ(dialog.result() == QDialog::Accepted && !dialog.isVisible(), c.accepted)
            << c.text;
        EXPECT_EQ(beeps - beepsBefore, c.accepted ? 0 : 1) << c.text;
        if (c.accepted) {
            EXPECT_EQ(dialog.mode, c.mode);
            EXPECT_EQ(dialog.pattern, c.text);
        }
        dialog.hide();
        dialog.setResult(0);
    }
    // Cancel keeps the last confirmed text and mode, and the next opening shows them.
    dialog.Prepare();
    dialog.show();
    dialog.TextField()->setText("zzz");
    dialog.ModeButton(CFindDlg::kHexData)->setChecked(true);
    ButtonNamed(dialog, "Cancel")->click();
    EXPECT_EQ(dialog.pattern, "Abc");
    dialog.Prepare();
    EXPECT_TRUE(dialog.ModeButton(CFindDlg::kStringCase)->isChecked());
    EXPECT_EQ(dialog.TextField()->selectedText(), "Abc");
}

TEST(DialogsTest, PrintColumnsAcceptsOneToTenAndStoresIt) {
    RecordingFrame frame;
    CPrintColumnsDlg dialog(frame.settings);
    EXPECT_EQ(dialog.Columns(), 2);
    const struct {
        const char* text;
        bool ok;
        const char* message;
    } cases[] = {
        {"0", false, "Please enter an integer between 1 and 10."},
        {"11", false, "Please enter an integer between 1 and 10."},
        {"x", false, "Please enter an integer."},
        {"10", true, ""},
        {"3", true, ""},
    };
    for (const auto& c : cases) {
        dialog.Field()->setText(c.text);
        QString message;
        if (!c.ok) AnswerNextBox(QMessageBox::Ok, &message);
        EXPECT_EQ(dialog.Confirm(), c.ok) << c.text;
        EXPECT_EQ(message, c.message) << c.text;
    }
    EXPECT_EQ(dialog.Columns(), 3);
    EXPECT_EQ(settings::Read(frame.settings, settings::kNumColumns), 3);
}

// Ctrl+V and paste() in every text field: a clipboard without text (empty, or only an
// image) pastes nothing, and text pastes as plain text.
TEST(DialogsTest, PasteTakesOnlyTheClipboardsText) {
    TempDir dir;
    TestApp app(dir.File("settings.ini"));
    app.Start();
    RecordingFrame frame;
    CInlineEdit line(9000, false), box(9001, true);
    CFindDlg find;
    CPrintColumnsDlg columns(frame.settings);
    CWarningsDlg log;
    const struct {
        QWidget* editor;
        bool editable;
    } editors[] = {{line.Editor(), true},
                   {box.Editor(), true},
                   {find.TextField(), true},
                   {columns.Field(), true},
                   {app.Frame().findChild<CToolBarCombo*>()->lineEdit(), true},
                   {log.Edit(), false}};
    enum Clipboard { kEmpty, kText, kImage };
    QClipboard* clipboard = QGuiApplication::clipboard();
    for (const auto& e : editors) {
        auto* lineEdit = qobject_cast<QLineEdit*>(e.editor);
        auto* textEdit = qobject_cast<QPlainTextEdit*>(e.editor);
        ASSERT_TRUE(lineEdit || textEdit);
        for (Clipboard content : {kEmpty, kText, kImage}) {
            for (bool key : {true, false}) {
                SCOPED_TRACE(e.editor->metaObject()->className() + std::string(" ") +
                             std::to_string(content) + (key ? " Ctrl+V" : " paste()"));
                clipboard->clear();
                if (content == kText) {
                    auto* data = new QMimeData;
                    data->setHtml("<b>new</b>");
                    data->setText("new");
                    clipboard->setMimeData(data);
                } else if (content == kImage) {
                    clipboard->setImage(QImage(4, 4, QImage::Format_RGB32));
                }
                // Ctrl+V replaces the whole text selected; paste() adds at the end.
                if (lineEdit) lineEdit->setText("old");
                if (textEdit) textEdit->setPlainText("old");
                if (textEdit) textEdit->moveCursor(QTextCursor::End);
                if (key) {
                    QMetaObject::invokeMethod(e.editor, "selectAll");
                    QTest::keyClick(e.editor, Qt::Key_V, Qt::ControlModifier);
                } else {
                    QMetaObject::invokeMethod(e.editor, "paste");
                }
                const QString text = lineEdit ? lineEdit->text() : textEdit->toPlainText();
                const char* pasted = key ? "new" : "oldnew";
                EXPECT_EQ(text.toStdString(), content == kText && e.editable ? pasted : "old");
            }
        }
    }
    clipboard->clear();
}

TEST(DialogsTest, WarningsLogClearsOnEmptyTextAndStopsAtItsCapacity) {
    CWarningsDlg log;
    log.AddWarning("old");
    log.AddWarning("");
    log.AddWarning("Start emulation from 00201000");
    log.AddWarning("A");
    log.AddWarning("B");
    EXPECT_EQ(log.Log(), "\r\nStart emulation from 00201000\r\nA\r\nB\r\n");
    EXPECT_EQ(log.Edit()->toPlainText(), "\nStart emulation from 00201000\nA\nB\n");

    log.AddWarning("");
    log.AddWarning(std::string(8995, 'x'));  // 2 + 8997 = 8999 characters
    log.AddWarning("still taken");
    log.AddWarning("dropped");
    EXPECT_EQ(log.Log().size(), 8999u + 13u);
    EXPECT_EQ(log.Log().find("dropped"), std::string::npos);
}

TEST(DialogsTest, CallStackShowsEmptyUntilRebuiltThenOneNestedLine) {
    RecordingFrame frame;
    CTravikDoc doc(frame);
    CCallStackDlg dialog;
    EXPECT_EQ(dialog.Tree()->topLevelItem(0)->text(0), "Empty");
    dialog.Rebuild(nullptr);  // no document: unchanged
    EXPECT_EQ(dialog.Tree()->topLevelItem(0)->text(0), "Empty");

    TestDoc::Emulator(doc).callTracks[0] = {{0x1234, 0x5678}, {0x5680, 0x9000}};
    TestDoc::Options(doc).baseAddress = 0x200000;
    dialog.Rebuild(&doc);
    QTreeWidgetItem* root = dialog.Tree()->topLevelItem(0);
    EXPECT_EQ(root->text(0), "Manual browsing");
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(root->child(0)->text(0), "00201234 -> 00205678");
    EXPECT_EQ(root->child(0)->child(0)->text(0), "00205680 -> 00209000");
    EXPECT_TRUE(root->isExpanded() && root->child(0)->isExpanded());

    TestDoc::Options(doc).baseAddress = 0;
    TestDoc::Emulator(doc).runState = CEmulator::kRunning;
    TestDoc::Emulator(doc).callTracks[1] = {{0x200100, 0x200400}};
    dialog.Rebuild(&doc);
    root = dialog.Tree()->topLevelItem(0);
    EXPECT_EQ(root->text(0), "Emulator Root");
    EXPECT_EQ(root->child(0)->text(0), "00000100 -> 00000400");
}

TEST(DialogsTest, PhoneScreenIsDarkWithNoDocument) {
    RecordingFrame frame;
    CPhoneDlg phone(frame);
    phone.UpdateScreen();
    const QImage& picture = phone.Picture();
    EXPECT_EQ(picture.size(), QSize(181, 473));
    for (QPoint p : {QPoint(45, 182), QPoint(136, 245), QPoint(49, 190), QPoint(90, 200)})
        EXPECT_EQ(picture.pixelColor(p), QColor(0, 20, 0)) << p.x() << "," << p.y();
    EXPECT_NE(picture.pixelColor(44, 182), QColor(0, 20, 0));
}

}  // namespace
