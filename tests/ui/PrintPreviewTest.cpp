// File > Preview: the preview window shows the pages of the selection.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTimer>

#include "document/CTravikDoc.h"
#include "listing/PrintLayout.h"
#include "listing/qt/ListingPrinter.h"
#include "support/TestSupport.h"

namespace {

TEST(PrintPreview, ShowsEveryPageOfTheSelection) {
    RecordingFrame frame;
    auto doc = OpenImage(frame, TRAVIK_DEMO_FLS);
    doc->SetSelection(0, 0xFFF);
    ListingPrinter printer;
    printer.Printer().setOutputFormat(QPrinter::PdfFormat);  // no print system needed
    int shown = -1;
    QTimer::singleShot(300, [&] {
        auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* preview = dialog->findChild<QPrintPreviewWidget*>();
        ASSERT_NE(preview, nullptr);
        shown = preview->pageCount();
        if (const QByteArray path = qgetenv("TRAVIK_PREVIEW_SHOT"); !path.isEmpty())
            dialog->grab().save(QString::fromLocal8Bit(path));
        dialog->reject();
    });
    printer.Preview(*doc, 2, nullptr);
    EXPECT_EQ(shown, CountPrintPages(*doc, 2, ListingPrinter::AreaOf(printer.Printer())));
    EXPECT_GT(shown, 1);
}

}  // namespace
