#pragma once

#include <QWidget>
#include <string>

class QPlainTextEdit;

// The warnings bar's contents: the emulator's log, one line per report.
class CWarningsDlg : public QWidget {
    Q_OBJECT
  public:
    // The log takes new lines while it holds fewer characters than this.
    static constexpr int kCapacity = 9000;

    explicit CWarningsDlg(QWidget* parent = nullptr);
    QSize sizeHint() const override;

    // Appends the text and a line break; an empty text first clears the log.
    void AddWarning(const std::string& text);
    // The log with its line breaks as stored ("\r\n").
    const std::string& Log() const { return log_; }
    QPlainTextEdit* Edit() const { return edit_; }

  private:
    QPlainTextEdit* edit_;
    std::string log_;
};
