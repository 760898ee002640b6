#pragma once

#include <QWidget>
#include <string>

#include "debugger/WarningsLog.h"

class QPlainTextEdit;

// The warnings bar's contents: the emulator's log, one line per report. Lines that
// arrive while the bar is hidden are kept and shown when it is shown again.
class CWarningsDlg : public QWidget {
    Q_OBJECT
  public:
    explicit CWarningsDlg(QWidget* parent = nullptr);
    QSize sizeHint() const override;

    // Appends the text and a line break; an empty text first clears the log.
    void AddWarning(const std::string& text);
    // The log with its line breaks as stored ("\r\n").
    const std::string& Log() const { return log_.Text(); }
    QPlainTextEdit* Edit() const { return edit_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPlainTextEdit* edit_;
    WarningsLog log_;
};
