#include "app/CGdbServerDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "shell/SettingsStore.h"

CGdbServerDlg::CGdbServerDlg(SettingsStore& settings, Actions actions, QWidget* parent)
    : QDialog(parent), settings_(settings), actions_(std::move(actions)) {
    setWindowTitle("GDB Server");
    port_ = new QSpinBox(this);
    port_->setRange(1, 65535);
    port_->setValue(std::clamp(settings::Read(settings_, settings::kGdbServerPort), 1, 65535));
    port_->setAccessibleName("Port");
    start_ = new QPushButton("&Start", this);
    stop_ = new QPushButton("S&top", this);
    status_ = new QLabel(this);
    status_->setAccessibleName("Status");
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* hint = new QLabel(
        "gdb-multiarch: set architecture arm, set endian big, target remote :PORT", this);
    hint->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* form = new QFormLayout;
    form->addRow("&Port (127.0.0.1):", port_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addWidget(stop_);
    buttons->addStretch();
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(status_);
    layout->addWidget(hint);
    layout->addWidget(close);

    connect(start_, &QPushButton::clicked, this, &CGdbServerDlg::OnStart);
    connect(stop_, &QPushButton::clicked, this, [this] { actions_.stop(); });
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::hide);
    ShowStatus({});
}

void CGdbServerDlg::OnStart() {
    const auto port = static_cast<quint16>(port_->value());
    if (actions_.start(port)) settings::Write(settings_, settings::kGdbServerPort, port);
}

void CGdbServerDlg::ShowStatus(const QString& status) {
    const bool listening = !status.isEmpty();
    status_->setText(listening ? status : QStringLiteral("GDB: not listening"));
    start_->setEnabled(!listening);
    stop_->setEnabled(listening);
    port_->setEnabled(!listening);
}
