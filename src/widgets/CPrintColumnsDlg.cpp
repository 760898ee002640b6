#include "widgets/CPrintColumnsDlg.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "widgets/DialogUnits.h"
#include "widgets/TextFields.h"
#include "shell/SettingsStore.h"

CPrintColumnsDlg::CPrintColumnsDlg(SettingsStore& settings, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      columns_(settings::Read(settings, settings::kNumColumns)) {
    QFont dialogFont = font();
    dialogFont.setPixelSize(11);
    setFont(dialogFont);
    setFont(DialogFont());
    setFixedSize(DluSize(187, 95));
    setAccessibleName("Number of columns to print");

    auto* label = new QLabel("Number of columns to print", this);
    label->setGeometry(DluX(7), DluY(7), DluX(110), DluY(8));
    field_ = new CLineField(this);
    field_->setGeometry(DluX(7), DluY(20), DluX(40), DluY(13));
    field_->setAccessibleName("Number of columns to print");
    label->setBuddy(field_);

    auto* ok = new QPushButton("OK", this);
    ok->setGeometry(DluX(130), DluY(7), DluX(50), DluY(14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] {
        if (Confirm()) accept();
    });
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setGeometry(DluX(130), DluY(24), DluX(50), DluY(14));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool CPrintColumnsDlg::Run() {
    field_->setText(QString::number(columns_));
    field_->selectAll();
    field_->setFocus();
    return exec() == QDialog::Accepted;
}

bool CPrintColumnsDlg::Confirm() {
    bool isNumber = false;
    const int value = field_->text().trimmed().toInt(&isNumber);
    const char* problem = nullptr;
    if (!isNumber)
        problem = "Please enter an integer.";
    else if (value < 1 || value > 10)
        problem = "Please enter an integer between 1 and 10.";
    if (problem) {
        QMessageBox::warning(this, "Travik", problem);
        field_->setFocus();
        field_->selectAll();
        return false;
    }
    columns_ = value;
    settings::Write(settings_, settings::kNumColumns, value);
    return true;
}
