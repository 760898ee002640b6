// The small dialogs' fields and the text fields' paste.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "UiTestHelpers.h"
#include "app/CToolBarCombo.h"
#include "debugger/qt/CWarningsDlg.h"
#include "widgets/CFindDlg.h"
#include "widgets/CInlineEdit.h"
#include "widgets/CPrintColumnsDlg.h"

namespace {

QPushButton* ButtonNamed(QWidget& dialog, const QString& text) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        if (button->text() == text) return button;
    return nullptr;
}

TEST(DialogsTest, FindChecksHexTextAndRemembersTheMode) {
    CFindDlg dialog;
    int beeps = 0;
    dialog.beep = [&] { ++beeps; };
    dialog.Prepare();
    EXPECT_TRUE(dialog.ModeButton(CFindDlg::kHexData)->isChecked());  // first opening
    const struct {
        int mode;
        const char* text;
        bool accepted;
    } cases[] = {
        {CFindDlg::kHexData, "12G4", false},
        {CFindDlg::kHexUnaligned, "1 2", false},
        {CFindDlg::kHexUnaligned, "a1F0", true},
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
        const char* message;  // empty when accepted
    } cases[] = {
        {"0", "Please enter an integer between 1 and 10."},
        {"11", "Please enter an integer between 1 and 10."},
        {"x", "Please enter an integer."},
        {"10", ""},
        {"3", ""},
    };
    for (const auto& c : cases) {
        dialog.Field()->setText(c.text);
        QString message;
        if (*c.message) AnswerNextBox(QMessageBox::Ok, &message);
        EXPECT_EQ(dialog.Confirm(), !*c.message) << c.text;
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
    QWidget* const editors[] = {line.Editor(), box.Editor(), find.TextField(), columns.Field(),
                                app.Frame().findChild<CToolBarCombo*>()->lineEdit(), log.Edit()};
    QClipboard* clipboard = QGuiApplication::clipboard();
    for (QWidget* editor : editors) {
        auto* lineEdit = qobject_cast<QLineEdit*>(editor);
        auto* textEdit = qobject_cast<QPlainTextEdit*>(editor);
        ASSERT_TRUE(lineEdit || textEdit);
        const bool editable = !(textEdit && textEdit->isReadOnly());
        for (int content = 0; content < 3; ++content) {  // empty, text, an image only
            for (bool key : {true, false}) {
                SCOPED_TRACE(editor->metaObject()->className() + std::to_string(content) +
                             (key ? " Ctrl+V" : " paste()"));
                clipboard->clear();
                if (content == 1) {
                    auto* data = new QMimeData;
                    data->setHtml("<b>new</b>");
                    data->setText("new");
                    clipboard->setMimeData(data);
                } else if (content == 2) {
                    clipboard->setImage(QImage(4, 4, QImage::Format_RGB32));
                }
                // Ctrl+V replaces the whole text selected; paste() adds at the end.
                if (lineEdit) lineEdit->setText("old");
                if (textEdit) textEdit->setPlainText("old");
                if (textEdit) textEdit->moveCursor(QTextCursor::End);
                if (key) {
                    QMetaObject::invokeMethod(editor, "selectAll");
                    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
                } else {
                    QMetaObject::invokeMethod(editor, "paste");
                }
                const QString text = lineEdit ? lineEdit->text() : textEdit->toPlainText();
                const char* pasted = key ? "new" : "oldnew";
                EXPECT_EQ(text.toStdString(), content == 1 && editable ? pasted : "old");
            }
        }
    }
    clipboard->clear();
}

}  // namespace
