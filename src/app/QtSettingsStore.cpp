#include "app/QtSettingsStore.h"

#include <QFileInfo>

namespace {
constexpr const char* kRecentGroup = "Recent File List";

QString KeyOf(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + '/' + QString::fromStdString(key);
}
}  // namespace

QtSettingsStore::QtSettingsStore()
    : settings_(std::make_unique<QSettings>(kOrganization, kApplication)) {}

QtSettingsStore::QtSettingsStore(const QString& iniPath)
    : settings_(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

int QtSettingsStore::GetProfileInt(const std::string& section, const std::string& key,
                                   int defaultValue) {
    bool ok = false;
    const int value = settings_->value(KeyOf(section, key)).toInt(&ok);
    // A value that is missing or not a number (edited by hand) reads as the default.
    return ok ? value : defaultValue;
}

void QtSettingsStore::WriteProfileInt(const std::string& section, const std::string& key,
                                      int value) {
    settings_->setValue(KeyOf(section, key), value);
}

QStringList QtSettingsStore::RecentFiles() const {
    QStringList files;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString file =
            settings_->value(QString("%1/File%2").arg(kRecentGroup).arg(i)).toString();
        if (!file.isEmpty()) files << file;
    }
    return files;
}

void QtSettingsStore::AddRecentFile(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    QStringList files = RecentFiles();
    files.removeAll(full);
    files.prepend(full);
    WriteRecentFiles(files);
}

void QtSettingsStore::RemoveRecentFile(const QString& path) {
    QStringList files = RecentFiles();
    files.removeAll(path);
    WriteRecentFiles(files);
}

void QtSettingsStore::WriteRecentFiles(const QStringList& files) {
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString key = QString("%1/File%2").arg(kRecentGroup).arg(i);
        if (i <= files.size())
            settings_->setValue(key, files[i - 1]);
        else
            settings_->remove(key);
    }
}
