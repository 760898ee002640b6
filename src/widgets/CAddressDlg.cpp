#include "widgets/CAddressDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "widgets/TextFields.h"

CAddressDlg::CAddressDlg(const QString& title, const QString& label, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    auto* caption = new QLabel(label, this);
    field_ = new CLineField(this);
    field_->setMaxLength(40);
    field_->setAccessibleName(label);
    caption->setBuddy(field_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(field_);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

std::optional<std::string> CAddressDlg::Ask(QWidget* parent, const QString& title,
                                             const QString& label) {
    CAddressDlg dialog(title, label, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.field_->text().toStdString();
}
