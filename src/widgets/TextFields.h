#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>

class QMimeData;

// The text fields of the program. A paste inserts the plain text of the clipboard (or of
// a drop) and does nothing at all when it holds no text, as an empty clipboard or one
// with only an image: Qt 6.4's QPlainTextEdit crashes pasting an empty X11 clipboard,
// and a QLineEdit would delete its selection for nothing.

// The text a paste of `source` inserts; empty when there is none.
QString PastedText(const QMimeData* source);

class CLineField : public QLineEdit {
    Q_OBJECT
  public:
    using QLineEdit::QLineEdit;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class CTextField : public QPlainTextEdit {
    Q_OBJECT
  public:
    using QPlainTextEdit::QPlainTextEdit;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
};
