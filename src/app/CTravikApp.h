#pragma once

#include <QString>
#include <memory>

class CMainFrame;
class QtSettingsStore;

// The application: the settings store and the main window, started in order.
class CTravikApp {
  public:
    // The user's settings store unless one is given (tests).
    explicit CTravikApp(std::unique_ptr<QtSettingsStore> settings = nullptr);
    ~CTravikApp();

    // Creates the main window, opens the flash file (if any) and shows the window,
    // maximised unless "Start Maximized" is 0. False when the flash file could not be
    // opened: the program then ends. `unattended` sends messages to stderr instead of
    // boxes (runs without a user, such as --screenshot).
    bool InitInstance(const QString& flashFile, bool unattended = false);

    CMainFrame* MainFrame() const { return mainFrame_.get(); }
    QtSettingsStore& Settings() const { return *settings_; }

  private:
    std::unique_ptr<QtSettingsStore> settings_;
    std::unique_ptr<CMainFrame> mainFrame_;
};
