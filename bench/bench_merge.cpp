// Merging an info file with 20,000 annotations (5,000 of each kind, none asked about)
// into a 16 MiB document.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchImage.h"
#include "document/CTravikDoc.h"
#include "document/Merge.h"
#include "shell/NullFrame.h"

namespace {

constexpr size_t kImageBytes = size_t{16} << 20;
constexpr uint32_t kPerKind = 5000;

void BM_Merge20000(benchmark::State& state) {
    NullFrame frame;
    const std::string path = WriteBenchImage(MakeThumbImage(kImageBytes, 1), "merge.fls");
    CTravikDoc doc(frame);
    if (!doc.OnOpenDocument(path)) std::abort();
    const uint32_t count = doc.HalfwordCount();
    const std::string other = InfoFileWithTexts(doc.ImageSize(), kPerKind);
    for (auto _ : state) {
        state.PauseTiming();
        // No texts and no user marks before each merge.
        DocEdit reset;
        for (int kind = 0; kind < 4; ++kind) {
            DocEdit::Texts none{static_cast<DocEdit::TextKind>(kind), {}};
            doc.Texts(none.kind).ForEach(
                [&](uint32_t i, const std::string&) { none.entries.emplace_back(i, ""); });
            reset.parts.emplace_back(std::move(none));
        }
        std::vector<uint8_t> flags(doc.Flags(), doc.Flags() + count);
        for (uint8_t& f : flags) f &= static_cast<uint8_t>(~flagbits::kUserMark);
        doc.Apply(reset.SetFlags(0, std::move(flags)));
        state.ResumeTiming();
        if (MergeInfoBytes(doc, other, "other.ifo") != MergeOutcome::kMerged)
            state.SkipWithError("merge failed");
    }
    state.counters["annotations"] =
        static_cast<double>(doc.Notes().Size() + doc.Headers().Size() + doc.Footers().Size() +
                            doc.Explanations().Size());
}
BENCHMARK(BM_Merge20000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
