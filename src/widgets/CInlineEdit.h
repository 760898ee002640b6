#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class QLineEdit;
class QPlainTextEdit;

// The in-place edit field the listing, registers and memory windows put over a line.
// Its kind says what ending an edit does; p1 and p2 are the owner's parameters:
//   0  Enter commits a header, note or footer (onCommit)
//   1  Ctrl+Enter commits an explanation (onCommit); Enter starts a new line
//   2  Enter stores a hex value into register p1 (onRegister), then hides the field;
//      a text that is not hex beeps and keeps the field open
//   3  Enter names the RAM bytes p1..p2 (onCommit), then hides the field
//   4  Enter types the RAM bytes p1..p2 (onCommit), then hides the field
// Texts are 8-bit (Latin-1), like every annotation: an edit that holds other characters
// is refused with a message naming them, and the field stays open with its text.
// For assistive technology the field is named after what it edits: `name` when set,
// else its kind's ("Note", "Explanation", "Register", "RAM name", "Memory").
class CInlineEdit : public QWidget {
    Q_OBJECT
  public:
    enum Kind { kAnnotation = 0, kExplanation = 1, kRegister = 2, kRamName = 3, kRamBytes = 4 };

    CInlineEdit(int controlId, bool multiLine, QWidget* parent = nullptr);

    int ControlId() const { return controlId_; }
    bool IsMultiLine() const { return multi_ != nullptr; }
    std::string Text() const;
    void SetText(std::string_view text);
    // Whether the field holds exactly `text` (Latin-1).
    bool Holds(std::string_view text) const;
    // Ends the edit as Enter (Ctrl+Enter in an explanation) does; false when the text
    // was refused and the field stays open.
    bool Commit();
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const;
    void SelectAll();
    void SetEditorFont(const QFont& font);
    // The control that takes the keys (a QLineEdit or a QPlainTextEdit).
    QWidget* Editor() const;

    int kind = kAnnotation;
    int p1 = 0;
    int p2 = 0;
    QString name;
    std::function<void(CInlineEdit& field, const std::string& text)> onCommit;
    std::function<void(int registerNumber, uint32_t value)> onRegister;
    // The error sound; the application's beep when not set.
    std::function<void()> onBeep;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void Beep();
    QString EditorText() const;
    void NameAfterWhatItEdits();

    int controlId_;
    QLineEdit* line_ = nullptr;
    QPlainTextEdit* multi_ = nullptr;
};
