// travik --print: the selection's pages as a PDF file, written without a display, and
// the runs it refuses.
#include <gtest/gtest.h>

#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <cstdlib>
#include <filesystem>

#include "document/CTravikDoc.h"
#include "listing/PrintLayout.h"
#include "RunTravik.h"
#include "UiTestHelpers.h"
#include "listing/qt/ListingPrinter.h"
#include "support/TestSupport.h"

#ifdef TRAVIK_GUI
namespace {

// The area the batch printer draws in: A4 less 10 mm all round, in tenths of a mm.
constexpr PrintRect kBatchArea{0, 0, 1900, -2770};

// The page objects of a PDF file.
int PdfPageCount(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QString text = QString::fromLatin1(file.readAll());
    if (!text.startsWith("%PDF-")) return -1;
    return static_cast<int>(text.count(QRegularExpression("/Type\\s*/Page(?![a-zA-Z])")));
}

int ModelPageCount(const std::string& flash, uint32_t from, uint32_t to, int columns) {
    RecordingFrame frame;
    auto doc = OpenImage(frame, flash);
    doc->SetSelection(from, to);
    return CountPrintPages(*doc, columns, kBatchArea);
}

TEST(PrintToPdf, TwoColumnsOfTheDemoGiveThePagesOfTheLayout) {
    TempDir home;
    const std::string pdf = home.File("two.pdf");
    QString err;
    ASSERT_EQ(RunTravik(home,
                        {"--print", TRAVIK_DEMO_FLS, "--from", "0", "--to", "1fff", "--columns",
                         "2", "-o", QString::fromStdString(pdf)},
                        &err),
              0)
        << err.toStdString();
    const int twoColumns = ModelPageCount(TRAVIK_DEMO_FLS, 0, 0x1FFF, 2);
    ASSERT_GT(twoColumns, 2);
    EXPECT_EQ(PdfPageCount(pdf), twoColumns);

    // One column takes about twice the pages.
    const std::string one = home.File("one.pdf");
    ASSERT_EQ(RunTravik(home, {"--print", TRAVIK_DEMO_FLS, "--from", "0", "--to", "1fff",
                               "--columns", "1", "-o", QString::fromStdString(one)}),
              0);
    const int oneColumn = ModelPageCount(TRAVIK_DEMO_FLS, 0, 0x1FFF, 1);
    EXPECT_EQ(PdfPageCount(one), oneColumn);
    EXPECT_GE(oneColumn, 2 * twoColumns - 1);

    // An empty range prints the one page that says so.
    const std::string empty = home.File("empty.pdf");
    ASSERT_EQ(RunTravik(home, {"--print", TRAVIK_DEMO_FLS, "--from", "40", "--to", "40", "-o",
                               QString::fromStdString(empty)}),
              0);
    EXPECT_EQ(PdfPageCount(empty), 1);
}

TEST(PrintToPdf, BadArgumentsAndFailedWritesEndWithAnErrorAndNoFile) {
    TempDir home;
    const std::string flash = home.File("img.fls");
    WriteFile(flash, std::vector<uint8_t>(0x400, 0));
    std::filesystem::create_symlink(flash, home.File("link.pdf"));
    const QString fls = QString::fromStdString(flash);
    const QString out = QString::fromStdString(home.File("out.pdf"));
    const struct {
        QStringList args;
        int status;
    } cases[] = {
        {{"--print", fls, "--from", "0", "--to", "40"}, 2},
        {{"--print", fls, "--to", "40", "-o", out}, 2},
        {{"--print", fls, "--from", "zz", "--to", "40", "-o", out}, 2},
        {{"--print", fls, "--from", "80", "--to", "40", "-o", out}, 2},
        {{"--print", fls, "--from", "400", "--to", "800", "-o", out}, 2},
        {{"--print", fls, "--from", "0", "--to", "40", "--columns", "11", "-o", out}, 2},
        {{"--print", fls, "--from", "0", "--to", "40", "--columns", "0", "-o", out}, 2},
        {{"--print", QString::fromStdString(home.File("missing.fls")), "--from", "0", "--to", "40",
          "-o", out},
         1},
        {{"--print", fls, "--from", "0", "--to", "40", "-o",
          QString::fromStdString(home.File("no/such/dir/x.pdf"))},
         1},
        {{"--print", fls, "--from", "0", "--to", "40", "-o", fls}, 1},
        {{"--print", fls, "--from", "0", "--to", "40", "-o",
          QString::fromStdString(home.File("link.pdf"))},
         1},
    };
    for (const auto& c : cases) {
        QString err;
        EXPECT_EQ(RunTravik(home, c.args, &err), c.status) << c.args.join(' ').toStdString();
        EXPECT_FALSE(err.isEmpty()) << c.args.join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(out)) << c.args.join(' ').toStdString();
    }
    // The flash file, reached by name or through a link, is never written.
    EXPECT_EQ(ReadFileBytes(flash), std::vector<uint8_t>(0x400, 0));
}

// Printing draws no window: it works where no display is, whatever the environment names.
TEST(PrintToPdf, NeedsNoDisplay) {
    TempDir home;
    const std::string pdf = home.File("nodisplay.pdf");
    const std::string line = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb HOME=" +
                             home.Path() + " " + TRAVIK_GUI + " --print " + TRAVIK_DEMO_FLS +
                             " --from 0 --to 100 -o " + pdf + " 2>/dev/null";
    const int raw = std::system(line.c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << raw;
    EXPECT_EQ(PdfPageCount(pdf), 1);
}

// The window's writers of files (the screenshot, the PDF of --print and of the print
// dialog) refuse what the batch tool's writers refuse, with the same messages.
TEST(WindowOutputs, ScreenshotAndPdfRefuseEveryForbiddenTarget) {
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
