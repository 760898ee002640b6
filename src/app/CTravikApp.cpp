#include "app/CTravikApp.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/CMainFrame.h"
#include "app/QtSettingsStore.h"
#include "shell/SettingsStore.h"

CTravikApp::CTravikApp(std::unique_ptr<QtSettingsStore> settings)
    : settings_(settings ? std::move(settings) : std::make_unique<QtSettingsStore>()) {}

CTravikApp::~CTravikApp() = default;

bool CTravikApp::InitInstance(const QString& flashFile, bool unattended) {
    mainFrame_ = std::make_unique<CMainFrame>(*settings_);
    mainFrame_->SetUnattended(unattended);
    if (!flashFile.isEmpty()) {
        if (!mainFrame_->OpenDocumentFile(flashFile)) return false;
    } else {
        mainFrame_->OnFileNew();  // refused: the program starts with no document
    }
    if (settings::Read(*settings_, settings::kStartMaximized) != 0) {
        // Without a window manager (a virtual display) maximising does nothing: the
        // window takes the screen's working area itself first.
        if (QScreen* screen = QGuiApplication::primaryScreen())
            mainFrame_->setGeometry(screen->availableGeometry());
        mainFrame_->showMaximized();
    } else
        mainFrame_->show();
    return true;
}
