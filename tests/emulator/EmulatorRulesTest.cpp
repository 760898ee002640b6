// The rules a random THUMB comparison cannot reach and travik-cli cannot show: access
// marks, the start state, snapshots, and the run control (sliced runs, Step Over, the
// call list). The rest is in the emu_* transcripts of tests/cli/transcripts.
#include <gtest/gtest.h>

#include "emulator/EmulatorHarness.h"

namespace {

using Lines = std::vector<std::string>;

// The memory map's areas, markers and warnings are in the emu_memory_map transcript.
// What it cannot show: the latest RAM accesses the Memory Dump follows, misaligned ones
// too; the I/O registers' read flag and previous value, kept until the next snapshot;
// and an emulator with no memory at all, where every access is an unknown area.
TEST(EmulatedMemory, AccessMarksIoFlagsAndNoMemoryAtAll) {
    EmulatorHarness h({0x46C0}, 0x100);
    h.Start();
    h.emu.ReadWord(0x100012);
    h.emu.WriteHalf(0x100031, 0xFFFF);
    EXPECT_EQ(std::tuple(h.emu.followMarks.read, h.emu.followMarks.write),
              std::tuple(0x100012u, 0x100031u));
    h.emu.ReadByte(0x20000);
    EXPECT_EQ(h.emu.ioRegisters[0].wasRead, 1u);
    h.emu.WriteByte(0x600000, 0);  // the I/O register of the LCD
    EXPECT_EQ(std::tuple(h.emu.ioRegisters[21].value, h.emu.ioRegisters[21].previousValue,
                         h.emu.ioWritten),
              std::tuple(uint8_t{0}, uint8_t{0xFF}, 1u));
    h.emu.SaveSnapshot();
    EXPECT_EQ(std::tuple(h.emu.ioRegisters[21].previousValue, h.emu.ioWritten),
              std::tuple(uint8_t{0}, 0u));
    EXPECT_TRUE(h.warnings.empty());

    CEmulator bare;
    Lines lines;
    bare.warningSink = [&](const std::string& line) { lines.push_back(line); };
    EXPECT_EQ(bare.ReadWord(0x10EAC0), 0xCADADADAu);
    bare.WriteByte(0x100000, 1);
    EXPECT_EQ(bare.ReadHalf(0x200000, true), 0xCBCF);
    EXPECT_EQ(lines.size(), 3u);
}

// Start sets PC, SP and the flags and keeps the other registers and the call list; a
// stored PC is a jump that refetches in the current state; a stored CPSR gives the flags.
TEST(EmulatorStart, KeepsOtherStateAndAStoredPcIsAJump) {
    EmulatorHarness h({0x2001, 0x2002, 0x2003, 0x46C0, 0x0000, 0x0001});
    CEmulator& e = h.emu;
    e.r[3] = 0x33;
    e.r[14] = 0x44;
    e.PushCallRecord(0x200010, 0x200020, 1);
    h.SetFlags(true, true, true, true);
    e.SetRegister(15, 0x200003);  // before a start only stored
    EXPECT_EQ(e.r[15], 0x200003u);
    e.Start(0x200000, h.flash.data(), static_cast<uint32_t>(h.flash.size()), h.ram.data(),
            0x10EAC0);
    EXPECT_EQ(h.warnings, (Lines{"", "Start emulation from 00200000"}));
    EXPECT_EQ(std::tuple(e.r[15], e.thumbInstruction, e.r[13], e.initialSp, e.cpsr, e.runState),
              std::tuple(0x200004u, uint16_t{0x2001}, 0x10EAC0u, 0x10EAC0u, 0xF3u,
                         uint32_t{CEmulator::kSuspended}));
    EXPECT_EQ(e.negativeFlag + e.zeroFlag + e.carryFlag + e.overflowFlag, 0u);
    EXPECT_EQ(std::tuple(e.r[3], e.r[14], e.callTracks[1].size()), std::tuple(0x33u, 0x44u, 1u));
    h.warnings.clear();
    e.zeroFlag = 1;
    EXPECT_EQ(e.Registers().cpsr, 0x400000F3u);
    e.r[0] = 7;
    e.SaveSnapshot();
    EXPECT_EQ(std::tuple(e.previousR[0], e.previousCpsr), std::tuple(7u, 0x400000F3u));
    e.SetRegister(15, 0x200005);  // THUMB: bit 0 dropped, the halfword fetched
    EXPECT_EQ(std::tuple(e.r[15], e.thumbInstruction), std::tuple(0x200008u, uint16_t{0x2003}));
    e.SetRegister(CEmulator::kCpsrIndex, 0xA0000013);  // N and C, ARM state
    EXPECT_EQ(e.negativeFlag + e.zeroFlag + e.carryFlag, 2u);
    e.SetRegister(15, 0x20000A);  // ARM: word-aligned, the word fetched, R15 8 ahead
    EXPECT_EQ(std::tuple(e.r[15], e.armInstruction), std::tuple(0x200010u, 0x00000001u));
    EXPECT_TRUE(h.warnings.empty());

    // A warning suspends an animation.
    EmulatorHarness swi({0xDF12});
    swi.Start();
    swi.emu.runState = CEmulator::kRunning;
    swi.emu.Step();
    EXPECT_EQ(swi.emu.runState, CEmulator::kSuspended);
}

TEST(RunControl, RunUntilStepsAtLeastOnceAndStepOverBalancesTheCalls) {
    EmulatorHarness loop({0x3001, 0x46C0, 0xE7FC});  // ADD R0, #1; NOP; B back
    loop.Start();
    const RunResult run = loop.emu.RunUntil(0x200000, 1'000);
    EXPECT_EQ(std::tuple(run.reached, run.executed, loop.emu.r[0]), std::tuple(true, 3u, 1u));
    EXPECT_EQ(loop.emu.RunUntil(0x300000, 0).executed, 0u);

    // main: BL sub; NOP.  sub: PUSH {LR}; BL leaf; POP {PC}.  leaf: MOV PC, LR.
    EmulatorHarness h({0xF000, 0xF802, 0x46C0, 0x46C0, 0xB500, 0xF000, 0xF801, 0xBD00, 0x46F7});
    h.Start();
    int refreshes = 0;
    h.emu.callTrackSink = [&] { ++refreshes; };
    ASSERT_EQ(h.emu.StepOverTarget(), std::optional<uint32_t>(0x200004));
    const RunResult over = h.emu.StepOver(1'000);
    EXPECT_EQ(std::tuple(over.reached, over.executed, h.emu.r[15]), std::tuple(true, 5u, 0x200008u));
    EXPECT_TRUE(h.emu.callTracks[1].empty());
    EXPECT_EQ(refreshes, 4);  // two calls, two checked returns
    EXPECT_FALSE(h.emu.StepOverTarget().has_value());  // anything else is one step
    EXPECT_EQ(h.emu.StepOver(1'000).executed, 1u);
    EXPECT_TRUE(h.warnings.empty());
}

// Calls that never return stay on list 1; it keeps the newest 65,536 records, whether
// the calls come one step at a time or in a long run, and a later return still matches
// the newest call.
TEST(RunControl, EmulatedCallListKeepsTheNewestRecords) {
    constexpr size_t kLimit = CEmulator::kCallTrackLimit;
    for (const uint32_t calls : {5u, uint32_t{3 * kLimit / 2 + 7}}) {
        SCOPED_TRACE(calls);
        EmulatorHarness h({
            0xF000, 0xF805,  // 00 loop: BL bx_leaf
            0x3801,          // 04 SUB R0, #1
            0xD1FB,          // 06 BNE loop
            0xF000, 0xF802,  // 08 BL pop_leaf
            0xE7FE,          // 0C B .
            0xE7F9,          // 0E bx_leaf: B 04, never returning
            0xB500, 0xBD00,  // 10 pop_leaf: PUSH {LR}; POP {PC}
        });
        h.Start();
        for (uint32_t i = 0; i < kLimit; ++i) h.emu.PushCallRecord(i, i, 1);
        h.emu.r[0] = calls;
        if (calls < kLimit) {
            while (h.Current() != 0x20000C) {
                h.emu.Step();
                ASSERT_LE(h.emu.callTracks[1].size(), kLimit);
            }
        } else {
            ASSERT_TRUE(h.emu.RunUntil(0x20000C, 10'000'000).reached);
        }
        const std::vector<CallRecord>& list = h.emu.callTracks[1];
        ASSERT_EQ(list.size(), kLimit - 1);  // full at the last BL, whose return took it off
        EXPECT_EQ(list.front().callSite, calls < kLimit ? calls + 1 : 0x200000u);
        EXPECT_EQ(std::tuple(list.back().callSite, list.back().target),
                  std::tuple(0x200000u, 0x20000Eu));
        EXPECT_TRUE(h.warnings.empty()) << h.warnings.front();
    }
}

// A long run in slices stops at the first breakpoint it reaches, also one on its first
// instruction when it comes round again and where a slice ends right there; a free run
// stops after an instruction that warns, where RunUntil goes on.
TEST(RunControl, LongRunsInSlicesStopAtBreakpointsAndFreeRunsAtWarnings) {
    struct Case {
        uint64_t slice;
        uint32_t breakAt;
        uint64_t executed;
    };
    for (const Case c : {Case{1, 0x06, 600}, Case{7, 0x06, 600}, Case{600, 0x06, 600},
                         Case{1, 0x00, 3}, Case{3, 0x00, 3}, Case{5, 0x00, 3}}) {
        SCOPED_TRACE(testing::Message() << c.slice << " " << c.breakAt);
        EmulatorHarness h({0x3001, 0x28C8, 0xD1FC, 0xE7FE});  // ADD R0, #1; CMP R0, #200; BNE; B .
        h.Start();
        ASSERT_TRUE(h.emu.SetBreakpoint(CEmulator::kFlashBase + c.breakAt, true));
        bool over = h.emu.BeginFreeRun(c.slice);
        for (int slices = 0; !over && slices < 1000; ++slices) over = h.emu.ContinueLongRun(c.slice);
        EXPECT_TRUE(over);
        EXPECT_EQ(h.emu.LongRunStop(), RunStop::kBreakpoint);
        EXPECT_EQ(h.emu.LongRunExecuted(), c.executed);
        EXPECT_EQ(h.Current(), CEmulator::kFlashBase + c.breakAt);
    }
    EmulatorHarness h({0x2130, 0x680A, 0xE7FE});  // MOV R1, #0x30; LDR R2, [R1]; B .
    h.Start();
    const RunResult run = h.emu.RunFree(100);
    EXPECT_EQ(std::tuple(run.stop, run.executed, h.Current(), h.warnings.size()),
              std::tuple(RunStop::kWarning, 2u, 0x200004u, 1u));
    h.Start();
    const RunResult until = h.emu.RunUntil(CEmulator::kFlashBase + 0x100, 100);
    EXPECT_EQ(std::tuple(until.stop, until.executed), std::tuple(RunStop::kNone, 100u));
}

}  // namespace
