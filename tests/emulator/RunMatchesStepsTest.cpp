// A run (decoded blocks) must leave everything exactly as the same number of single
// steps: registers, flags, the fetched instruction, memory, I/O registers, the low
// window, the call track, the last stack accesses and every warning line. Runs are
// cut into slices of awkward sizes so that they end inside blocks.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "emulator/EmulatorHarness.h"

namespace {

struct Machine {
    std::vector<uint8_t> ram = std::vector<uint8_t>(CEmulator::kStackSize, 0);
    std::vector<std::string> warnings;
    CEmulator emu;

    Machine(const std::vector<uint8_t>& flash, uint32_t start, uint32_t seed) {
        emu.warningSink = [this](const std::string& line) { warnings.push_back(line); };
        emu.Start(CEmulator::kFlashBase + start, flash.data(), static_cast<uint32_t>(flash.size()),
                  ram.data(), CEmulator::kInitialStackPointer);
        // Low registers mostly point into the stack RAM, so memory operations hit it.
        std::mt19937 random(seed);
        for (int i = 0; i < 8; ++i)
            emu.r[i] = i < 6 ? 0x108000 + (random() & 0x3FFC) : random();
    }
};

void ExpectSameState(Machine& run, Machine& steps, const std::string& where) {
    auto state = [](const CEmulator& e) {
        return std::tuple(std::vector<uint32_t>(e.r, e.r + 16), e.cpsr, e.thumbInstruction,
                          e.armInstruction, e.followMarks.read, e.followMarks.write, e.ioWritten,
                          std::vector<uint8_t>(std::begin(e.lowWindow), std::end(e.lowWindow)));
    };
    auto lists = [](const CEmulator& e) {
        std::vector<uint32_t> v;
        for (int i = 0; i < e.ioRegisterCount; ++i)
            v.insert(v.end(), {e.ioRegisters[i].value, e.ioRegisters[i].wasRead,
                               e.ioRegisters[i].wasWritten});
        for (const CallRecord& c : e.callTracks[1]) v.insert(v.end(), {c.callSite, c.target});
        return v;
    };
    ASSERT_EQ(state(run.emu), state(steps.emu)) << where;
    ASSERT_EQ(lists(run.emu), lists(steps.emu)) << where;
    ASSERT_EQ(run.ram, steps.ram) << where;
    ASSERT_EQ(run.warnings, steps.warnings) << where;
}

// Runs `total` instructions both ways, the run in slices of awkward sizes. With
// `marks`, breakpoints and watchpoints are set and half of the slices are free runs,
// so runs also stop early (at breakpoints, watched accesses and warnings).
void Compare(const std::vector<uint8_t>& flash, uint32_t start, uint32_t seed, uint64_t total,
             const std::string& name, bool marks = false) {
    Machine run(flash, start, seed);
    Machine steps(flash, start, seed);
    std::mt19937 random(seed);
    if (marks) {
        for (int i = 0; i < 4; ++i)
            run.emu.SetBreakpoint(CEmulator::kFlashBase + 2 * (random() % (flash.size() / 2)), true);
        run.emu.SetWatch(0x108000 + (random() & 0x3FFC), 64, CEmulator::kWatchWrite, true);
        run.emu.SetWatch(0x108000 + (random() & 0x3FFC), 64, CEmulator::kWatchRead, true);
    }
    constexpr uint64_t kSlices[] = {1, 2, 3, 7, 13, 64, 65, 1000, 4099};
    uint64_t done = 0;
    while (done < total) {
        const uint64_t slice = std::min(kSlices[random() % std::size(kSlices)], total - done);
        const RunResult result = marks && random() % 2 ? run.emu.RunFree(slice)
                                                       : run.emu.RunUntil(1, slice);  // never reached
        if (!marks) {
            ASSERT_EQ(result.executed, slice) << name;
        }
        for (uint64_t i = 0; i < result.executed; ++i) steps.emu.Step();
        done += result.executed;
        ExpectSameState(run, steps, name + " after " + std::to_string(done));
    }
}

std::vector<uint8_t> RandomCode(std::mt19937& random, size_t size) {
    std::vector<uint8_t> flash(size);
    for (uint8_t& byte : flash) byte = static_cast<uint8_t>(random());
    // Fewer far branches and BL pairs, so that the code stays in the image a while.
    for (size_t i = 0; i + 1 < size; i += 2) {
        if ((flash[i] & 0xF0) >= 0xE0 && random() % 4 != 0) flash[i] &= 0x7F;
    }
    return flash;
}

TEST(RunMatchesSteps, RandomCodeWithItsWarningsAndSlicesEndingInsideBlocks) {
    std::mt19937 random(20261207);
    for (uint32_t image = 0; image < 60; ++image) {
        // Small and odd sizes put the image's end, and code running off it, in reach.
        const size_t size = image % 3 == 0 ? 0x41 : 0x800;
        const std::vector<uint8_t> flash = RandomCode(random, size);
        Compare(flash, 0, image, 3000, "random image " + std::to_string(image), image % 2 == 1);
    }
}

std::vector<uint8_t> Demo() {
    std::ifstream in(TRAVIK_DEMO_FLS, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(RunMatchesSteps, DemoFirmwareWithItsIoRegisters) {
    const std::vector<uint8_t> demo = Demo();
    if (demo.empty()) GTEST_SKIP() << "the demo firmware is not built";
    Compare(demo, 0, 1, 200'000, "demo");
}

// Over a step-by-step run an observer of the RAM is told the values the RAM holds
// (aligned accesses); a run in blocks with watchpoints stops, one by one, right after
// each instruction whose accesses the observer saw touch a byte watched for its kind,
// with the first such access as its hit.
void CompareWatchStops(const std::vector<uint8_t>& flash, uint64_t total, const std::string& name) {
    Machine observed(flash, 0, 7);
    Machine watched(flash, 0, 7);
    watched.emu.SetWatch(0x10EAA3, 0x16, CEmulator::kWatchWrite, true);  // to 10EAB8, around
    watched.emu.SetWatch(0x10EAB2, 0x14F, CEmulator::kWatchRead, true);  // SP; edges in words
    auto hits = [](const MemoryAccess& a) {
        const uint32_t first = a.address & 0xFFFF, last = first + a.size - 1;
        if (a.kind == AccessKind::kWrite) return first <= 0xEAB8 && last >= 0xEAA3;
        return a.kind == AccessKind::kRead && first <= 0xEC00 && last >= 0xEAB2;
    };
    AccessLog log;
    observed.emu.ObservePages(log, CEmulator::kStackBase, CEmulator::kStackSize, true);
    std::vector<std::pair<uint64_t, MemoryAccess>> expected;  // after how many instructions
    for (uint64_t i = 1; i <= total; ++i) {
        const auto from = static_cast<std::ptrdiff_t>(log.accesses.size());
        observed.emu.Step();
        for (auto a = log.accesses.begin() + from; a != log.accesses.end(); ++a) {
            if (a->kind == AccessKind::kFetch || (a->address & (a->size - 1u)) ||
                a->address - CEmulator::kStackBase >= CEmulator::kStackSize)
                continue;
            ASSERT_EQ(observed.emu.Peek(a->address, a->size), a->value) << name << " " << i;
        }
        const auto hit = std::find_if(log.accesses.begin() + from, log.accesses.end(), hits);
        if (hit != log.accesses.end()) expected.emplace_back(i, *hit);
    }
    size_t stops = 0;
    for (uint64_t done = 0; done < total;) {
        const RunResult run = watched.emu.RunUntil(1, total - done);
        done += run.executed;
        if (run.stop == RunStop::kNone) continue;
        ASSERT_LT(stops, expected.size()) << name;
        const auto& [after, a] = expected[stops++];
        const WatchHit& hit = watched.emu.LastWatchHit();
        ASSERT_EQ(std::tie(done, hit.instruction, hit.address, hit.value, hit.size, hit.write),
                  std::tuple(after, a.instruction, a.address, a.value, a.size,
                             a.kind == AccessKind::kWrite))
            << name << ", stop " << stops;
    }
    EXPECT_EQ(stops, expected.size()) << name;
}

TEST(RunMatchesSteps, WatchStopsAreTheObservedAccessesOfWatchedBytes) {
    std::mt19937 random(7);
    for (int image = 0; image < 20; ++image)
        CompareWatchStops(RandomCode(random, 0x800), 3000, "random image " + std::to_string(image));
    const std::vector<uint8_t> demo = Demo();
    if (demo.empty()) GTEST_SKIP() << "the demo firmware is not built";
    CompareWatchStops(demo, 100'000, "demo");
}

}  // namespace
