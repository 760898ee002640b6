// The dialogs: the Find dialog's checks and its run from the Edit menu (scripted as the
// user would fill it), the print-columns field, the print preview, and the text
// fields' paste.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>

#include "UiTestHelpers.h"
#include "app/CToolBarCombo.h"
#include "debugger/qt/CWarningsDlg.h"
#include "listing/PrintLayout.h"
#include "listing/qt/ListingPrinter.h"
#include "widgets/CFindDlg.h"
#include "widgets/CInlineEdit.h"
#include "widgets/CPrintColumnsDlg.h"

namespace {

QPushButton* ButtonNamed(QWidget& dialog, const QString& text) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        if (button->text() == text) return button;
    return nullptr;
}

// Hex modes take hex digits only (a beep, the dialog stays open); Cancel keeps the last
// confirmed text and mode, and the next opening shows them.
TEST(Dialogs, FindChecksHexTextAndRemembersTheMode) {
    CFindDlg dialog;
    int beeps = 0;
    dialog.beep = [&] { ++beeps; };
    dialog.Prepare();
    EXPECT_TRUE(dialog.ModeButton(CFindDlg::kHexData)->isChecked());  // first opening
    const struct { int mode; const char* text; bool accepted; } cases[] = {
        {CFindDlg::kHexData, "12G4", false},    {CFindDlg::kHexUnaligned, "1 2", false},
        {CFindDlg::kHexUnaligned, "a1F0", true}, {CFindDlg::kStringCase, "Abc", true},
    };
    for (const auto& c : cases) {
        dialog.Prepare();
        dialog.show();
        dialog.ModeButton(c.mode)->setChecked(true);
        dialog.TextField()->setText(c.text);
        const int beepsBefore = beeps;
        ButtonNamed(dialog, "Find")->click();
        EXPECT_EQ(dialog.result() == QDialog::Accepted && !dialog.isVisible(), c.accepted) << c.text;
        EXPECT_EQ(beeps - beepsBefore, c.accepted ? 0 : 1) << c.text;
        if (c.accepted) {
            EXPECT_EQ(dialog.mode, c.mode);
        }
        dialog.hide();
        dialog.setResult(0);
    }
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

// Edit > Find opens the view's own dialog; Find Next goes on and wraps to the first.
TEST(Dialogs, FindThenFindNextWrapsToTheFirst) {
    TempDir dir;
    std::vector<uint8_t> image;
    for (int i = 0; i < 0x200; ++i) PutHalf(image, i == 0x80 || i == 0x180 ? 0x4770 : 0x2000);
    WriteFile(dir.File("f.fls"), image);
    Window w(0, {}, dir.File("f.fls"));
    ExpectDialog([](QDialog& shown) {
        auto* dialog = qobject_cast<CFindDlg*>(&shown);
        ASSERT_NE(dialog, nullptr);
        dialog->ModeButton(CFindDlg::kString)->click();
        QTest::keyClicks(dialog->TextField(), "bx");
        QTest::keyClick(dialog->TextField(), Qt::Key_Return);
    });
    w.Run(cmd::kEditFind);
    EXPECT_EQ(w.view().State().cursorOffset, 0x100u);
    w.Run(cmd::kEditFindNext);
    EXPECT_EQ(w.view().State().cursorOffset, 0x300u);
    w.Run(cmd::kEditFindNext);
    EXPECT_EQ(w.view().State().cursorOffset, 0x100u);
    EXPECT_EQ(w.view().FindDialog().pattern, "bx");
}

TEST(Dialogs, PrintColumnsAcceptsOneToTenAndStoresIt) {
    RecordingFrame frame;
    CPrintColumnsDlg dialog(frame.settings);
    const struct { const char* text; const char* message; } cases[] = {
        {"0", "Please enter an integer between 1 and 10."},
        {"11", "Please enter an integer between 1 and 10."},
        {"x", "Please enter an integer."}, {"10", ""}, {"3", ""},
    };
    for (const auto& c : cases) {
        dialog.Field()->setText(c.text);
        QString message;
        if (*c.message) AnswerNextBox(QMessageBox::Ok, &message);
        EXPECT_EQ(dialog.Confirm(), !*c.message) << c.text;
        EXPECT_EQ(message, c.message) << c.text;
    }
    EXPECT_EQ(settings::Read(frame.settings, settings::kNumColumns), 3);
}

// File > Preview shows every page of the selection.
TEST(Dialogs, PrintPreviewShowsEveryPageOfTheSelection) {
    RecordingFrame frame;
    auto doc = OpenImage(frame, TRAVIK_DEMO_FLS);
    doc->SetSelection(0, 0xFFF);
    ListingPrinter printer;
    printer.Printer().setOutputFormat(QPrinter::PdfFormat);  // no print system needed
    int shown = -1;
    ExpectDialog([&](QDialog& opened) {
        auto* preview = opened.findChild<QPrintPreviewWidget*>();
        ASSERT_TRUE(qobject_cast<QPrintPreviewDialog*>(&opened) && preview);
        shown = preview->pageCount();
        opened.reject();
    });
    printer.Preview(*doc, 2, nullptr);
    EXPECT_EQ(shown, CountPrintPages(*doc, 2, ListingPrinter::AreaOf(printer.Printer())));
    EXPECT_GT(shown, 1);
}

// Ctrl+V and paste() in every text field: a clipboard without text (empty, or only an
// image) pastes nothing, and text pastes as plain text; the log is read-only.
TEST(Dialogs, PasteTakesOnlyTheClipboardsText) {
    Window w(64);
    RecordingFrame frame;
    CInlineEdit line(9000, false), box(9001, true);
    CFindDlg find;
    CPrintColumnsDlg columns(frame.settings);
    CWarningsDlg log;
    QWidget* const editors[] = {line.Editor(), box.Editor(), find.TextField(), columns.Field(),
                                w.frame().findChild<CToolBarCombo*>()->lineEdit(), log.Edit()};
    QClipboard* clipboard = QGuiApplication::clipboard();
    for (QWidget* editor : editors) {
        auto* lineEdit = qobject_cast<QLineEdit*>(editor);
        auto* textEdit = qobject_cast<QPlainTextEdit*>(editor);
        ASSERT_TRUE(lineEdit || textEdit);
        for (int content = 0; content < 3; ++content) {  // empty, text, an image only
            for (bool key : {true, false}) {
                SCOPED_TRACE(editor->metaObject()->className() + std::to_string(content) +
                             (key ? " Ctrl+V" : " paste()"));
                clipboard->clear();
                auto* data = new QMimeData;
                if (content == 1) data->setHtml("<b>new</b>"), data->setText("new");
                if (content == 2) data->setImageData(QImage(4, 4, QImage::Format_RGB32));
                clipboard->setMimeData(data);
                // Ctrl+V replaces the whole text selected; paste() adds at the end.
                if (lineEdit) lineEdit->setText("old");
                if (textEdit) textEdit->setPlainText("old"), textEdit->moveCursor(QTextCursor::End);
                QMetaObject::invokeMethod(editor, key ? "selectAll" : "paste");
                if (key) QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
                const QString text = lineEdit ? lineEdit->text() : textEdit->toPlainText();
                const bool pastes = content == 1 && !(textEdit && textEdit->isReadOnly());
                EXPECT_EQ(text.toStdString(), pastes ? (key ? "new" : "oldnew") : "old");
            }
        }
    }
    clipboard->clear();
}

}  // namespace
