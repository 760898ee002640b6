#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QCheckBox;
class QLineEdit;
class QRadioButton;

// "Find...": the search text and its kind. The last confirmed text and kind are
// remembered for the next opening; the search itself is done by the caller.
class CFindDlg : public QDialog {
    Q_OBJECT
  public:
    enum Mode { kNone = -1, kHexData = 1, kHexUnaligned = 2, kString = 3, kStringCase = 4 };

    explicit CFindDlg(QWidget* parent = nullptr);

    // Prepares the controls from the remembered text and kind; call before showing.
    void Prepare();
    // Prepare() and then a modal run; true when confirmed with "Find" or "Find All".
    bool Run();

    int mode = kNone;
    QString pattern;
    // Whether the last confirmation was "Find All".
    bool findAll = false;
    // "Notes and names too": the text kinds also search the annotations.
    bool annotationsToo = false;
    // The error sound; the platform's beep unless a test replaces it.
    std::function<void()> beep;

    QLineEdit* TextField() const { return text_; }
    QRadioButton* ModeButton(int mode) const { return radios_[mode - 1]; }
    QCheckBox* AnnotationsBox() const { return annotations_; }

  private:
    void OnFind(bool all);

    QLineEdit* text_;
    QRadioButton* radios_[4];
    QCheckBox* annotations_;
};
