// The GDB stub's `continue` against the session's Run: the demo firmware's main loop for
// a fixed count of instructions, in the session's slices both ways, broken off at the
// count by Break (the window's) or by the 0x03 a client sends (the stub's). The ratio is
// printed after the table; the stub must keep at least 90% of Run's rate.
//
//   build/release/bench/bench_gdb
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "BenchImage.h"
#include "document/CTravikDoc.h"
#include "gdb/GdbStub.h"
#include "shell/NullFrame.h"

namespace {

constexpr uint64_t kCount = 100'000'000;
double gRates[2] = {};

// Makes the posted slices until the run has executed kCount instructions, then ends it.
struct CountingScheduler final : RunScheduler {
    void Post(std::function<void()> call) override { next = std::move(call); }
    void Cancel() override { next = nullptr; }
    void RunFor(const DebugSession& session, const std::function<void()>& end) {
        while (next) {
            if (session.LongRunActive() && session.Emulator().LongRunExecuted() >= kCount) {
                end();
                continue;
            }
            auto call = std::move(next);
            next = nullptr;
            call();
        }
    }
    std::function<void()> next;
};

struct Demo {
    NullFrame frame;
    std::unique_ptr<CTravikDoc> doc = std::make_unique<CTravikDoc>(frame);
    CountingScheduler scheduler;
    Demo() {
        const std::string path = WriteBenchImage(ReadBenchFile(DemoFirmwarePath()), "gdb.fls");
        if (!doc->OnOpenDocument(path)) std::abort();
        doc->Session().SetScheduler(&scheduler);
    }
    ~Demo() { doc->Session().SetScheduler(nullptr); }
};

using Clock = std::chrono::steady_clock;

void Report(benchmark::State& state, int which, uint64_t executed, Clock::time_point start) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double rate = seconds > 0 ? static_cast<double>(executed) / seconds : 0;
    state.counters["instr/s"] = benchmark::Counter(rate);
    gRates[which] = rate;
}

void BM_SessionRun(benchmark::State& state) {
    Demo demo;
    DebugSession& session = demo.doc->Session();
    struct Window final : DebugSessionObserver {
    } window;
    session.Subscribe(window);
    session.Execute(RunCommand::kStart, 0, &window);
    uint64_t executed = 0;
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        session.Execute(RunCommand::kRun, 0, &window);
        demo.scheduler.RunFor(session, [&] { session.Execute(RunCommand::kBreak, 0, &window); });
        executed += session.Emulator().LongRunExecuted();
    }
    session.Unsubscribe(window);
    Report(state, 0, executed, start);
}

void BM_StubContinue(benchmark::State& state) {
    Demo demo;
    DebugSession& session = demo.doc->Session();
    GdbStub stub(*demo.doc, 0, [](std::string_view) {});
    stub.Receive("+$QStartNoAckMode#b0");
    uint64_t executed = 0;
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        stub.Receive("$c#63");
        demo.scheduler.RunFor(session, [&] { stub.Receive("\x03"); });
        executed += session.Emulator().LongRunExecuted();
    }
    Report(state, 1, executed, start);
}

}  // namespace

BENCHMARK(BM_SessionRun)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_StubContinue)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (gRates[0] > 0)
        std::printf("\nRun %.1f M instr/s, stub continue %.1f M instr/s: %.1f%%\n", gRates[0] / 1e6,
                    gRates[1] / 1e6, 100 * gRates[1] / gRates[0]);
    return 0;
}
