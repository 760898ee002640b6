#include "listing/qt/ListingPrinter.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <cerrno>
#include <cstring>

#include "document/CTravikDoc.h"
#include "document/FileIo.h"
#include "widgets/QtCanvas.h"

namespace {
constexpr double kUnitsPerMm = 10.0;
constexpr double kUnitsPerInch = 254.0;
// The bitmap's squares go to the page as one pixel per square, stretched without
// smoothing: a page of them is then a few kilobytes instead of megabytes.
void RenderCells(QPainter& painter, const DrawCells& c) {
    if (c.cols <= 0 || c.rows <= 0) return;
    QImage image(c.cols, c.rows, QImage::Format_ARGB32);
    for (int row = 0; row < c.rows; ++row) {
        auto* out = reinterpret_cast<uint32_t*>(image.scanLine(row));
        for (int col = 0; col < c.cols; ++col) {
            const uint32_t color = c.At(col, row);
            out[col] = color == DrawCells::kNoCell ? 0u : 0xFF000000u | color;
        }
    }
    painter.drawImage(QRectF(c.x, c.y, c.cols * c.cellW, c.rows * c.cellH), image);
}

// Renders the page in its order, the squares apart from the rest.
void RenderPage(QPainter& painter, QtCanvas& canvas, const DrawList& page) {
    DrawList run;
    for (const DrawItem& item : page.order) {
        switch (item.kind) {
            case DrawItem::Kind::kText:
                run.Text(page.texts[item.index]);
                break;
            case DrawItem::Kind::kLine:
                run.Line(page.lines[item.index]);
                break;
            case DrawItem::Kind::kRect:
                run.Rect(page.rects[item.index]);
                break;
            case DrawItem::Kind::kPixel:
                run.Pixel(page.pixels[item.index]);
                break;
            case DrawItem::Kind::kImage:
                run.Image(page.images[item.index]);
                break;
            case DrawItem::Kind::kCells:
                canvas.Render(painter, run);
                run.Clear();
                RenderCells(painter, page.cells[item.index]);
                break;
        }
    }
    canvas.Render(painter, run);
}
}  // namespace

// The printer is looked up when first needed: asking the print system for it can take
// a while, and most sessions never print.
ListingPrinter::ListingPrinter() = default;

ListingPrinter::~ListingPrinter() = default;

QPrinter& ListingPrinter::Printer() {
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

void ListingPrinter::Setup(QWidget* parent) {
    QPageSetupDialog dialog(&Printer(), parent);
    dialog.exec();
}

void ListingPrinter::Preview(const CTravikDoc& doc, int columns, QWidget* parent) {
    QPrintPreviewDialog dialog(&Printer(), parent);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested,
                     [&doc, columns](QPrinter* printer) { Render(*printer, doc, columns); });
    dialog.exec();
}

bool ListingPrinter::Print(const CTravikDoc& doc, int columns, QWidget* parent) {
    QPrintDialog dialog(&Printer(), parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    return PrintAccepted(doc, columns, parent);
}

bool ListingPrinter::PrintAccepted(const CTravikDoc& doc, int columns, QWidget* parent) {
    QPrinter& printer = Printer();
    const bool range = printer.printRange() == QPrinter::PageRange;
    const int fromPage = range ? printer.fromPage() : 0;
    const int toPage = range ? printer.toPage() : 0;
    // A PDF file is written as the program writes every file: never onto the flash file
    // or the document's own files, whole or not at all.
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        QString error;
        const PdfJob job{printer.pageLayout(), printer.resolution(), fromPage, toPage};
        if (WritePdf(doc, columns, printer.outputFileName(), job, error) < 0) {
            QMessageBox::warning(parent, "Travik", error);
            return false;
        }
        return true;
    }
    if (Render(printer, doc, columns, fromPage, toPage) < 0) {
        QMessageBox::warning(parent, "Travik", "Cannot print: the printer could not be opened.");
        return false;
    }
    return true;
}

PrintRect ListingPrinter::AreaOf(const QPagedPaintDevice& device) {
    const QRectF area = device.pageLayout().paintRect(QPageLayout::Millimeter);
    PrintRect rect;
    rect.right = static_cast<int>(area.width() * kUnitsPerMm);
    rect.bottom = -static_cast<int>(area.height() * kUnitsPerMm);
    return rect;
}

int ListingPrinter::Render(QPagedPaintDevice& device, const CTravikDoc& doc, int columns,
                           int fromPage, int toPage) {
    QPainter painter;
    if (!painter.begin(&device)) return -1;
    // The painter's origin is the printable area's top-left corner; one unit is a
    // tenth of a millimetre. y stays downward here: the pages are turned over as
    // primitives, since a mirrored painter would mirror the glyphs too.
    const double sx = device.logicalDpiX() / kUnitsPerInch;
    const double sy = device.logicalDpiY() / kUnitsPerInch;
    QtCanvas canvas;
    int drawn = 0;
    // Texts are cut to their columns as this canvas draws them.
    const PrintTextWidth width = [&canvas](FontId font, std::string_view text) {
        return canvas.TextWidth(font, text);
    };
    auto sink = [&](int page, const DrawList& draw) {
        if (toPage > 0 && page > toPage) return false;
        if (fromPage > 0 && page < fromPage) return true;
        if (drawn > 0 && !device.newPage()) return false;
        painter.save();
        painter.scale(sx, sy);
        RenderPage(painter, canvas, ToTopDown(draw));
        painter.restore();
        ++drawn;
        return true;
    };
    PrintPages(doc, columns, AreaOf(device), sink, width);
    return painter.end() ? drawn : -1;
}

int WritePdf(const CTravikDoc& doc, int columns, const QString& path, const PdfJob& job,
             QString& error) {
    const std::string target = path.toLocal8Bit().toStdString();
    const std::string refusal = doc.OutputRefusal(target);
    if (!refusal.empty()) {
        error = QString::fromLocal8Bit(refusal.c_str());
        return -1;
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    int pages = 0;
    {
        QPdfWriter writer(&buffer);
        writer.setCreator("Travik");
        writer.setTitle(QFileInfo(QString::fromLocal8Bit(doc.GetPathName().c_str())).fileName());
        writer.setResolution(job.resolution);
        writer.setPageLayout(job.layout);
        pages = ListingPrinter::Render(writer, doc, columns, job.fromPage, job.toPage);
    }
    if (pages < 0) {
        error = "Cannot draw the pages of " + path;
        return -1;
    }
    const QByteArray& bytes = buffer.data();
    if (!WriteFileAtomically(FileIo::System(), target,
                             std::string_view(bytes.constData(), size_t(bytes.size())))) {
        error = QString("Cannot write file %1: %2")
                    .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return -1;
    }
    return pages;
}

int PrintToPdf(const CTravikDoc& doc, int columns, const QString& path, QString& error) {
    const PdfJob job{QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                 QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter),
                     1200, 0, 0};
    return WritePdf(doc, columns, path, job, error);
}
