// The processor's start state, snapshots, the do-nothing halfwords, and the run
// control: bounded runs, Step Over, Skip to Cursor and the return checks.
#include <gtest/gtest.h>

#include "emulator/EmulatorHarness.h"

namespace {

TEST(EmulatorStart, OpensTheEmulationAndKeepsOtherState) {
    EmulatorHarness h({0x2001});
    CEmulator& e = h.emu;
    EXPECT_EQ(e.runState, CEmulator::kStopped);
    EXPECT_EQ(e.initialSp, 0xFFFFFFFFu);
    e.r[3] = 0x33;
    e.r[14] = 0x44;
    e.previousR[5] = 0x55;
    e.PushCallRecord(0x200010, 0x200020, 1);
    h.SetFlags(true, true, true, true);

    e.Start(0x200000, h.flash.data(), static_cast<uint32_t>(h.flash.size()), h.ram.data(),
            0x10EAC0);
    EXPECT_EQ(h.warnings, (std::vector<std::string>{"", "Start emulation from 00200000"}));
    EXPECT_EQ(e.r[15], 0x200004u);
    EXPECT_EQ(e.thumbInstruction, 0x2001);
    EXPECT_EQ(e.r[13], 0x10EAC0u);
    EXPECT_EQ(e.initialSp, 0x10EAC0u);
    EXPECT_EQ(e.cpsr, 0xF3u);
    EXPECT_EQ(e.negativeFlag + e.zeroFlag + e.carryFlag + e.overflowFlag, 0u);
    EXPECT_EQ(e.runState, CEmulator::kSuspended);
    EXPECT_EQ(e.r[3], 0x33u);
    EXPECT_EQ(e.r[14], 0x44u);
    EXPECT_EQ(e.previousR[5], 0x55u);
    EXPECT_EQ(e.callTracks[1].size(), 1u);
}

// The composed CPSR of a snapshot; a stored CPSR gives the flags, a stored PC is a jump
// that refetches in the processor's state (before a start it is only stored).
TEST(EmulatorStart, SnapshotsComposeTheCpsrAndAStoredPcIsAJump) {
    EmulatorHarness h({0x2001, 0x2002, 0x2003, 0x46C0, 0x0000, 0x0001});
    h.emu.SetRegister(15, 0x200003);
    EXPECT_EQ(h.emu.r[15], 0x200003u);
    h.Start();
    h.emu.zeroFlag = 1;
    EXPECT_EQ(h.emu.Registers().cpsr, 0x400000F3u);
    EXPECT_EQ(h.emu.cpsr, 0xF3u);  // a snapshot stores nothing
    h.emu.r[0] = 7;
    h.emu.SaveSnapshot();
    EXPECT_EQ(h.emu.previousR[0], 7u);
    EXPECT_EQ(h.emu.previousCpsr, 0x400000F3u);
    h.emu.SetRegister(15, 0x200005);  // THUMB: bit 0 dropped, the halfword fetched
    EXPECT_EQ(h.emu.r[15], 0x200008u);
    EXPECT_EQ(h.emu.thumbInstruction, 0x2003);
    h.emu.SetRegister(CEmulator::kCpsrIndex, 0xA0000013);  // N and C, ARM state
    EXPECT_EQ(h.emu.negativeFlag + h.emu.zeroFlag + h.emu.carryFlag, 2u);
    h.emu.SetRegister(15, 0x20000A);  // ARM: word-aligned, the word fetched, R15 8 ahead
    EXPECT_EQ(h.emu.r[15], 0x200010u);
    EXPECT_EQ(h.emu.armInstruction, 0x00000001u);
    EXPECT_EQ(h.emu.r[0], 7u);
    EXPECT_TRUE(h.warnings.empty());
}

TEST(EmulatorStart, DoNothingHalfwordsLeaveEverythingAndWarningsSuspend) {
    for (uint16_t half : {0xE800, 0xEFFF, 0xF800, 0xFFFF}) {
        EmulatorHarness h({half});
        h.Start();
        h.emu.Step();
        EXPECT_EQ(h.emu.r[15], 0x200004u);
        EXPECT_EQ(h.emu.thumbInstruction, half);
        EXPECT_TRUE(h.warnings.empty());
    }
    EmulatorHarness h({0xDF12, 0xDF13});
    h.Start();
    h.emu.runState = CEmulator::kRunning;
    h.emu.Step();
    EXPECT_EQ(h.warnings, (std::vector<std::string>{"Unknown instruction DF12"}));
    EXPECT_EQ(h.emu.runState, CEmulator::kSuspended);
    EXPECT_EQ(h.Current(), 0x200002u);
}

// Slices of a run that never reaches its target are compared with steps in
// RunMatchesStepsTest.cpp.
TEST(RunControl, RunUntilStepsAtLeastOnce) {
    EmulatorHarness h({0x3001, 0x46C0, 0xE7FC});  // ADD R0, #1; NOP; B back
    h.Start();
    const RunResult run = h.emu.RunUntil(0x200000, 1'000);
    EXPECT_TRUE(run.reached);
    EXPECT_EQ(run.executed, 3u);
    EXPECT_EQ(h.emu.r[0], 1u);
    EXPECT_EQ(h.emu.RunUntil(0x300000, 0).executed, 0u);
}

// main: BL sub; NOP.  sub: PUSH {LR}; BL leaf; POP {PC}.  leaf: MOV PC, LR.
TEST(RunControl, StepOverRunsTheCallAndBalancesTheCallTrack) {
    EmulatorHarness h({
        0xF000, 0xF802, 0x46C0, 0x46C0,  // 00 BL 0x08; 04 NOP; 06 NOP
        0xB500, 0xF000, 0xF801, 0xBD00,  // 08 PUSH {LR}; 0A BL 0x10; 0E POP {PC}
        0x46F7});                        // 10 MOV PC, LR
    h.Start();
    int refreshes = 0;
    h.emu.callTrackSink = [&] { ++refreshes; };
    ASSERT_EQ(h.emu.StepOverTarget(), std::optional<uint32_t>(0x200004));
    const RunResult run = h.emu.StepOver(1'000);
    EXPECT_TRUE(run.reached);
    EXPECT_EQ(run.executed, 5u);
    EXPECT_EQ(h.emu.r[15], 0x200008u);
    EXPECT_TRUE(h.emu.callTracks[1].empty());
    EXPECT_EQ(refreshes, 4);  // two calls, two checked returns
    EXPECT_TRUE(h.warnings.empty());

    // Anything but class 0xF000 is exactly one step.
    EXPECT_FALSE(h.emu.StepOverTarget().has_value());
    EXPECT_EQ(h.emu.StepOver(1'000).executed, 1u);
    EXPECT_EQ(h.Current(), 0x200006u);
}

// A BX to where the newest call returns ends it quietly, whichever register holds the
// address; a BX elsewhere is not compared; POP {PC} still compares and warns.
TEST(CallTracking, BxReturnsEndTheirCallOthersAreNotCompared) {
    // 00 BL 0x08; 04 NOP; 06 NOP; 08 BX LR; 0A POP {R1}; 0C BX R1
    EmulatorHarness h({0xF000, 0xF802, 0x46C0, 0x46C0, 0x4770, 0xBC02, 0x4708});
    h.PutHalf(0x20, 0xBD00);
    h.Start();
    h.emu.Step();  // BL
    h.emu.Step();  // BX LR back to 0x200004
    EXPECT_EQ(h.Current(), 0x200004u);
    EXPECT_TRUE(h.emu.callTracks[1].empty());

    h.emu.SkipTo(0x200000);
    h.emu.Step();  // BL
    h.emu.SkipTo(0x20000A);
    h.emu.r[13] -= 4;
    h.emu.WriteWord(h.emu.r[13], 0x200005);
    h.emu.Step();  // POP {R1}
    h.emu.Step();  // BX R1: the return
    EXPECT_EQ(h.Current(), 0x200004u);
    EXPECT_TRUE(h.emu.callTracks[1].empty());

    h.emu.SkipTo(0x200000);
    h.emu.Step();  // BL
    h.emu.SkipTo(0x20000C);
    h.emu.r[1] = 0x200007;
    h.emu.Step();  // BX R1 elsewhere: the call stays
    EXPECT_EQ(h.Current(), 0x200006u);
    EXPECT_EQ(h.emu.callTracks[1].size(), 1u);
    EXPECT_TRUE(h.warnings.empty());

    h.emu.SkipTo(0x200020);
    h.emu.WriteWord(h.emu.r[13] - 4, 0x200041);
    h.emu.r[13] -= 4;
    h.emu.Step();  // POP {PC} to 0x200040
    EXPECT_EQ(h.Current(), 0x200040u);
    EXPECT_EQ(h.warnings, (std::vector<std::string>{
                              "Warning: Unexpected return address: 00200040 (expected 00200004)"}));
    ASSERT_EQ(h.emu.callTracks[1].size(), 1u);
    EXPECT_EQ(h.emu.callTracks[1][0].callSite, 0x200000u);
}

// Calls that never return stay on list 1; it keeps the newest 65,536 records,
// whether the calls come one step at a time or in a long run, and a later return
// still matches the newest call.
TEST(CallTracking, EmulatedCallListKeepsTheNewestRecords) {
    constexpr size_t kLimit = CEmulator::kCallTrackLimit;
    struct Case {
        const char* name;
        uint32_t calls;
        bool stepwise;
    } const cases[] = {{"steps", 5, true}, {"run", 3 * kLimit / 2 + 7, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmulatorHarness h({
            0xF000, 0xF805,  // 00 loop: BL bx_leaf
            0x3801,          // 04 SUB R0, #1
            0xD1FB,          // 06 BNE loop
            0xF000, 0xF802,  // 08 BL pop_leaf
            0xE7FE,          // 0C B .
            0xE7F9,          // 0E bx_leaf: B 04, never returning
            0xB500,          // 10 pop_leaf: PUSH {LR}
            0xBD00,          // 12 POP {PC}
        });
        h.Start();
        for (uint32_t i = 0; i < kLimit; ++i) h.emu.PushCallRecord(i, i, 1);
        h.emu.r[0] = c.calls;
        if (c.stepwise) {
            while (h.Current() != 0x20000C) {
                h.emu.Step();
                ASSERT_LE(h.emu.callTracks[1].size(), kLimit);
            }
        } else {
            ASSERT_TRUE(h.emu.RunUntil(0x20000C, 10'000'000).reached);
        }
        const std::vector<CallRecord>& list = h.emu.callTracks[1];
        // The list was full at the last BL; its POP {PC} return took that record off.
        ASSERT_EQ(list.size(), kLimit - 1);
        // The records pushed before the run are dropped oldest first.
        EXPECT_EQ(list.front().callSite, c.calls < kLimit ? c.calls + 1 : 0x200000u);
        EXPECT_EQ(list.back().callSite, 0x200000u);
        EXPECT_EQ(list.back().target, 0x20000Eu);
        EXPECT_TRUE(h.warnings.empty()) << h.warnings.front();
    }
}

}  // namespace
