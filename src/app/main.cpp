// travik: the desktop program.
#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QPixmap>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/BatchPrint.h"
#include "app/CMainFrame.h"
#include "app/CTravikApp.h"
#include "app/QtSettingsStore.h"
#include "app/ToolbarIcons.h"
#include "document/CTravikDoc.h"
#include "document/FileIo.h"

namespace {

// Writes the PNG as every file of the program is written: never where the open document
// forbids (its flash file, its own files), nor onto anything but a regular file, and
// whole or not at all. The message of a failure, or empty.
std::string SaveScreenshot(const QPixmap& shot, const QString& path, const CTravikDoc* doc) {
    const std::string target = path.toLocal8Bit().toStdString();
    const std::string refusal = doc != nullptr ? doc->OutputRefusal(target) : TargetRefusal(target);
    if (!refusal.empty()) return refusal;
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    if (!shot.save(&png, "PNG")) return "cannot make the PNG of the window";
    if (!WriteFileAtomically(FileIo::System(), target,
                             std::string_view(png.data().constData(), size_t(png.data().size()))))
        return "cannot write " + target + ": " + std::strerror(errno);
    return {};
}

// True when the command line asks for --print, which draws no window.
bool PrintsOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") break;
        if (arg == "--print" || arg.rfind("--print=", 0) == 0) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // --print needs no display, whatever display the environment names.
    if (PrintsOnly(argc, argv)) qputenv("QT_QPA_PLATFORM", "offscreen");
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
    const QCommandLineOption print(
        "print", "Print the range --from..--to of FLASH to the PDF file -o, then exit.", "FLASH");
    const QCommandLineOption from("from", "First image offset to print (hex).", "OFF");
    const QCommandLineOption to("to", "Last image offset to print (hex).", "OFF");
    const QCommandLineOption columns("columns", "Columns per printed page (1 to 10).", "N");
    const QCommandLineOption output({"o", "output"}, "The PDF file --print writes.", "FILE.pdf");
    parser.addOptions({print, from, to, columns, output});
    parser.addPositionalArgument("flash", "The flash file to open (.fls).", "[FLASH.fls]");
    parser.process(qapp);
    if (parser.positionalArguments().size() > 1) {
        std::fprintf(stderr, "travik: one flash file at most\n");
        return 2;
    }
    const QString flash = parser.positionalArguments().value(0);
    if (parser.isSet(print)) {
        if (!flash.isEmpty()) {
            std::fprintf(stderr, "travik: --print takes the flash file as its value\n");
            return 2;
        }
        QtSettingsStore settings;
        return RunBatchPrint(
            {parser.value(print), parser.value(from), parser.value(to),
             parser.isSet(columns) ? std::optional(parser.value(columns)) : std::nullopt,
             parser.value(output)},
            settings);
    }
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
        const std::string error = SaveScreenshot(frame->grab(), shotPath, frame->ActiveDocument());
        if (!error.empty()) {
            std::fprintf(stderr, "travik: %s\n", error.c_str());
            status = 1;
        }
        frame->close();
        QApplication::quit();
    });
    qapp.exec();
    return status;
}
