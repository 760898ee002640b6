// Printing a 2,000-line selection: the page model alone, and the whole job to a PDF
// file (layout, rendering, writing), with the file's size and page count as counters.
// Arg 0: bitmap off; arg 20: the bitmap 20 bytes wide beside every column.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>
#include <string>

#include "BenchImage.h"
#include "document/CTravikDoc.h"
#include "listing/PrintLayout.h"
#include "listing/qt/ListingPrinter.h"
#include "shell/NullFrame.h"

namespace {

constexpr int kLines = 2000;
constexpr PrintRect kA4{0, 0, 1900, -2770};  // A4 less 10 mm margins

struct Document {
    NullFrame frame;
    std::unique_ptr<CTravikDoc> doc;
};

// A synthetic firmware with a selection of exactly kLines listing lines from offset 0.
Document& Doc(int bitmapWidth) {
    static Document d = [] {
        Document made;
        made.doc = std::make_unique<CTravikDoc>(made.frame);
        const std::string path = WriteBenchImage(MakeThumbImage(size_t{256} << 10, 7), "print.fls");
        if (!made.doc->OnOpenDocument(path)) std::abort();
        int64_t o = 0;
        int s = made.doc->FirstSubLine(0);
        int64_t last = 0;
        for (int line = 0; line < kLines; ++line) {
            last = o;
            o = made.doc->NextLine(o, s);
        }
        made.doc->SetSelection(0, static_cast<uint32_t>(last));
        return made;
    }();
    DisplayOptions options = d.doc->Options();
    options.bitmapWidth = bitmapWidth > 0 ? bitmapWidth : -7;
    d.doc->SetOptions(options);
    return d;
}

void BM_PrintLayout(benchmark::State& state) {
    CTravikDoc& doc = *Doc(static_cast<int>(state.range(0))).doc;
    int pages = 0;
    for (auto _ : state) {
        size_t primitives = 0;
        pages = PrintPages(doc, 2, kA4, [&](int, const DrawList& page) {
            primitives += page.order.size();
            return true;
        });
        benchmark::DoNotOptimize(primitives);
    }
    state.counters["pages"] = pages;
}
BENCHMARK(BM_PrintLayout)->Arg(0)->Arg(20)->Unit(benchmark::kMillisecond);

void BM_PrintToPdf(benchmark::State& state) {
    CTravikDoc& doc = *Doc(static_cast<int>(state.range(0))).doc;
    QTemporaryDir dir;
    const QString path = dir.filePath("print.pdf");
    int pages = 0;
    for (auto _ : state) {
        QString error;
        pages = PrintToPdf(doc, 2, path, error);
        if (pages < 0) std::abort();
    }
    state.counters["pages"] = pages;
    state.counters["bytes"] = static_cast<double>(QFileInfo(path).size());
}
BENCHMARK(BM_PrintToPdf)->Arg(0)->Arg(20)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
