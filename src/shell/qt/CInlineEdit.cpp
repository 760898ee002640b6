#include "shell/qt/CInlineEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "shell/InlineEditRules.h"
#include "shell/qt/TextFields.h"

CInlineEdit::CInlineEdit(int controlId, bool multiLine, QWidget* parent)
    : QWidget(parent), controlId_(controlId) {
    setObjectName(QStringLiteral("inlineEdit%1").arg(controlId));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget* editor;
    if (multiLine) {
        multi_ = new CTextField(this);
        multi_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        multi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        multi_->setTabChangesFocus(false);
        editor = multi_;
    } else {
        line_ = new CLineField(this);
        editor = line_;
    }
    editor->installEventFilter(this);
    layout->addWidget(editor);
    setFocusProxy(editor);
}

QWidget* CInlineEdit::Editor() const {
    return multi_ != nullptr ? static_cast<QWidget*>(multi_) : line_;
}

std::string CInlineEdit::Text() const {
    const QString text = multi_ != nullptr ? multi_->toPlainText() : line_->text();
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void CInlineEdit::SetText(std::string_view text) {
    const QString s = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    if (multi_ != nullptr) {
        if (multi_->toPlainText() != s) multi_->setPlainText(s);
    } else if (line_->text() != s) {
        line_->setText(s);
    }
}

void CInlineEdit::SetReadOnly(bool readOnly) {
    if (multi_ != nullptr)
        multi_->setReadOnly(readOnly);
    else
        line_->setReadOnly(readOnly);
}

bool CInlineEdit::IsReadOnly() const {
    return multi_ != nullptr ? multi_->isReadOnly() : line_->isReadOnly();
}

void CInlineEdit::SelectAll() {
    if (multi_ != nullptr)
        multi_->selectAll();
    else
        line_->selectAll();
}

void CInlineEdit::SetEditorFont(const QFont& font) {
    setFont(font);
    Editor()->setFont(font);
}

void CInlineEdit::Beep() {
    if (onBeep)
        onBeep();
    else
        QApplication::beep();
}

bool CInlineEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched != Editor()) return QWidget::eventFilter(watched, event);
    // The field takes every key, Tab included, so that the window around it never
    // moves the focus away in the middle of an edit.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const bool ctrl = key->modifiers() & Qt::ControlModifier;
        if (key->key() == Qt::Key_Tab && line_ != nullptr) return true;
        if (!enter) return false;
        switch (kind) {
            case kAnnotation:
                if (onCommit) onCommit(*this, Text());
                return true;
            case kExplanation:
                if (!ctrl) return false;  // a new line
                if (onCommit) onCommit(*this, Text());
                return true;
            case kRegister: {
                const auto value = ParseRegisterEntry(Text());
                if (!value) {
                    Beep();
                    return true;
                }
                if (onRegister) onRegister(p1, *value);
                hide();
                return true;
            }
            case kRamName:
            case kRamBytes:
                if (onCommit) onCommit(*this, Text());
                hide();
                return true;
            default:
                return false;
        }
    }
    return QWidget::eventFilter(watched, event);
}
