// Breakpoints and the free run (Run), on small hand-assembled images; watchpoints are
// compared with an observer in RunMatchesStepsTest.cpp.
#include <gtest/gtest.h>

#include "emulator/EmulatorHarness.h"

namespace {

constexpr uint32_t kFlash = CEmulator::kFlashBase;

TEST(Breakpoints, StopBeforeAnInstructionReachedThroughACall) {
    // 00 MOV R0, #1; 02 BL 0x0A; 06 B .; 08 NOP; 0A ADD R0, #1; 0C MOV PC, LR
    EmulatorHarness h({0x2001, 0xF000, 0xF802, 0xE7FE, 0x46C0, 0x3001, 0x46F7});
    h.Start();
    ASSERT_TRUE(h.emu.SetBreakpoint(kFlash + 0x0A, true));
    const RunResult run = h.emu.RunFree(1000);
    EXPECT_EQ(run.stop, RunStop::kBreakpoint);
    EXPECT_EQ(run.executed, 2u);  // MOV and the BL pair
    EXPECT_EQ(h.Current(), kFlash + 0x0A);
    EXPECT_EQ(h.emu.r[0], 1u);  // the ADD has not run
}

TEST(Breakpoints, ALongRunInSlicesStopsAtTheFirstBreakpointItReaches) {
    // 00 ADD R0, #1; 02 CMP R0, #200; 04 BNE 00; 06 B .
    struct Case {
        uint64_t slice;
        uint32_t breakAt;
        uint64_t executed;
    };
    // A breakpoint on the long run's first instruction stops it when it comes round
    // again, also where a slice ends right there.
    for (const Case c : {Case{1, 0x06, 600}, Case{7, 0x06, 600}, Case{600, 0x06, 600},
                         Case{1, 0x00, 3}, Case{3, 0x00, 3}, Case{5, 0x00, 3}}) {
        EmulatorHarness h({0x3001, 0x28C8, 0xD1FC, 0xE7FE});
        h.Start();
        ASSERT_TRUE(h.emu.SetBreakpoint(kFlash + c.breakAt, true));
        bool over = h.emu.BeginFreeRun(c.slice);
        for (int slices = 0; !over && slices < 1000; ++slices)
            over = h.emu.ContinueLongRun(c.slice);
        EXPECT_TRUE(over);
        EXPECT_EQ(h.emu.LongRunStop(), RunStop::kBreakpoint) << c.slice << " " << c.breakAt;
        EXPECT_EQ(h.emu.LongRunExecuted(), c.executed) << c.slice << " " << c.breakAt;
        EXPECT_EQ(h.Current(), kFlash + c.breakAt);
    }
}

TEST(FreeRun, StopsAfterAnInstructionThatWarnsWhereRunUntilGoesOn) {
    // 00 MOV R1, #0x30; 02 LDR R2, [R1, #0] (an unknown area); 04 B .
    EmulatorHarness h({0x2130, 0x680A, 0xE7FE});
    h.Start();
    const RunResult run = h.emu.RunFree(100);
    EXPECT_EQ(run.stop, RunStop::kWarning);
    EXPECT_EQ(run.executed, 2u);
    EXPECT_EQ(h.Current(), kFlash + 4);
    EXPECT_EQ(h.warnings.size(), 1u);

    h.Start();
    const RunResult until = h.emu.RunUntil(kFlash + 0x100, 100);
    EXPECT_EQ(until.stop, RunStop::kNone);
    EXPECT_EQ(until.executed, 100u);
}

}  // namespace
