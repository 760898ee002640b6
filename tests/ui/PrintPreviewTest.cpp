// File > Preview: the preview window shows the pages of the selection.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>

#include "document/CTravikDoc.h"
#include "listing/PrintLayout.h"
#include "listing/qt/ListingPrinter.h"
#include "UiTestHelpers.h"

namespace {

TEST(PrintPreview, ShowsEveryPageOfTheSelection) {
    RecordingFrame frame;
    auto doc = OpenImage(frame, TRAVIK_DEMO_FLS);
    doc->SetSelection(0, 0xFFF);
    ListingPrinter printer;
    printer.Printer().setOutputFormat(QPrinter::PdfFormat);  // no print system needed
    int shown = -1;
    ExpectDialog([&](QDialog& opened) {
        auto* dialog = qobject_cast<QPrintPreviewDialog*>(&opened);
        ASSERT_NE(dialog, nullptr);
        auto* preview = dialog->findChild<QPrintPreviewWidget*>();
        ASSERT_NE(preview, nullptr);
        shown = preview->pageCount();
        dialog->reject();
    });
    printer.Preview(*doc, 2, nullptr);
    EXPECT_EQ(shown, CountPrintPages(*doc, 2, ListingPrinter::AreaOf(printer.Printer())));
    EXPECT_GT(shown, 1);
}

}  // namespace
