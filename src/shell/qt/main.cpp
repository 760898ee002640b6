// travik: the desktop program.
#include <QApplication>
#include <QCommandLineParser>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "CMainFrame.h"
#include "CTravikApp.h"
#include "QtSettingsStore.h"
#include "ToolbarIcons.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("Travik");
    QApplication::setApplicationVersion("1.6 beta");
    QApplication::setWindowIcon(ApplicationIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Travik: THUMB disassembly listing, annotations and emulator for phone flash images.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption screenshot(
        "screenshot", "After start-up and the first paint, save the main window as a PNG and exit.",
        "FILE.png");
    parser.addOption(screenshot);
    parser.addPositionalArgument("flash", "The flash file to open (.fls).", "[FLASH.fls]");
    parser.process(qapp);
    if (parser.positionalArguments().size() > 1) {
        std::fprintf(stderr, "travik: one flash file at most\n");
        return 2;
    }
    const QString flash = parser.positionalArguments().value(0);
    const QString shotPath = parser.value(screenshot);
    const bool takeShot = parser.isSet(screenshot);

    CTravikApp app;
    // A screenshot run has no user: messages go to stderr, questions are answered No.
    if (!app.InitInstance(flash, takeShot)) return 1;
    if (!takeShot) return qapp.exec();

    CMainFrame* frame = app.MainFrame();
    int status = 0;
    QTimer::singleShot(200, frame, [&] {
        QApplication::processEvents();
        const QPixmap shot = frame->grab();
        if (!shot.save(shotPath, "PNG")) {
            std::fprintf(stderr, "travik: cannot write %s\n", shotPath.toLocal8Bit().constData());
            status = 1;
        }
        frame->close();
        QApplication::quit();
    });
    qapp.exec();
    return status;
}
