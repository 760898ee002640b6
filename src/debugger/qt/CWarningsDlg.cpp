#include "CWarningsDlg.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

#include "shell/qt/DialogUnits.h"

CWarningsDlg::CWarningsDlg(QWidget* parent) : QWidget(parent) {
    edit_ = new QPlainTextEdit(this);
    edit_->setReadOnly(true);
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit_->setAccessibleName("Warning Messages");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->addWidget(edit_);
    resize(sizeHint());
}

QSize CWarningsDlg::sizeHint() const {
    return DluSize(152, 62);
}

void CWarningsDlg::AddWarning(const std::string& text) {
    if (text.empty()) {
        log_.clear();
        edit_->clear();
    }
    if (log_.size() >= kCapacity) return;
    log_ += text;
    log_ += "\r\n";
    // The edit control shows "\r\n" as one line break; the log above keeps the count.
    QTextCursor cursor(edit_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromLatin1(text.data(), static_cast<int>(text.size())) + '\n');
    edit_->verticalScrollBar()->setValue(edit_->verticalScrollBar()->maximum());
}
