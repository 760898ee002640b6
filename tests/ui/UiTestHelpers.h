#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <string>

#include "app/CMainFrame.h"
#include "app/CTravikApp.h"
#include "app/QtSettingsStore.h"
#include "support/TestSupport.h"

// Presses `button` on the next message box that opens (within about two seconds).
inline void AnswerNextBox(QMessageBox::StandardButton button, QString* seenText = nullptr) {
    auto* poll = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, tries, button, seenText] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box || ++*tries > 200) {
            poll->stop();
            poll->deleteLater();
        }
        if (box) {
            if (seenText) *seenText = box->text();
            box->button(button)->click();
        }
    });
    poll->start(10);
}

// An application whose settings live in an INI file of a temporary folder.
struct TestApp {
    explicit TestApp(const std::string& settingsFile)
        : app(std::make_unique<QtSettingsStore>(QString::fromStdString(settingsFile))) {}
    // Starts without a document, or with `flash` opened without message boxes.
    bool Start(const std::string& flash = {}) {
        const bool ok = app.InitInstance(QString::fromStdString(flash), true);
        if (app.MainFrame()) app.MainFrame()->SetUnattended(false);
        QApplication::processEvents();
        return ok;
    }
    CMainFrame& Frame() { return *app.MainFrame(); }
    // Opens another flash file without message boxes.
    bool Open(const std::string& flash) {
        Frame().SetUnattended(true);
        const bool ok = Frame().OpenDocumentFile(QString::fromStdString(flash));
        Frame().SetUnattended(false);
        return ok;
    }
    CTravikApp app;
};

// A flash image of `bytes` bytes, all of it THUMB "MOV R0, #0".
inline std::string WriteThumbImage(const TempDir& dir, const std::string& name, size_t bytes) {
    std::string image(bytes, '\0');
    for (size_t i = 0; i < bytes; i += 2) image[i] = 0x20;
    const std::string path = dir.File(name);
    WriteFile(path, image);
    return path;
}
