#include "widgets/CInlineEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QVBoxLayout>
#include <iterator>

#include "shell/InlineEditRules.h"
#include "widgets/TextFields.h"

namespace {

// The characters of `text` that Latin-1 lacks, each once, in the order they come, each
// with its code so that an invisible one can be told; empty when there are none.
QString CharactersBeyondLatin1(const QString& text) {
    QList<char32_t> seen;
    QString list;
    for (const char32_t c : text.toUcs4()) {
        if (c <= 0xFF || seen.contains(c)) continue;
        seen.append(c);
        if (!list.isEmpty()) list += QStringLiteral(", ");
        list += QString::fromUcs4(&c, 1) + QStringLiteral(" (U+") +
                QString::number(static_cast<uint>(c), 16).toUpper().rightJustified(4, QChar('0')) +
                QChar(')');
    }
    return list;
}

}  // namespace

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

QString CInlineEdit::EditorText() const {
    return multi_ != nullptr ? multi_->toPlainText() : line_->text();
}

std::string CInlineEdit::Text() const {
    const QByteArray bytes = EditorText().toLatin1();
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

bool CInlineEdit::Holds(std::string_view text) const {
    return EditorText() == QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
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

void CInlineEdit::NameAfterWhatItEdits() {
    static const char* const kKindNames[] = {"Note", "Explanation", "Register", "RAM name",
                                             "Memory"};
    QString n = name;
    if (n.isEmpty() && kind >= 0 && kind < static_cast<int>(std::size(kKindNames)))
        n = QString::fromLatin1(kKindNames[kind]);
    if (accessibleName() != n) setAccessibleName(n);
    if (Editor()->accessibleName() != n) Editor()->setAccessibleName(n);
}

void CInlineEdit::showEvent(QShowEvent* event) {
    NameAfterWhatItEdits();
    QWidget::showEvent(event);
}

bool CInlineEdit::Commit() {
    if (kind == kRegister) {
        const auto value = ParseRegisterEntry(Text());
        if (!value) {
            Beep();
            return false;
        }
        if (onRegister) onRegister(p1, *value);
        hide();
        return true;
    }
    // The info file keeps one byte per character: what it cannot hold is not stored
    // changed behind the user's back.
    const QString beyond = CharactersBeyondLatin1(EditorText());
    if (!beyond.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Travik"),
                             QStringLiteral("These characters cannot be kept in the info file, "
                                            "which holds one byte per character: ") +
                                 beyond);
        Editor()->setFocus();
        return false;
    }
    if (onCommit) onCommit(*this, Text());
    if (kind == kRamName || kind == kRamBytes) hide();
    return true;
}

bool CInlineEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched != Editor()) return QWidget::eventFilter(watched, event);
    // The owner may have changed the kind since the field was shown.
    if (event->type() == QEvent::FocusIn) NameAfterWhatItEdits();
    // The field takes every key, Tab included, so that the window around it never
    // moves the focus away in the middle of an edit.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const bool ctrl = key->modifiers() & Qt::ControlModifier;
        if (key->key() == Qt::Key_Tab && line_ != nullptr) return true;
        if (!enter || kind < kAnnotation || kind > kRamBytes) return false;
        if (kind == kExplanation && !ctrl) return false;  // a new line
        Commit();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
