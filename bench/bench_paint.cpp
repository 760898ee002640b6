// One paint of a full-height listing page, as holding an arrow key repaints it: the
// paint model alone, and the model plus rendering into a 1920 x 1080 image, on a
// 16 MiB image of THUMB code with the branch arrows and the bitmap shown.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <memory>
#include <string>

#include "BenchImage.h"
#include "document/CTravikDoc.h"
#include "listing/ListingPage.h"
#include "shell/NullFrame.h"
#include "widgets/QtCanvas.h"

namespace {

constexpr size_t kImageBytes = size_t{16} << 20;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int32_t kFirstTop = 0x800000;

struct Opened {
    NullFrame frame;
    std::unique_ptr<CTravikDoc> doc;
};

CTravikDoc& Document() {
    static Opened* opened = [] {
        auto* o = new Opened;
        const std::string path = WriteBenchImage(MakeThumbImage(kImageBytes, 1), "paint.fls");
        o->doc = std::make_unique<CTravikDoc>(o->frame);
        if (!o->doc->OnOpenDocument(path)) std::abort();
        DisplayOptions options = o->doc->Options();
        options.viewJumps = 1;
        options.bitmapWidth = 84;  // the widest a drag gives
        o->doc->SetOptions(options);
        return o;
    }();
    return *opened->doc;
}

// Moves the top one line down per paint, as the Down key does once the cursor
// stands at its anchor row.
void ScrollOneLine(const CTravikDoc& doc, ListingViewState& state) {
    int s = state.topSubLine;
    state.topOffset = static_cast<int32_t>(doc.NextLine(state.topOffset, s));
    state.topSubLine = s;
    if (state.topOffset > kFirstTop + 0x100000) state.topOffset = kFirstTop;
}

void BM_PaintModel(benchmark::State& st) {
    CTravikDoc& doc = Document();
    ListingViewState state;
    state.topOffset = kFirstTop;
    state.cursorRow = 20;
    ListingPaint paint;
    size_t arrows = 0;
    for (auto _ : st) {
        PaintListing(doc, state, kWidth, kHeight, true, paint);
        arrows += paint.draw.lines.size();
        ScrollOneLine(doc, state);
    }
    st.counters["lines/paint"] = static_cast<double>(arrows) / static_cast<double>(st.iterations());
}
BENCHMARK(BM_PaintModel)->Unit(benchmark::kMicrosecond);

void BM_PaintAndRender(benchmark::State& st) {
    CTravikDoc& doc = Document();
    ListingViewState state;
    state.topOffset = kFirstTop;
    state.cursorRow = 20;
    ListingPaint paint;
    QtCanvas canvas;
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : st) {
        PaintListing(doc, state, kWidth, kHeight, true, paint);
        QPainter painter(&image);
        canvas.Render(painter, paint.draw);
        painter.end();
        ScrollOneLine(doc, state);
    }
    st.counters["rows"] = static_cast<double>(paint.rows.size());
}
BENCHMARK(BM_PaintAndRender)->Unit(benchmark::kMicrosecond);

}  // namespace
