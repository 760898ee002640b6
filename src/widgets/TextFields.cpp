#include "widgets/TextFields.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>

QString PastedText(const QMimeData* source) {
    return source != nullptr && source->hasText() ? source->text() : QString();
}

namespace {
QString ClipboardText() {
    return PastedText(QGuiApplication::clipboard()->mimeData());
}
}  // namespace

void CLineField::keyPressEvent(QKeyEvent* event) {
    if (!event->matches(QKeySequence::Paste)) return QLineEdit::keyPressEvent(event);
    event->accept();
    if (isReadOnly()) return;
    const QString text = ClipboardText();
    if (!text.isEmpty()) insert(text);
}

// The paste keys, the context menu's Paste, paste() and a drop all come here through
// insertFromMimeData; the keys are taken first so that Qt's own control never sees them.
void CTextField::keyPressEvent(QKeyEvent* event) {
    if (!event->matches(QKeySequence::Paste)) return QPlainTextEdit::keyPressEvent(event);
    event->accept();
    if (!isReadOnly()) insertFromMimeData(QGuiApplication::clipboard()->mimeData());
}

bool CTextField::canInsertFromMimeData(const QMimeData* source) const {
    return !PastedText(source).isEmpty();
}

void CTextField::insertFromMimeData(const QMimeData* source) {
    const QString text = PastedText(source);
    if (text.isEmpty() || isReadOnly()) return;
    insertPlainText(text);
    ensureCursorVisible();
}
