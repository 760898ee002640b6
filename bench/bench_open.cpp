// Opening a 16 MiB image of THUMB code: a bare read of the file next to the whole
// open (reading plus every analysis pass), with and without an info file, and the
// memory the open holds at its peak and afterwards. Then the cost of a large
// breakpoint side file on a 2 MiB image: the window's open with and without it, and
// the batch tool's open, which skips it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "BenchImage.h"
#include "document/CTravikDoc.h"
#include "document/DebugMarksFile.h"
#include "document/InfoFile.h"
#include "document/PageBuffer.h"
#include "shell/NullFrame.h"
#include "shell/SettingsStore.h"

namespace {

constexpr size_t kImageBytes = size_t{16} << 20;

using QuietFrame = NullFrame;

const std::string& ImagePath() {
    static const std::string path = WriteBenchImage(MakeThumbImage(kImageBytes, 1), "bench.fls");
    return path;
}

const std::string& ImageWithInfoPath() {
    static const std::string path = [] {
        std::string p = WriteBenchImage(MakeThumbImage(kImageBytes, 1), "info.fls");
        QuietFrame frame;
        CTravikDoc doc(frame);
        if (!doc.OnOpenDocument(p) || !doc.OnSaveDocument(p)) std::abort();
        return p;
    }();
    return path;
}

// Resident and peak resident memory of this process, in bytes.
long StatusField(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) == 0) return std::atol(line.c_str() + prefix.size()) * 1024;
    }
    return 0;
}

void ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

void ReadInto(uint8_t* buffer) {
    const int fd = ::open(ImagePath().c_str(), O_RDONLY);
    size_t done = 0;
    while (done < kImageBytes) {
        const ssize_t n = ::read(fd, buffer + done, kImageBytes - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    benchmark::DoNotOptimize(buffer);
}

// The file read into memory that was touched before (the allocator hands back the
// same pages each time).
void BM_BareReadWarm(benchmark::State& state) {
    ImagePath();
    for (auto _ : state) {
        std::unique_ptr<uint8_t[]> buffer(new uint8_t[kImageBytes]);
        ReadInto(buffer.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kImageBytes));
}
BENCHMARK(BM_BareReadWarm)->Unit(benchmark::kMillisecond);

// The file read into fresh pages, as the open does.
void BM_BareReadFresh(benchmark::State& state) {
    ImagePath();
    for (auto _ : state) {
        PageBuffer<uint8_t> buffer;
        buffer.Allocate(kImageBytes);
        ReadInto(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kImageBytes));
}
BENCHMARK(BM_BareReadFresh)->Unit(benchmark::kMillisecond);

void Open(benchmark::State& state, const std::string& path) {
    QuietFrame frame;
    double peak = 0;
    double held = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ResetPeak();
        const long before = StatusField("VmRSS");
        state.ResumeTiming();
        auto doc = std::make_unique<CTravikDoc>(frame);
        if (!doc->OnOpenDocument(path)) state.SkipWithError("open failed");
        state.PauseTiming();
        peak = static_cast<double>(StatusField("VmHWM") - before) / kImageBytes;
        held = static_cast<double>(StatusField("VmRSS") - before) / kImageBytes;
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["peak_bytes_per_image_byte"] = peak;
    state.counters["held_bytes_per_image_byte"] = held;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kImageBytes));
}

void BM_OpenDefaults(benchmark::State& state) {
    Open(state, ImagePath());
}
BENCHMARK(BM_OpenDefaults)->Unit(benchmark::kMillisecond);

void BM_OpenWithInfoFile(benchmark::State& state) {
    Open(state, ImageWithInfoPath());
}
BENCHMARK(BM_OpenWithInfoFile)->Unit(benchmark::kMillisecond);

void BM_SaveInfoFile(benchmark::State& state) {
    QuietFrame frame;
    CTravikDoc doc(frame);
    if (!doc.OnOpenDocument(ImageWithInfoPath())) state.SkipWithError("open failed");
    for (auto _ : state) {
        if (!doc.OnSaveDocument(ImageWithInfoPath())) state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveInfoFile)->Unit(benchmark::kMillisecond);

constexpr size_t kMarksImageBytes = size_t{2} << 20;
// A breakpoint on every halfword of the emulator's flash window: 4.7 MB of side file.
constexpr uint32_t kMarkCount = CEmulator::kFlashWindow / 2;

const std::string& MarksImagePath(bool withMarks) {
    static const std::string plain =
        WriteBenchImage(MakeThumbImage(kMarksImageBytes, 2), "plain.fls");
    static const std::string marked = [] {
        const std::string p = WriteBenchImage(MakeThumbImage(kMarksImageBytes, 2), "marks.fls");
        std::string text = "# Travik breakpoints and watchpoints\n";
        char line[16];
        for (uint32_t i = 0; i < kMarkCount; ++i) {
            std::snprintf(line, sizeof line, "%.8X\n", CEmulator::kFlashBase + 2 * i);
            text += line;
        }
        std::ofstream(DebugMarksPathFor(p), std::ios::binary) << text;
        return p;
    }();
    return withMarks ? marked : plain;
}

enum class MarksCase { kNone, kRead, kSkipped };

void BM_OpenDebugMarks(benchmark::State& state, MarksCase which) {
    QuietFrame frame;
    const std::string& path = MarksImagePath(which != MarksCase::kNone);
    const size_t expected = which == MarksCase::kRead ? kMarkCount : 0;
    for (auto _ : state) {
        auto doc = std::make_unique<CTravikDoc>(frame);
        doc->SetLoadDebugMarks(which != MarksCase::kSkipped);
        if (!doc->OnOpenDocument(path)) state.SkipWithError("open failed");
        state.PauseTiming();
        if (doc->Emulator().Breakpoints().size() != expected)
            state.SkipWithError("wrong breakpoint count");
        doc.reset();
        state.ResumeTiming();
    }
}
BENCHMARK_CAPTURE(BM_OpenDebugMarks, none, MarksCase::kNone)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenDebugMarks, every_halfword, MarksCase::kRead)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenDebugMarks, skipped, MarksCase::kSkipped)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
