#pragma once

#include <QPageLayout>
#include <QString>
#include <memory>

#include "listing/PrintLayout.h"

class CTravikDoc;
class QPagedPaintDevice;
class QPrinter;
class QWidget;

// Hands the printed listing's pages to the printer, the print preview or a PDF file.
// Every output paints the same page DrawLists, so the preview shows what prints.
class ListingPrinter {
  public:
    ListingPrinter();
    ~ListingPrinter();

    // File > Setup: the page set-up of the printer that Preview and Print use.
    void Setup(QWidget* parent);
    // File > Preview: the pages of the document's selection in the preview window.
    void Preview(const CTravikDoc& doc, int columns, QWidget* parent);
    // File > Print: the print dialog, then the pages it asks for. False when the user
    // cancelled or the printer could not be drawn on (the user has been told).
    bool Print(const CTravikDoc& doc, int columns, QWidget* parent);
    // What Print does once its dialog is accepted, with the printer as the dialog left it.
    bool PrintAccepted(const CTravikDoc& doc, int columns, QWidget* parent);

    QPrinter& Printer();

    // Paints the job's pages on a device whose painting has not begun: pages
    // `fromPage` to `toPage` (from 1; 0 for no limit). The number of pages drawn, or -1
    // when the device could not be painted on.
    static int Render(QPagedPaintDevice& device, const CTravikDoc& doc, int columns,
                      int fromPage = 0, int toPage = 0);
    // The device's printable area in tenths of a millimetre, y upward.
    static PrintRect AreaOf(const QPagedPaintDevice& device);

  private:
    std::unique_ptr<QPrinter> printer_;
};

// How a PDF file's pages are laid out, and which of them it gets (from 1; 0: no limit).
struct PdfJob {
    QPageLayout layout;
    int resolution = 1200;
    int fromPage = 0;
    int toPage = 0;
};

// The pages of the document's selection as a PDF file, written whole or not at all, and
// never where the document's OutputRefusal forbids. The number of pages, or -1 with
// `error` saying why.
int WritePdf(const CTravikDoc& doc, int columns, const QString& path, const PdfJob& job,
             QString& error);
// The same on A4 with 10 mm margins, all pages (travik --print).
int PrintToPdf(const CTravikDoc& doc, int columns, const QString& path, QString& error);
