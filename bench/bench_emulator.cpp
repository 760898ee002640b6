// Emulator speed: RunUntil on a loop of mixed THUMB code and on the demo firmware's
// main loop, a Step Into with its snapshot, and Unicorn (TI925T, big-endian THUMB) on
// the same loop, free-running and stepped one instruction at a time. The ratios are
// printed after the table.
//
//   build/release/bench/bench_emulator [--benchmark_filter=...]
//   TRAVIK_DEMO_FLS=path/demo.fls overrides where the demo firmware is looked for.
#include <benchmark/benchmark.h>
#include <unicorn/unicorn.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "BenchImage.h"
#include "emulator/CEmulator.h"

namespace {

constexpr uint32_t kFlash = 0x200000;
constexpr uint32_t kRam = 0x100000;
constexpr uint32_t kLoopEnd = kFlash + 0x16;
constexpr uint32_t kInstructionsPerIteration = 11;

// ALU, two stores, three loads, a backward branch.
const uint16_t kMixedLoop[] = {
    0x3001,  // 00 loop: ADD R0, #1
    0x4041,  // 02 EOR R1, R0
    0x00CA,  // 04 LSL R2, R1, #3
    0x6038,  // 06 STR R0, [R7, #0]
    0x80F9,  // 08 STRH R1, [R7, #6]
    0x683B,  // 0A LDR R3, [R7, #0]
    0x79FC,  // 0C LDRB R4, [R7, #7]
    0x9D01,  // 0E LDR R5, [SP, #4]
    0x18D2,  // 10 ADD R2, R2, R3
    0x3E01,  // 12 SUB R6, #1
    0xD1F4,  // 14 BNE loop
    0xE7FE,  // 16 B .
};

std::vector<uint8_t> LoopImage() {
    std::vector<uint8_t> image(4096, 0);
    size_t at = 0;
    for (uint16_t h : kMixedLoop) {
        image[at++] = static_cast<uint8_t>(h >> 8);
        image[at++] = static_cast<uint8_t>(h);
    }
    return image;
}

// The last measured rate of each benchmark, in instructions per second.
std::map<std::string, double>& Rates() {
    static std::map<std::string, double> rates;
    return rates;
}

void Record(benchmark::State& state, const char* name, uint64_t instructions, double seconds) {
    state.counters["instr/s"] =
        benchmark::Counter(static_cast<double>(instructions), benchmark::Counter::kIsRate);
    if (seconds > 0) Rates()[name] = static_cast<double>(instructions) / seconds;
}

// Instructions of one run of each workload, as Travik counted them.
std::map<std::string, uint64_t>& WorkloadLength() {
    static std::map<std::string, uint64_t> lengths;
    return lengths;
}

double Seconds(double since) {
    return CpuNow() - since;
}

void StartLoop(CEmulator& emulator, const std::vector<uint8_t>& image, std::vector<uint8_t>& ram,
               uint32_t iterations) {
    emulator.Start(kFlash, image.data(), static_cast<uint32_t>(image.size()), ram.data(),
                   CEmulator::kInitialStackPointer);
    emulator.r[6] = iterations;
    emulator.r[7] = kRam + 0x8000;
}

void BM_RunUntilMixedLoop(benchmark::State& state) {
    const auto image = LoopImage();
    std::vector<uint8_t> ram(CEmulator::kStackSize, 0);
    CEmulator emulator;
    const uint32_t iterations = static_cast<uint32_t>(state.range(0));
    uint64_t total = 0;
    const double begin = CpuNow();
    for (auto _ : state) {
        StartLoop(emulator, image, ram, iterations);
        const RunResult run = emulator.RunUntil(kLoopEnd, CEmulator::kUnbounded);
        if (!run.reached) state.SkipWithError("loop did not end");
        total += run.executed;
    }
    Record(state, "travik RunUntil mixed loop", total, Seconds(begin));
}
BENCHMARK(BM_RunUntilMixedLoop)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_StepIntoWithSnapshot(benchmark::State& state) {
    const auto image = LoopImage();
    std::vector<uint8_t> ram(CEmulator::kStackSize, 0);
    CEmulator emulator;
    StartLoop(emulator, image, ram, 0xFFFFFFFF);
    uint64_t total = 0;
    const double begin = CpuNow();
    for (auto _ : state) {
        emulator.SaveSnapshot();
        emulator.Step();
        ++total;
    }
    Record(state, "travik Step Into with snapshot", total, Seconds(begin));
}
BENCHMARK(BM_StepIntoWithSnapshot);

// --- Unicorn -------------------------------------------------------------------------

struct Unicorn {
    uc_engine* uc = nullptr;
    bool ok = false;
    Unicorn() {
        if (uc_open(UC_ARCH_ARM, static_cast<uc_mode>(UC_MODE_THUMB | UC_MODE_BIG_ENDIAN), &uc) !=
            UC_ERR_OK)
            return;
        ok = uc_ctl_set_cpu_model(uc, UC_CPU_ARM_TI925T) == UC_ERR_OK &&
             uc_mem_map(uc, kFlash, 0x100000, UC_PROT_ALL) == UC_ERR_OK &&
             uc_mem_map(uc, kRam, 0x10000, UC_PROT_ALL) == UC_ERR_OK;
    }
    ~Unicorn() {
        if (uc) uc_close(uc);
    }
    void StartLoop(const std::vector<uint8_t>& image, uint32_t iterations) {
        uc_mem_write(uc, kFlash, image.data(), image.size());
        uint32_t r6 = iterations, r7 = kRam + 0x8000, sp = CEmulator::kInitialStackPointer;
        uc_reg_write(uc, UC_ARM_REG_R6, &r6);
        uc_reg_write(uc, UC_ARM_REG_R7, &r7);
        uc_reg_write(uc, UC_ARM_REG_SP, &sp);
    }
};

void BM_UnicornFreeMixedLoop(benchmark::State& state) {
    Unicorn u;
    if (!u.ok) return state.SkipWithError("Unicorn could not be set up");
    const auto image = LoopImage();
    const uint32_t iterations = static_cast<uint32_t>(state.range(0));
    uint64_t total = 0;
    const double begin = CpuNow();
    for (auto _ : state) {
        u.StartLoop(image, iterations);
        if (uc_emu_start(u.uc, kFlash | 1, kLoopEnd, 0, 0) != UC_ERR_OK)
            state.SkipWithError("uc_emu_start failed");
        total += uint64_t{iterations} * kInstructionsPerIteration;
    }
    Record(state, "unicorn free mixed loop", total, Seconds(begin));
}
BENCHMARK(BM_UnicornFreeMixedLoop)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_UnicornSteppedMixedLoop(benchmark::State& state) {
    Unicorn u;
    if (!u.ok) return state.SkipWithError("Unicorn could not be set up");
    const auto image = LoopImage();
    const uint32_t iterations = static_cast<uint32_t>(state.range(0));
    uint64_t total = 0;
    const double begin = CpuNow();
    for (auto _ : state) {
        u.StartLoop(image, iterations);
        uint32_t pc = kFlash;
        while (pc != kLoopEnd) {
            if (uc_emu_start(u.uc, pc | 1, kLoopEnd, 0, 1) != UC_ERR_OK) {
                state.SkipWithError("uc_emu_start failed");
                break;
            }
            uc_reg_read(u.uc, UC_ARM_REG_PC, &pc);
            ++total;
        }
    }
    Record(state, "unicorn stepped mixed loop", total, Seconds(begin));
}
BENCHMARK(BM_UnicornSteppedMixedLoop)->Arg(5'000)->Unit(benchmark::kMillisecond);

// Unicorn free-running with a code hook on every instruction, the way a debugger
// built on it would watch each step.
void BM_UnicornHookedMixedLoop(benchmark::State& state) {
    Unicorn u;
    if (!u.ok) return state.SkipWithError("Unicorn could not be set up");
    const auto image = LoopImage();
    const uint32_t iterations = static_cast<uint32_t>(state.range(0));
    uint64_t total = 0;
    uc_hook hook{};
    auto onInstruction =
        +[](uc_engine*, uint64_t, uint32_t, void* counter) { ++*static_cast<uint64_t*>(counter); };
    uc_hook_add(u.uc, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(onInstruction), &total, 1, 0);
    const double begin = CpuNow();
    for (auto _ : state) {
        u.StartLoop(image, iterations);
        if (uc_emu_start(u.uc, kFlash | 1, kLoopEnd, 0, 0) != UC_ERR_OK)
            state.SkipWithError("uc_emu_start failed");
    }
    Record(state, "unicorn hooked mixed loop", total, Seconds(begin));
}
BENCHMARK(BM_UnicornHookedMixedLoop)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// --- the demo firmware -------------------------------------------------------------------

void BM_RunUntilDemoLoop(benchmark::State& state) {
    const std::vector<uint8_t> image = ReadBenchFile(DemoFirmwarePath());
    if (image.empty()) return state.SkipWithError("demo firmware not built");
    std::vector<uint8_t> ram(CEmulator::kStackSize, 0);
    CEmulator emulator;
    uint64_t warnings = 0;
    emulator.warningSink = [&](const std::string&) { ++warnings; };
    emulator.Start(kFlash, image.data(), static_cast<uint32_t>(image.size()), ram.data(),
                   CEmulator::kInitialStackPointer);
    const uint64_t slice = static_cast<uint64_t>(state.range(0));
    emulator.RunUntil(0xFFFFFFFF, 100'000);  // past the start-up code, into the main loop
    uint64_t total = 0;
    const double begin = CpuNow();
    for (auto _ : state) total += emulator.RunUntil(0xFFFFFFFF, slice).executed;
    Record(state, "travik RunUntil demo loop", total, Seconds(begin));
    state.counters["warnings"] = static_cast<double>(warnings - 2);
}
BENCHMARK(BM_RunUntilDemoLoop)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

// --- the compiled workloads (bench/workloads) ---------------------------------------------

constexpr uint32_t kWorkloadHalt = kFlash + 2;
constexpr const char* kWorkloadNames[] = {"list", "matrix", "fsm", "crc", "memops", "recurse"};
constexpr const char* kWorkloadLevels[] = {"O2", "Os"};

std::vector<uint8_t> WorkloadImage(const std::string& name) {
    return ReadBenchFile(std::string(TRAVIK_WORKLOAD_DIR) + "/" + name + ".fls");
}

// Travik: RunUntil the halt loop from a fresh stack RAM, as `travik-cli run --until` does.
void BM_RunUntilWorkload(benchmark::State& state, std::string name) {
    const auto image = WorkloadImage(name);
    if (image.empty()) return state.SkipWithError("workload image not built");
    std::vector<uint8_t> ram(CEmulator::kStackSize, 0);
    uint64_t total = 0;
    const double begin = CpuNow();
    for (auto _ : state) {
        std::fill(ram.begin(), ram.end(), 0);
        CEmulator emulator;
        emulator.Start(kFlash, image.data(), static_cast<uint32_t>(image.size()), ram.data(),
                       CEmulator::kInitialStackPointer);
        const RunResult run = emulator.RunUntil(kWorkloadHalt, CEmulator::kUnbounded);
        if (!run.reached) state.SkipWithError("workload did not end");
        total += run.executed;
    }
    Record(state, ("travik " + name).c_str(), total, Seconds(begin));
    WorkloadLength()[name] = total / std::max<uint64_t>(state.iterations(), 1);
}

// Unicorn free-running over the same image to the same halt loop; its instruction
// count is the one Travik executed.
void BM_UnicornWorkload(benchmark::State& state, std::string name) {
    const auto image = WorkloadImage(name);
    if (image.empty()) return state.SkipWithError("workload image not built");
    const auto length = WorkloadLength().find(name);
    if (length == WorkloadLength().end()) return state.SkipWithError("run the travik one first");
    const std::vector<uint8_t> zeros(CEmulator::kStackSize, 0);
    uint64_t total = 0;
    const double begin = CpuNow();
    for (auto _ : state) {
        Unicorn u;
        if (!u.ok) return state.SkipWithError("Unicorn could not be set up");
        uc_mem_write(u.uc, kFlash, image.data(), image.size());
        uint32_t zero = 0, sp = CEmulator::kInitialStackPointer;
        uc_reg_write(u.uc, UC_ARM_REG_R0, &zero);
        uc_reg_write(u.uc, UC_ARM_REG_SP, &sp);
        if (uc_emu_start(u.uc, kFlash | 1, kWorkloadHalt, 0, 0) != UC_ERR_OK)
            state.SkipWithError("uc_emu_start failed");
        total += length->second;
    }
    Record(state, ("unicorn " + name).c_str(), total, Seconds(begin));
}

void RegisterWorkloads() {
    for (const char* level : kWorkloadLevels) {
        for (const char* workload : kWorkloadNames) {
            const std::string name = std::string(workload) + "-" + level;
            benchmark::RegisterBenchmark(("BM_RunUntilWorkload/" + name).c_str(),
                                         BM_RunUntilWorkload, name)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("BM_UnicornWorkload/" + name).c_str(),
                                         BM_UnicornWorkload, name)
                ->Unit(benchmark::kMillisecond);
        }
    }
}

void PrintWorkloadTable() {
    auto& rates = Rates();
    double logSum = 0;
    int count = 0;
    for (const char* level : kWorkloadLevels) {
        for (const char* workload : kWorkloadNames) {
            const std::string name = std::string(workload) + "-" + level;
            const auto ours = rates.find("travik " + name);
            const auto theirs = rates.find("unicorn " + name);
            if (ours == rates.end() || theirs == rates.end() || theirs->second <= 0) continue;
            if (count == 0)
                std::printf("\n%-12s %10s %12s %12s %7s\n", "workload", "M instr", "travik M/s",
                            "unicorn M/s", "ratio");
            const double ratio = ours->second / theirs->second;
            std::printf("%-12s %10.1f %12.1f %12.1f %6.2fx\n", name.c_str(),
                        static_cast<double>(WorkloadLength()[name]) / 1e6, ours->second / 1e6,
                        theirs->second / 1e6, ratio);
            logSum += std::log(ratio);
            ++count;
        }
    }
    if (count > 0) std::printf("geometric mean of the ratios: %.2fx\n", std::exp(logSum / count));
}

void PrintRatios() {
    auto& rates = Rates();
    auto rate = [&](const char* name) {
        const auto it = rates.find(name);
        return it == rates.end() ? 0.0 : it->second;
    };
    std::printf("\n");
    for (const auto& [name, value] : rates)
        std::printf("%-34s %8.1f M instructions/s\n", name.c_str(), value / 1e6);
    const double ours = rate("travik RunUntil mixed loop");
    const double free = rate("unicorn free mixed loop");
    const double stepped = rate("unicorn stepped mixed loop");
    if (ours > 0 && free > 0) std::printf("RunUntil / Unicorn free:    %.2fx\n", ours / free);
    if (ours > 0 && stepped > 0) std::printf("RunUntil / Unicorn stepped: %.2fx\n", ours / stepped);
    const double hooked = rate("unicorn hooked mixed loop");
    if (ours > 0 && hooked > 0) std::printf("RunUntil / Unicorn hooked:  %.2fx\n", ours / hooked);
    const double step = rate("travik Step Into with snapshot");
    if (step > 0) std::printf("Step Into with snapshot:    %.1f ns\n", 1e9 / step);
}

}  // namespace

int main(int argc, char** argv) {
    RegisterWorkloads();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintRatios();
    PrintWorkloadTable();
    return 0;
}
