#include "CWarningsDlg.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

#include "widgets/DialogUnits.h"
#include "widgets/TextFields.h"

CWarningsDlg::CWarningsDlg(QWidget* parent) : QWidget(parent) {
    setObjectName("warningsDlg");
    edit_ = new CTextField(this);
    edit_->setObjectName("warningsLog");
    edit_->setReadOnly(true);
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit_->setAccessibleName("Warning Messages");
    edit_->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->addWidget(edit_);
    resize(sizeHint());
}

QSize CWarningsDlg::sizeHint() const {
    return DluSize(152, 62);
}

bool CWarningsDlg::eventFilter(QObject* watched, QEvent* event) {
    // Enter and Escape do nothing in the log.
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CWarningsDlg::AddWarning(const std::string& text) {
    const WarningsLog::Change change = log_.Add(text);
    if (change == WarningsLog::Change::kDropped) return;
    if (change == WarningsLog::Change::kClearedAndAppended) edit_->clear();
    // The edit control shows "\r\n" as one line break; the log above keeps the count.
    QTextCursor cursor(edit_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())) + '\n');
    QScrollBar* bar = edit_->verticalScrollBar();
    bar->setValue(bar->maximum());
}
