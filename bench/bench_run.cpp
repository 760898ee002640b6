// Run (F9) against `travik-cli run --until`: the rate of a free run in the window's
// slices, with no breakpoints, and with 100 breakpoints and 10 watchpoints set where
// the code never stops at them, beside the rate of one RunUntil over the same code.
// Two more run freely with a recorder on: the I/O access map as while its bar is shown
// (the peripherals, and 16 named RAM bytes where the demo keeps its variables), and
// the display byte writers as while the Phone bar is shown.
// Code: the demo firmware's main loop and compiled C workloads. The ratios are
// printed after the table.
//
//   build/release/bench/bench_run [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>
#include <string>
#include <vector>

#include "BenchImage.h"
#include "emulator/CEmulator.h"
#include "session/IoAccessMap.h"
#include "session/PixelWriters.h"

namespace {

constexpr uint32_t kFlash = CEmulator::kFlashBase;
constexpr uint64_t kSlice = 2'000'000;  // the window's slice of a long run
constexpr uint32_t kNever = 1;          // an address no run reaches

enum Mode { kUntil, kFree, kFreeWithMarks, kFreeIoMap, kFreePixels };
constexpr const char* kModeNames[] = {"run --until", "Run", "Run, 100 breakpoints + 10 watchpoints",
                                      "Run, I/O map", "Run, pixel writers"};
constexpr uint32_t kNamedRam = 0x100100;  // the demo's variables

std::map<std::string, double>& Rates() {
    static std::map<std::string, double> rates;
    return rates;
}

// What one benchmark runs: an image, and how many instructions after the warm-up
// (the demo's start-up code); a workload's length ends just before its halt loop.
struct Code {
    std::vector<uint8_t> image;
    uint64_t warmUp = 0;
    uint64_t length = 0;
};

// The window's Run: slice after slice until the run stops or has run the code's length.
RunStop FreeRun(CEmulator& emulator, const Code& code) {
    bool over = emulator.BeginFreeRun(std::min(kSlice, code.length));
    while (!over && emulator.LongRunExecuted() < code.length)
        over = emulator.ContinueLongRun(std::min(kSlice, code.length - emulator.LongRunExecuted()));
    if (!over) emulator.InterruptLongRun();
    return over ? emulator.LongRunStop() : RunStop::kNone;
}

void StartCode(CEmulator& emulator, const Code& code, std::vector<uint8_t>& ram) {
    std::fill(ram.begin(), ram.end(), 0);
    emulator.warningSink = [](const std::string&) {};
    emulator.Start(kFlash, code.image.data(), static_cast<uint32_t>(code.image.size()), ram.data(),
                   CEmulator::kInitialStackPointer);
    if (code.warmUp) emulator.RunUntil(kNever, code.warmUp);
}

struct Marks {
    std::vector<uint32_t> breakpoints;
    std::vector<uint32_t> watchedWords;
};

// 100 breakpoints on halfwords the code never executes (spread over the image) and
// 10 watched words it never touches (trial runs drop the ones they stop at).
Marks FindMarks(const Code& code) {
    Marks marks;
    std::vector<uint8_t> ram(CEmulator::kStackSize, 0);
    std::vector<bool> executed(code.image.size() / 2);
    {
        CEmulator steps;
        StartCode(steps, code, ram);
        for (uint64_t i = 0; i < code.length; ++i) {
            const uint32_t half = (steps.r[15] - 4 - kFlash) / 2;
            if (half < executed.size()) executed[half] = true;
            steps.Step();
        }
    }
    std::vector<uint32_t> free;
    for (uint32_t half = 0; half < executed.size(); ++half)
        if (!executed[half]) free.push_back(kFlash + 2 * half);
    for (size_t i = 0; i < 100 && !free.empty(); ++i)
        marks.breakpoints.push_back(free[i * free.size() / 100]);
    for (uint32_t i = 0; i < 10; ++i) marks.watchedWords.push_back(0x10F000 + 64 * i);
    for (;;) {
        CEmulator trial;
        StartCode(trial, code, ram);
        for (uint32_t address : marks.watchedWords) trial.SetWatch(address, 4, 3, true);
        const RunStop stop = FreeRun(trial, code);
        if (stop != RunStop::kReadWatch && stop != RunStop::kWriteWatch) return marks;
        std::erase(marks.watchedWords, trial.LastWatchHit().address & ~3u);
        marks.watchedWords.push_back(marks.watchedWords.back() - 0x400);
    }
}

uint64_t RunOnce(const Code& code, Mode mode, const Marks& marks, std::vector<uint8_t>& ram,
                 uint64_t& executed) {
    CEmulator emulator;
    IoAccessMap ioMap;
    PixelWriters pixels(emulator);
    StartCode(emulator, code, ram);
    if (mode == kFreeIoMap) {
        ioMap.SetRamRanges({{kNamedRam, kNamedRam + 16}});
        emulator.ObservePeripherals(ioMap, true);
        emulator.ObservePages(ioMap, kNamedRam, 16, true);
    }
    if (mode == kFreePixels)
        emulator.ObservePages(pixels, PixelWriters::kFirst, PixelWriters::kBytes, true);
    if (mode == kFreeWithMarks) {
        for (uint32_t address : marks.breakpoints) emulator.SetBreakpoint(address, true);
        for (uint32_t address : marks.watchedWords) emulator.SetWatch(address, 4, 3, true);
    }
    const double begin = CpuNow();
    if (mode == kUntil) {
        executed += emulator.RunUntil(kNever, code.length).executed;
    } else {
        FreeRun(emulator, code);
        executed += emulator.LongRunExecuted();
    }
    return static_cast<uint64_t>((CpuNow() - begin) * 1e9);
}

void BM_Run(benchmark::State& state, Code code, std::string name, Mode mode) {
    if (code.image.empty()) return state.SkipWithError("image not built");
    std::vector<uint8_t> ram(CEmulator::kStackSize, 0);
    const Marks marks = mode == kFreeWithMarks ? FindMarks(code) : Marks{};
    state.counters["breakpoints"] = static_cast<double>(marks.breakpoints.size());
    state.counters["watchpoints"] = static_cast<double>(marks.watchedWords.size());
    uint64_t executed = 0;
    uint64_t nanoseconds = 0;
    for (auto _ : state) nanoseconds += RunOnce(code, mode, marks, ram, executed);
    const double seconds = static_cast<double>(nanoseconds) * 1e-9;
    state.counters["instr/s"] = benchmark::Counter(static_cast<double>(executed) / seconds);
    if (seconds > 0) Rates()[name + "|" + kModeNames[mode]] = static_cast<double>(executed) / seconds;
}

std::vector<std::string>& CodeNames() {
    static std::vector<std::string> names;
    return names;
}

void Register() {
    std::vector<std::pair<std::string, Code>> codes;
    codes.emplace_back("demo main loop", Code{ReadBenchFile(DemoFirmwarePath()), 100'000, 50'000'000});
    for (const char* name : {"fsm-O2", "list-O2", "memops-O2", "crc-Os"}) {
        Code workload{ReadBenchFile(std::string(TRAVIK_WORKLOAD_DIR) + "/" + name + ".fls"), 0, 0};
        if (!workload.image.empty()) {
            std::vector<uint8_t> ram(CEmulator::kStackSize, 0);
            CEmulator emulator;
            StartCode(emulator, workload, ram);
            workload.length = emulator.RunUntil(kFlash + 2, CEmulator::kUnbounded).executed - 1;
        }
        codes.emplace_back(name, workload);
    }
    for (const auto& [name, code] : codes) {
        CodeNames().push_back(name);
        for (Mode mode : {kUntil, kFree, kFreeWithMarks, kFreeIoMap, kFreePixels})
            benchmark::RegisterBenchmark(("BM_Run/" + name + "/" + kModeNames[mode]).c_str(), BM_Run,
                                         code, name, mode)
                ->Unit(benchmark::kMillisecond);
    }
}

void PrintTable() {
    std::printf("\n%-16s %10s %8s %6s %10s %6s %10s %7s %10s %7s\n", "code", "until M/s",
                "Run M/s", "ratio", "+marks M/s", "ratio", "+I/O map", "vs Run", "+pixels", "vs Run");
    for (const std::string& name : CodeNames()) {
        const double until = Rates()[name + "|" + kModeNames[kUntil]];
        const double free = Rates()[name + "|" + kModeNames[kFree]];
        const double marks = Rates()[name + "|" + kModeNames[kFreeWithMarks]];
        const double ioMap = Rates()[name + "|" + kModeNames[kFreeIoMap]];
        const double pixels = Rates()[name + "|" + kModeNames[kFreePixels]];
        if (until <= 0 || free <= 0) continue;
        std::printf("%-16s %10.1f %8.1f %5.2fx %10.1f %5.2fx %10.1f %6.2fx %10.1f %6.2fx\n",
                    name.c_str(), until / 1e6, free / 1e6, free / until, marks / 1e6, marks / until,
                    ioMap / 1e6, ioMap / free, pixels / 1e6, pixels / free);
    }
}

}  // namespace

int main(int argc, char** argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintTable();
    return 0;
}
