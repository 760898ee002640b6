// The real travik binary, run offscreen with its own home folder: the screenshot of the
// demo's listing, the PDF of --print, and the runs and targets they refuse.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QRegularExpression>
#include <cstdlib>
#include <filesystem>

#include "RunTravik.h"
#include "UiTestHelpers.h"
#include "listing/PrintLayout.h"
#include "listing/qt/ListingPrinter.h"

#ifdef TRAVIK_GUI
namespace {

bool Near(QColor c, int r, int g, int b) {
    return std::abs(c.red() - r) < 40 && std::abs(c.green() - g) < 40 && std::abs(c.blue() - b) < 40;
}

TEST(Program, ScreenshotOfTheDemoListingShowsCursorAndText) {
    TempDir home;
    const QString shot = QString::fromStdString(home.File("shot.png"));
    ASSERT_EQ(RunTravik(home, {TRAVIK_DEMO_FLS, "--screenshot", shot}), 0);
    const QImage image = QImage(shot).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(image.isNull());
    // The cursor row: a long run of the cursor colour (cyan, or green on a jump).
    int cursorY = -1;
    for (int y = 0; y < image.height() && cursorY < 0; ++y) {
        for (int x = 0, run = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            run = (Near(c, 0, 255, 255) || Near(c, 0, 255, 0)) ? run + 1 : 0;
            if (run >= 200) cursorY = y;
        }
    }
    ASSERT_GE(cursorY, 0);
    // Listing text below it: black pixels right of the arrow margin.
    int textPixels = 0;
    for (int y = cursorY + 20; y < cursorY + 60; ++y)
        for (int x = 110; x < 400; ++x) textPixels += image.pixelColor(x, y) == QColor(Qt::black);
    EXPECT_GT(textPixels, 100);
    // A flash file that cannot be opened ends the program with its message.
    QString err;
    const QString missing = QString::fromStdString(home.File("none.fls"));
    EXPECT_NE(RunTravik(home, {missing, "--screenshot", shot}, &err), 0);
    EXPECT_FALSE(err.isEmpty());
}

// The page objects of a PDF file.
int PdfPageCount(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QString text = QString::fromLatin1(file.readAll());
    if (!text.startsWith("%PDF-")) return -1;
    return static_cast<int>(text.count(QRegularExpression("/Type\\s*/Page(?![a-zA-Z])")));
}

// The pages of the layout in the batch printer's area: A4 less 10 mm all round.
int ModelPageCount(uint32_t from, uint32_t to, int columns) {
    RecordingFrame frame;
    auto doc = OpenImage(frame, TRAVIK_DEMO_FLS);
    doc->SetSelection(from, to);
    return CountPrintPages(*doc, columns, PrintRect{0, 0, 1900, -2770});
}

// --print writes the layout's pages; one column takes about twice the pages of two; an
// empty range prints the one page that says so, and no display is needed at all.
TEST(Program, PrintWritesThePagesOfTheLayoutWithoutADisplay) {
    TempDir home;
    int pages[3] = {};
    for (int columns : {1, 2}) {
        const std::string pdf = home.File(std::to_string(columns) + ".pdf");
        QString err;
        ASSERT_EQ(RunTravik(home, {"--print", TRAVIK_DEMO_FLS, "--from", "0", "--to", "1fff",
                                   "--columns", QString::number(columns), "-o",
                                   QString::fromStdString(pdf)}, &err), 0) << err.toStdString();
        pages[columns] = ModelPageCount(0, 0x1FFF, columns);
        EXPECT_EQ(PdfPageCount(pdf), pages[columns]);
    }
    EXPECT_GT(pages[2], 2);
    EXPECT_GE(pages[1], 2 * pages[2] - 1);
    const std::string pdf = home.File("empty.pdf");
    const std::string line = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb HOME=" +
                             home.Path() + " " + TRAVIK_GUI + " --print " + TRAVIK_DEMO_FLS +
                             " --from 40 --to 40 -o " + pdf + " 2>/dev/null";
    const int raw = std::system(line.c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << raw;
    EXPECT_EQ(PdfPageCount(pdf), 1);
}

TEST(Program, BadPrintArgumentsAndFailedWritesEndWithAnErrorAndNoFile) {
    TempDir home;
    const std::string flash = home.File("img.fls");
    WriteFile(flash, std::vector<uint8_t>(0x400, 0));
    const QString fls = QString::fromStdString(flash);
    const QString out = QString::fromStdString(home.File("out.pdf"));
    const QString missing = QString::fromStdString(home.File("missing.fls"));
    const QString noDir = QString::fromStdString(home.File("no/such/dir/x.pdf"));
    const struct { QStringList args; int status; } cases[] = {
        {{"--from", "0", "--to", "40"}, 2},
        {{"--to", "40", "-o", out}, 2},
        {{"--from", "zz", "--to", "40", "-o", out}, 2},
        {{"--from", "80", "--to", "40", "-o", out}, 2},
        {{"--from", "400", "--to", "800", "-o", out}, 2},
        {{"--from", "0", "--to", "40", "--columns", "11", "-o", out}, 2},
        {{"--from", "0", "--to", "40", "--columns", "0", "-o", out}, 2},
        {{"--from", "0", "--to", "40", "-o", noDir}, 1},
    };
    for (const auto& c : cases) {
        QString err;
        EXPECT_EQ(RunTravik(home, QStringList{"--print", fls} + c.args, &err), c.status)
            << c.args.join(' ').toStdString();
        EXPECT_FALSE(err.isEmpty()) << c.args.join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(out)) << c.args.join(' ').toStdString();
    }
    EXPECT_EQ(RunTravik(home, {"--print", missing, "--from", "0", "--to", "40", "-o", out}), 1);
    EXPECT_FALSE(QFile::exists(out));
}

// The window's writers of files (the screenshot, the PDF of --print and of the print
// dialog) refuse what the batch tool's writers refuse, with the same messages.
TEST(Program, ScreenshotAndPdfRefuseEveryForbiddenTarget) {
    TempDir dir;
    TempDir home;
    const ForbiddenTargets places(dir);
    const QString flash = QString::fromStdString(places.Flash());
    for (const ForbiddenTargets::Target& target : places.All()) {
        const QString path = QString::fromStdString(target.path);
        for (const QStringList& args :
             {QStringList{flash, "--screenshot", path},
              QStringList{"--print", flash, "--from", "0", "--to", "10", "-o", path}}) {
            SCOPED_TRACE(args.join(' ').toStdString());
            QString err;
            EXPECT_EQ(RunTravik(home, args, &err), 1);
            EXPECT_TRUE(err.contains(QString::fromStdString(target.refusal))) << err.toStdString();
            EXPECT_EQ(places.Changed(), "");
        }
    }
    RecordingFrame frame;
    auto doc = OpenImage(frame, places.Flash());
    ASSERT_NE(doc, nullptr);
    doc->SetSelection(doc->SelectionStart(), 0x10);
    ListingPrinter printer;
    printer.Printer().setOutputFormat(QPrinter::PdfFormat);
    printer.Printer().setOutputFileName(flash);
    QString seen;
    AnswerNextBox(QMessageBox::Ok, &seen);
    EXPECT_FALSE(printer.PrintAccepted(*doc, 1, nullptr));
    EXPECT_EQ(seen.toStdString(), places.All()[0].refusal);
    EXPECT_EQ(places.Changed(), "");
    const std::string pdf = home.File("dialog.pdf");
    printer.Printer().setOutputFileName(QString::fromStdString(pdf));
    EXPECT_TRUE(printer.PrintAccepted(*doc, 1, nullptr));
    EXPECT_EQ(PdfPageCount(pdf), 1);
}

}  // namespace
#endif
