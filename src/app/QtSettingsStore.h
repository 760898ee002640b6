#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>

#include "shell/SettingsStore.h"

// The settings store on QSettings: integers by key in groups, per user. The
// recent-file list lives in a group of its own.
class QtSettingsStore : public SettingsStore {
  public:
    static constexpr int kRecentFileCount = 4;
    static constexpr const char* kOrganization = "Local AppWizard-Generated Applications";
    static constexpr const char* kApplication = "Travik";

    // The user's store.
    QtSettingsStore();
    // An INI file at `iniPath` (tests, or a store chosen on the command line).
    explicit QtSettingsStore(const QString& iniPath);

    int GetProfileInt(const std::string& section, const std::string& key,
                      int defaultValue) override;
    void WriteProfileInt(const std::string& section, const std::string& key, int value) override;

    // Most recent first, at most kRecentFileCount entries.
    QStringList RecentFiles() const;
    void AddRecentFile(const QString& path);
    void RemoveRecentFile(const QString& path);
    void Sync() { settings_->sync(); }

  private:
    void WriteRecentFiles(const QStringList& files);
    std::unique_ptr<QSettings> settings_;
};
