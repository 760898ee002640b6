#include <gtest/gtest.h>

#include "emulator/EmulatorHarness.h"

namespace {

// Observers of flash pages see the data reads of the code (a literal load that blocks
// otherwise fold in, a byte read through a register), not the fetches, and can stop a
// run after the reading instruction; with the observer gone, runs fold literals again.
TEST(ObservationPort, FlashPagesReportDataReadsAndStopRuns) {
    // LDR R0, [PC, #12] (the word at 0x10); LDR R1, [PC, #16] (0x00200111 at 0x14);
    // LDRB R2, [R1, #0]
    EmulatorHarness h({0x4803, 0x4904, 0x780A, 0x46C0, 0x46C0, 0x46C0, 0x46C0, 0x46C0,
                       0x1234, 0x5678, 0x0020, 0x0111});
    h.flash[0x111] = 0x9A;
    AccessLog log;
    struct StopAtEach final : AccessObserver {
        bool OnAccess(const MemoryAccess&) override { return true; }
    } stop;
    const struct { AccessObserver* observer; uint32_t until; RunStop stop; uint32_t at; } runs[] = {
        {&log, 0x20000A, RunStop::kArrived, 0x20000A},
        {&stop, 0x20000A, RunStop::kReadWatch, 0x200002},
        {nullptr, 0x20000A, RunStop::kArrived, 0x20000A},
    };
    for (const auto& run : runs) {
        h.Start();
        if (run.observer) h.emu.ObservePages(*run.observer, CEmulator::kFlashBase, 0x200, true);
        const RunResult result = h.emu.RunUntil(run.until, 100);
        EXPECT_EQ(result.stop, run.stop);
        EXPECT_EQ(h.Current(), run.at);
        if (run.stop == RunStop::kReadWatch) {
            EXPECT_EQ(h.emu.LastWatchHit().address, 0x200010u);
        }
        if (run.observer) h.emu.RemoveObserver(*run.observer);
    }
    EXPECT_EQ(h.emu.r[0], 0x12345678u);
    EXPECT_EQ(h.emu.r[2], 0x9Au);
    ASSERT_EQ(log.accesses.size(), 3u);
    const struct { uint32_t instruction, address, value; uint8_t size; } seen[] = {
        {0x200000, 0x200010, 0x12345678, 4}, {0x200002, 0x200014, 0x00200111, 4},
        {0x200004, 0x200111, 0x9A, 1}};
    for (size_t i = 0; i < std::size(seen); ++i) {
        EXPECT_EQ(log.accesses[i].instruction, seen[i].instruction) << i;
        EXPECT_EQ(log.accesses[i].address, seen[i].address) << i;
        EXPECT_EQ(log.accesses[i].value, seen[i].value) << i;
        EXPECT_EQ(log.accesses[i].size, seen[i].size) << i;
        EXPECT_EQ(log.accesses[i].kind, AccessKind::kRead) << i;
    }
}

}  // namespace
