#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <QMessageBox>
#include <functional>
#include <memory>
#include <string>

#include "app/CMainFrame.h"
#include "app/CResizableBar.h"
#include "app/CTravikApp.h"
#include "app/CommandIds.h"
#include "app/QtSettingsStore.h"
#include "listing/qt/CTravikView.h"
#include "support/TestSupport.h"

// Every modal window a test opens (a message box, a chooser, a dialog) is handed to the
// next answer the test scripted, in order, once its event loop runs. One nobody scripted
// fails the test at once and is closed, as is one its answer left open, so a test never
// waits on a box; an answer left over when the test ends fails it too (the box it
// expected never came).
// Both live in UiTestMain.cpp.
void ExpectDialog(std::function<void(QDialog&)> answer);

// Presses `button` on the next message box, keeping its text in `seenText`.
inline void AnswerNextBox(QMessageBox::StandardButton button, QString* seenText = nullptr) {
    ExpectDialog([button, seenText](QDialog& dialog) {
        auto* box = qobject_cast<QMessageBox*>(&dialog);
        QAbstractButton* press = box ? box->button(button) : nullptr;
        if (seenText && box) *seenText = box->text();
        if (press) {
            press->click();
        } else {
            ADD_FAILURE() << "no such button on " << dialog.metaObject()->className();
            dialog.reject();
        }
    });
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

// A flash image of `bytes` bytes, all of it THUMB "MOV R0, #0", or these halfwords
// first.
inline std::string WriteThumbImage(const TempDir& dir, const std::string& name, size_t bytes,
                                   std::initializer_list<uint16_t> code = {}) {
    std::vector<uint8_t> image;
    for (uint16_t h : code) PutHalf(image, h);
    while (image.size() < bytes) PutHalf(image, 0x2000);
    const std::string path = dir.File(name);
    WriteFile(path, image);
    return path;
}

// Types `text` into an editor, characters beyond Latin-1 included.
inline void TypeText(QWidget* editor, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(editor, &press);
    }
}

// The program with one flash file open (a THUMB image of `bytes` bytes, or `flash`), its
// listing maximised, active and painted.
struct Window {
    explicit Window(size_t bytes, std::initializer_list<uint16_t> code = {},
                    const std::string& flash = {})
        : app(dir.File("settings.ini")) {
        EXPECT_TRUE(app.Start(flash.empty() ? WriteThumbImage(dir, "w.fls", bytes, code) : flash));
        app.Frame().MdiArea()->activeSubWindow()->showMaximized();
        QApplication::processEvents();
        QApplication::setActiveWindow(&app.Frame());
        view().setFocus();
        Paint();
    }
    CMainFrame& frame() { return app.Frame(); }
    CTravikView& view() { return *frame().ActiveView(); }
    CTravikDoc& doc() { return view().GetDocument(); }
    void Paint() { view().repaint(); }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(&view(), static_cast<Qt::Key>(key), modifiers), Paint();
    }
    void GoTo(uint32_t offset) { view().GoToOffset(offset, true), Paint(); }
    void Run(int commandId) { frame().Action(commandId)->trigger(), Paint(); }
    bool Enabled(int commandId) { return frame().Action(commandId)->isEnabled(); }
    QWidget* ShowBar(CMainFrame::Bar bar) {
        frame().BarOf(bar)->show();
        QApplication::processEvents();
        return frame().BarOf(bar)->Hosted();
    }

    TempDir dir;
    TestApp app;
};
