// Find More Routines on a 16 MiB image of THUMB code: the analysis with the edit it
// makes, then the same applied as an undoable step (the undo is not timed).
#include <benchmark/benchmark.h>

#include <string>

#include "BenchImage.h"
#include "document/CTravikDoc.h"
#include "document/MoreAnalysis.h"
#include "shell/NullFrame.h"

namespace {

constexpr size_t kImageBytes = size_t{16} << 20;

// Opened once, with the open's own analysis done; nothing when the open failed.
CTravikDoc* Document() {
    static NullFrame frame;
    static CTravikDoc* doc = [] {
        auto* d = new CTravikDoc(frame);
        d->SetKeepJournal(false);
        if (!d->OnOpenDocument(WriteBenchImage(MakeThumbImage(kImageBytes, 1), "more.fls")))
            return static_cast<CTravikDoc*>(nullptr);
        return d;
    }();
    return doc;
}

void BM_FindMoreRoutinesEdit(benchmark::State& state) {
    CTravikDoc* doc = Document();
    if (doc == nullptr) return state.SkipWithError("open failed");
    MoreReport report;
    for (auto _ : state) benchmark::DoNotOptimize(MoreRoutinesEdit(*doc, report));
    state.counters["routines"] = static_cast<double>(report.Routines());
    state.counters["data_items"] = static_cast<double>(report.dataItems);
}
BENCHMARK(BM_FindMoreRoutinesEdit)->Unit(benchmark::kMillisecond);

void BM_FindMoreRoutinesStep(benchmark::State& state) {
    CTravikDoc* doc = Document();
    if (doc == nullptr) return state.SkipWithError("open failed");
    for (auto _ : state) {
        FindMoreRoutines(*doc);
        state.PauseTiming();
        doc->Undo();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FindMoreRoutinesStep)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
