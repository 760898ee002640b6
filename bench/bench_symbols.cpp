// The ELF export of a 16 MiB image with 20,000 named routines, and the import of 20,000
// symbols (as nm output and as that ELF file), each undone between runs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchImage.h"
#include "document/CTravikDoc.h"
#include "shell/NullFrame.h"
#include "symbols/ElfExport.h"
#include "symbols/SymbolImport.h"

namespace {

constexpr size_t kImageBytes = size_t{16} << 20;
constexpr uint32_t kRoutines = 20000;

// nm output naming 20,000 routines spread over the image and 100 RAM variables.
std::string NmText() {
    std::string text;
    char line[64];
    const uint32_t step = (kImageBytes / kRoutines) & ~1u;
    for (uint32_t k = 0; k < kRoutines; ++k) {
        std::snprintf(line, sizeof line, "%08x T routine_%u\n", 0x200000 + k * step, k);
        text += line;
    }
    for (uint32_t k = 0; k < 100; ++k) {
        std::snprintf(line, sizeof line, "%08x %08x B variable_%u\n", 0x100000 + k * 16, 8, k);
        text += line;
    }
    return text;
}

struct Fixture {
    NullFrame frame;
    CTravikDoc doc{frame};
    Fixture() {
        if (!doc.OnOpenDocument(WriteBenchImage(MakeThumbImage(kImageBytes, 1), "symbols.fls")))
            std::abort();
        // Only the routines the benchmarks name.
        std::vector<uint8_t> flags(doc.Flags(), doc.Flags() + doc.HalfwordCount());
        for (uint8_t& f : flags) f &= static_cast<uint8_t>(~flagbits::kRoutineStart);
        doc.Apply(DocEdit{}.SetFlags(0, std::move(flags)));
    }
};

void Import(benchmark::State& state, CTravikDoc& doc, const std::string& bytes) {
    ImportReport report;
    for (auto _ : state) {
        const SymbolFile file = ReadSymbolFile(bytes);
        if (!file.error.empty() || !ImportSymbols(doc, file.symbols, report).empty())
            state.SkipWithError("import failed");
        state.PauseTiming();
        if (report.changed) doc.Undo();
        state.ResumeTiming();
    }
    state.counters["symbols"] = static_cast<double>(report.routines + report.ramNames);
}

void BM_ImportNm20000(benchmark::State& state) {
    Fixture f;
    Import(state, f.doc, NmText());
}
BENCHMARK(BM_ImportNm20000)->Unit(benchmark::kMillisecond);

void BM_ImportElf20000(benchmark::State& state) {
    Fixture f;
    ImportReport report;
    const SymbolFile file = ReadSymbolFile(NmText());
    if (!ImportSymbols(f.doc, file.symbols, report).empty()) std::abort();
    const std::string elf = MakeElf(f.doc);
    f.doc.Undo();
    Import(state, f.doc, elf);
}
BENCHMARK(BM_ImportElf20000)->Unit(benchmark::kMillisecond);

void BM_ExportElf20000(benchmark::State& state) {
    Fixture f;
    ImportReport report;
    const SymbolFile file = ReadSymbolFile(NmText());
    if (!ImportSymbols(f.doc, file.symbols, report).empty()) std::abort();
    const std::string path = WriteBenchImage({}, "out.elf");
    for (auto _ : state)
        if (ExportElf(f.doc, path) != ElfExportResult::kOk) state.SkipWithError("export failed");
    size_t routines = 0;
    for (uint32_t i = 0; i < f.doc.HalfwordCount(); ++i)
        routines += (f.doc.Flags()[i] & flagbits::kRoutineStart) != 0;
    state.counters["routines"] = static_cast<double>(routines);
}
BENCHMARK(BM_ExportElf20000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
