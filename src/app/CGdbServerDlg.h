#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;
class QSpinBox;
class SettingsStore;

// Debug > GDB Server...: the port, Start and Stop, and what the server is doing. It stays
// open beside the window (the server goes on when it is closed).
class CGdbServerDlg final : public QDialog {
    Q_OBJECT

  public:
    struct Actions {
        // Starts the server on the port; false when it cannot (the window said why).
        std::function<bool(quint16 port)> start;
        std::function<void()> stop;
    };
    CGdbServerDlg(SettingsStore& settings, Actions actions, QWidget* parent = nullptr);

    // The server's status line (empty: not listening), which also sets the buttons.
    void ShowStatus(const QString& status);

    QSpinBox* PortField() const { return port_; }
    QPushButton* StartButton() const { return start_; }
    QPushButton* StopButton() const { return stop_; }
    QLabel* StatusLabel() const { return status_; }

  private:
    void OnStart();

    SettingsStore& settings_;
    Actions actions_;
    QSpinBox* port_;
    QPushButton* start_;
    QPushButton* stop_;
    QLabel* status_;
};
