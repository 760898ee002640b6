// Find More Routines on a 16 MiB image of THUMB code: the analysis with the edit it
// makes, then the same applied as an undoable step, without and with the journal (the
// undo is not timed).
#include <benchmark/benchmark.h>

#include <string>

#include "BenchImage.h"
#include "document/CTravikDoc.h"
#include "document/MoreAnalysis.h"
#include "shell/NullFrame.h"

namespace {

constexpr size_t kImageBytes = size_t{16} << 20;

// Opened once, with the open's own analysis done; nothing when the open failed. The
// window keeps a journal of the steps; the batch tool does not.
CTravikDoc* Document(bool journal = false) {
    static NullFrame frame;
    auto open = [](bool keep) {
        auto* d = new CTravikDoc(frame);
        d->SetKeepJournal(keep);
        if (!d->OnOpenDocument(WriteBenchImage(MakeThumbImage(kImageBytes, 1), "more.fls")))
            return static_cast<CTravikDoc*>(nullptr);
        return d;
    };
    static CTravikDoc* plain = open(false);
    if (!journal) return plain;
    static CTravikDoc* kept = open(true);
    return kept;
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

// Arg 1: with the journal, which the step is appended to; saving between the runs (not
// timed) keeps it short.
void BM_FindMoreRoutinesStep(benchmark::State& state) {
    CTravikDoc* doc = Document(state.range(0) != 0);
    if (doc == nullptr) return state.SkipWithError("open failed");
    for (auto _ : state) {
        FindMoreRoutines(*doc);
        state.PauseTiming();
        doc->Undo();
        if (state.range(0) != 0) doc->OnSaveDocument(doc->GetPathName());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FindMoreRoutinesStep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
