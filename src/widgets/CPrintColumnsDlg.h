#pragma once

#include <QDialog>

class QLineEdit;
class SettingsStore;

// The number of listing columns on a printed page (1 to 10), kept in "Num Columns".
class CPrintColumnsDlg : public QDialog {
    Q_OBJECT
  public:
    // Reads the number from the store.
    CPrintColumnsDlg(SettingsStore& settings, QWidget* parent = nullptr);

    // Shows the number, runs modally; on OK stores the new number.
    bool Run();
    int Columns() const { return columns_; }
    QLineEdit* Field() const { return field_; }

    // What the OK button does: true (and the number stored) when the field holds an
    // integer from 1 to 10; otherwise the message for the problem and false.
    bool Confirm();

  private:
    SettingsStore& settings_;
    int columns_;
    QLineEdit* field_;
};
