// Steps and their journal: an edit with its journal append on a 16 MiB document, the
// replay of a 100,000-step journal at open, the undo of a merge of 20,000 annotations,
// and what 100,000 steps of history take in memory.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "BenchImage.h"
#include "document/CTravikDoc.h"
#include "document/Journal.h"
#include "document/Merge.h"
#include "shell/NullFrame.h"

namespace {

constexpr size_t kImageBytes = size_t{16} << 20;

class YesFrame : public NullFrame {
  public:
    bool AskYesNo(const std::string&) override { return true; }
};

void Note(CTravikDoc& doc, uint32_t k) {
    const uint32_t offset = (k * 2654435761u % doc.HalfwordCount()) * 2;
    doc.Apply(TextEdit(doc, DocEdit::TextKind::kNote, offset, "note " + std::to_string(k), true),
              StepLabel(doc, "Note", offset), offset);
}

void BM_EditWithJournalAppend(benchmark::State& state) {
    NullFrame frame;
    const std::string path = WriteBenchImage(MakeThumbImage(kImageBytes, 1), "edit.fls");
    CTravikDoc doc(frame);
    if (!doc.OnOpenDocument(path)) std::abort();
    uint32_t k = 0;
    for (auto _ : state) Note(doc, k++);
}
BENCHMARK(BM_EditWithJournalAppend)->Unit(benchmark::kMicrosecond);

// 100,000 steps kept in the journal of a 1 MiB image, then an open that replays them;
// the history they make, in bytes.
void BM_OpenReplaying100000Steps(benchmark::State& state) {
    YesFrame frame;
    const std::string path = WriteBenchImage(MakeThumbImage(size_t{1} << 20, 2), "replay.fls");
    // The journal of 100,000 note steps, as the window writes it.
    std::string journal;
    std::string text;
    {
        CTravikDoc doc(frame);
        doc.SetKeepJournal(false);
        if (!doc.OnOpenDocument(path)) std::abort();
        journal = doc.JournalPath();
        text = journal::Header(doc.Image(), doc.ImageSize());
        for (uint32_t k = 0; k < 100000; ++k) {
            const uint32_t offset = (k * 2654435761u % doc.HalfwordCount()) * 2;
            const EditStep step{StepLabel(doc, "Note", offset), offset, 1700000000,
                                {TextEdit(doc, DocEdit::TextKind::kNote, offset, "note " + std::to_string(k), true)}};
            text += journal::Record(step);
        }
    }
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    size_t history = 0;
    for (auto _ : state) {
        state.PauseTiming();
        FILE* f = std::fopen(journal.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        CTravikDoc doc(frame);
        state.ResumeTiming();
        if (!doc.OnOpenDocument(path) || doc.History().Steps() != 100000) state.SkipWithError("no replay");
        history = doc.History().Bytes();
        state.PauseTiming();
        doc.SetModifiedFlag(false);
        state.ResumeTiming();
    }
    // Of the replay, the part that reads and checks the records.
    {
        CTravikDoc doc(frame);
        doc.SetKeepJournal(false);
        if (!doc.OnOpenDocument(path)) std::abort();
        const double start = CpuNow();
        const journal::Contents read = journal::Read(text, journal::Header(doc.Image(), doc.ImageSize()));
        state.counters["read ms"] = (CpuNow() - start) * 1e3;
        if (read.steps.size() != 100000) state.SkipWithError("journal not read whole");
    }
    state.counters["journal MiB"] = static_cast<double>(bytes.size()) / (1 << 20);
    state.counters["history MiB"] = static_cast<double>(history) / (1 << 20);
}
BENCHMARK(BM_OpenReplaying100000Steps)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same open with no journal, to tell the replay from the open.
void BM_OpenWithoutJournal(benchmark::State& state) {
    NullFrame frame;
    const std::string path = WriteBenchImage(MakeThumbImage(size_t{1} << 20, 2), "plain.fls");
    for (auto _ : state) {
        CTravikDoc doc(frame);
        if (!doc.OnOpenDocument(path)) std::abort();
    }
}
BENCHMARK(BM_OpenWithoutJournal)->Unit(benchmark::kMillisecond);

// A merge of 5,000 annotations of each kind into a 16 MiB document, undone and redone.
void BM_UndoMerge20000(benchmark::State& state) {
    NullFrame frame;
    const std::string path = WriteBenchImage(MakeThumbImage(kImageBytes, 1), "merge.fls");
    CTravikDoc doc(frame);
    if (!doc.OnOpenDocument(path)) std::abort();
    const std::string other = InfoFileWithTexts(doc.ImageSize(), 5000);
    if (MergeInfoBytes(doc, other, "other.ifo") != MergeOutcome::kMerged) std::abort();
    for (auto _ : state) {
        if (!doc.Undo()) state.SkipWithError("nothing to undo");
        state.PauseTiming();
        if (!doc.Redo()) state.SkipWithError("nothing to redo");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_UndoMerge20000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
