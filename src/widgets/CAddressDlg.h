#pragma once

#include <QDialog>
#include <optional>
#include <string>

class CLineField;

// The small box of Go to Address: one hex number, OK and Cancel.
class CAddressDlg final : public QDialog {
    Q_OBJECT
  public:
    CAddressDlg(const QString& title, const QString& label, QWidget* parent = nullptr);
    CLineField* Field() const { return field_; }

    // Asks for an address; none when the box was cancelled.
    static std::optional<std::string> Ask(QWidget* parent, const QString& title,
                                          const QString& label);

  private:
    CLineField* field_;
};
