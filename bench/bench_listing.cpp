// Composing listing lines over a 16 MiB image of THUMB code: every line with
// GetLineText at the default options, next to capstone decoding and formatting the
// same image in the same run, and the whole export written to a file (also in GNU
// syntax, of a random image).
//
// `bench_listing --write-image PATH` only writes the image (for timing travik-cli
// export against objdump on the same bytes) and exits.
#include <benchmark/benchmark.h>
#include <capstone/capstone.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "BenchImage.h"
#include "document/CTravikDoc.h"
#include "listing/Export.h"
#include "listing/LineText.h"
#include "shell/NullFrame.h"
#include "shell/SettingsStore.h"

namespace {

constexpr size_t kImageBytes = size_t{16} << 20;
constexpr uint32_t kSeed = 1;

using QuietFrame = NullFrame;

struct Opened {
    QuietFrame frame;
    std::unique_ptr<CTravikDoc> doc;
    std::string path;
};

Opened& Document() {
    static Opened* opened = [] {
        auto* o = new Opened;
        o->path = WriteBenchImage(MakeThumbImage(kImageBytes, kSeed), "listing.fls");
        o->doc = std::make_unique<CTravikDoc>(o->frame);
        if (!o->doc->OnOpenDocument(o->path)) std::abort();
        return o;
    }();
    return *opened;
}

// The same image with no headers: what the name lookups of calls and literals cost.
Opened& DocumentWithoutHeaders() {
    static Opened* opened = [] {
        auto* o = new Opened;
        o->path = Document().path;
        o->doc = std::make_unique<CTravikDoc>(o->frame);
        if (!o->doc->OnOpenDocument(o->path)) std::abort();
        DocEdit::Texts none{DocEdit::TextKind::kHeader, {}};
        o->doc->Headers().ForEach(
            [&](uint32_t i, const std::string&) { none.entries.emplace_back(i, ""); });
        o->doc->Apply(DocEdit{.parts = {std::move(none)}});
        return o;
    }();
    return *opened;
}

void BM_GetLineText(benchmark::State& state) {
    const CTravikDoc& doc = state.range(0) ? *Document().doc : *DocumentWithoutHeaders().doc;
    LineBuffer line;
    int64_t lines = 0;
    size_t characters = 0;
    for (auto _ : state) {
        int64_t o = 0;
        int s = doc.FirstSubLine(0);
        for (;;) {
            GetLineText(doc, o, s, line);
            characters += line.Size();
            ++lines;
            if (s == 2) break;
            o = doc.NextLine(o, s);
        }
        benchmark::DoNotOptimize(characters);
    }
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
    state.counters["lines"] = static_cast<double>(lines / static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_GetLineText)
    ->ArgName("headers")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

// A 1 MiB image of literal loads of one RAM address near the RAM's end, where a single
// name owns the whole RAM (an info file's count of 0xFFFFFFFF does that): each line
// asks for the name that owns the byte.
void BM_LinesOfRamReferencesUnderOneLongName(benchmark::State& state) {
    static Opened* opened = [] {
        std::vector<uint8_t> image;
        while (image.size() < (size_t{1} << 20)) {
            for (uint8_t b : {0x48, 0x00, 0x46, 0xC0, 0x00, 0x10, 0xFF, 0xF0}) image.push_back(b);
        }
        auto* o = new Opened;
        o->path = WriteBenchImage(image, "ramrefs.fls");
        o->doc = std::make_unique<CTravikDoc>(o->frame);
        if (!o->doc->OnOpenDocument(o->path)) std::abort();
        o->doc->Apply(RamNameEdit(*o->doc, 0, o->doc->RamSize() - 1, "everything"));
        return o;
    }();
    const CTravikDoc& doc = *opened->doc;
    LineBuffer line;
    int64_t lines = 0;
    for (auto _ : state) {
        int64_t o = 0;
        int s = doc.FirstSubLine(0);
        for (;;) {
            GetLineText(doc, o, s, line);
            ++lines;
            if (s == 2) break;
            o = doc.NextLine(o, s);
        }
        benchmark::DoNotOptimize(line.Size());
    }
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LinesOfRamReferencesUnderOneLongName)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// capstone over the same bytes: decode and format (mnemonic and operand texts) every
// instruction, stepping two bytes past anything it cannot decode.
void BM_CapstoneDecodeAndFormat(benchmark::State& state) {
    const CTravikDoc& doc = *Document().doc;
    csh handle;
    if (cs_open(CS_ARCH_ARM, static_cast<cs_mode>(CS_MODE_THUMB | CS_MODE_BIG_ENDIAN), &handle) !=
        CS_ERR_OK) {
        state.SkipWithError("capstone");
        return;
    }
    cs_insn* insn = cs_malloc(handle);
    int64_t lines = 0;
    for (auto _ : state) {
        const uint8_t* code = doc.Image();
        size_t size = doc.ImageSize();
        uint64_t address = 0;
        while (size >= 2) {
            if (cs_disasm_iter(handle, &code, &size, &address, insn)) {
                benchmark::DoNotOptimize(insn->op_str[0]);
            } else {
                code += 2;
                size -= 2;
                address += 2;
            }
            ++lines;
        }
    }
    cs_free(insn, 1);
    cs_close(&handle);
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CapstoneDecodeAndFormat)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The whole listing written as the export writes it, to a file.
void BM_ExportWholeImage(benchmark::State& state) {
    const CTravikDoc& doc = *Document().doc;
    const std::string out = Document().path + ".asm";
    for (auto _ : state) {
        if (ExportRange(doc, 0, doc.ImageSize() - 1, out) != ExportResult::kOk) {
            state.SkipWithError("export");
            return;
        }
    }
    std::remove(out.c_str());
    int64_t lines = 0;
    int64_t o = 0;
    int s = doc.FirstSubLine(0);
    for (;;) {
        ++lines;
        if (s == 2) break;
        o = doc.NextLine(o, s);
    }
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(lines * static_cast<int64_t>(state.iterations())),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExportWholeImage)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// A 16 MiB image of random bytes exported in GNU syntax: the source the GNU assembler
// turns back into the image.
void BM_ExportRandomImageGnu(benchmark::State& state) {
    static Opened* opened = [] {
        auto* o = new Opened;
        std::vector<uint8_t> bytes(kImageBytes);
        uint32_t x = 2463534242u;  // xorshift: the same image every run
        for (uint8_t& b : bytes) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            b = static_cast<uint8_t>(x);
        }
        o->path = WriteBenchImage(bytes, "random.fls");
        o->doc = std::make_unique<CTravikDoc>(o->frame);
        if (!o->doc->OnOpenDocument(o->path)) std::abort();
        DisplayOptions options = o->doc->Options();
        options.gnuSyntax = 1;
        o->doc->SetOptions(options);
        return o;
    }();
    const CTravikDoc& doc = *opened->doc;
    const std::string out = opened->path + ".s";
    for (auto _ : state) {
        if (ExportRange(doc, 0, doc.ImageSize() - 1, out) != ExportResult::kOk) {
            state.SkipWithError("export");
            return;
        }
    }
    std::remove(out.c_str());
    state.counters["MiB/s"] = benchmark::Counter(
        static_cast<double>(kImageBytes) / (1 << 20) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExportRandomImageGnu)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-image") == 0) {
        const std::vector<uint8_t> image = MakeThumbImage(kImageBytes, kSeed);
        std::ofstream file(argv[2], std::ios::binary);
        file.write(reinterpret_cast<const char*>(image.data()),
                   static_cast<std::streamsize>(image.size()));
        return file ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
