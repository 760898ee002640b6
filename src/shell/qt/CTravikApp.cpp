#include "CTravikApp.h"

#include "CMainFrame.h"
#include "QtSettingsStore.h"
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
    if (settings::Read(*settings_, settings::kStartMaximized) != 0)
        mainFrame_->showMaximized();
    else
        mainFrame_->show();
    return true;
}
