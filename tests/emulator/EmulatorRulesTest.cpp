// What neither the Unicorn comparison nor travik-cli (the emu_* transcripts of
// tests/cli/transcripts) can show: access marks, I/O flags and snapshots the windows
// read, the start state, the call list's bound and runs in slices.
#include <gtest/gtest.h>

#include "emulator/EmulatorHarness.h"

namespace {

using Lines = std::vector<std::string>;

// The latest RAM accesses (the Memory Dump follows them), misaligned ones too; an I/O
// register's read flag and previous value, kept until the next snapshot; registers and
// flags as the snapshot keeps them; and no memory at all, where every access is unknown.
TEST(EmulatedMemory, AccessMarksIoFlagsSnapshotsAndNoMemoryAtAll) {
    EmulatorHarness h({0x46C0}, 0x100);
    h.Start();
    h.emu.ReadWord(0x100012);
    h.emu.WriteHalf(0x100031, 0xFFFF);
    h.emu.ReadByte(0x20000);
    h.emu.WriteByte(0x600000, 0);  // the I/O register of the LCD
    const IoRegister& lcd = h.emu.ioRegisters[21];
    EXPECT_EQ(std::tuple(h.emu.followMarks.read, h.emu.followMarks.write, h.emu.ioRegisters[0].wasRead,
                         lcd.value, lcd.previousValue, h.emu.ioWritten),
              std::tuple(0x100012u, 0x100031u, 1u, uint8_t{0}, uint8_t{0xFF}, 1u));
    h.emu.r[0] = 7;
    h.emu.zeroFlag = 1;
    h.emu.SaveSnapshot();
    EXPECT_EQ(std::tuple(lcd.previousValue, h.emu.ioWritten, h.emu.previousR[0], h.emu.previousCpsr),
              std::tuple(uint8_t{0}, 0u, 7u, 0x400000F3u));
    EXPECT_TRUE(h.warnings.empty());

    CEmulator bare;
    Lines lines;
    bare.warningSink = [&](const std::string& line) { lines.push_back(line); };
    EXPECT_EQ(std::pair(bare.ReadWord(0x10EAC0), bare.ReadHalf(0x200000, true)),
              std::pair(0xCADADADAu, uint16_t{0xCBCF}));
    bare.WriteByte(0x100000, 1);
    EXPECT_EQ(lines.size(), 3u);
}

// Start sets PC, SP and the flags, keeps the other registers and the call list, and
// suspends; a stored PC is a jump that refetches in the current state (THUMB, or ARM
// after a CPSR without the T bit); a warning suspends an animation.
TEST(EmulatorStart, KeepsOtherStateAndAStoredPcIsAJump) {
    EmulatorHarness h({0x2001, 0x2002, 0x2003, 0x46C0, 0x0000, 0x0001, 0xDF12});
    CEmulator& e = h.emu;
    e.r[3] = 0x33;
    e.PushCallRecord(0x200010, 0x200020, 1);
    h.SetFlags(true, true, true, true);
    e.Start(0x200000, h.flash.data(), 0x400, h.ram.data(), 0x10EAC0);
    EXPECT_EQ(h.warnings, (Lines{"", "Start emulation from 00200000"}));
    EXPECT_EQ(std::tuple(e.r[15], e.thumbInstruction, e.r[13], e.initialSp, e.cpsr, e.runState),
              std::tuple(0x200004u, uint16_t{0x2001}, 0x10EAC0u, 0x10EAC0u, 0xF3u,
                         uint32_t{CEmulator::kSuspended}));
    EXPECT_EQ(std::tuple(e.r[3], e.callTracks[1].size(), e.zeroFlag), std::tuple(0x33u, 1u, 0u));
    e.SetRegister(15, 0x200005);  // THUMB: bit 0 dropped, the halfword fetched
    EXPECT_EQ(std::tuple(e.r[15], e.thumbInstruction), std::tuple(0x200008u, uint16_t{0x2003}));
    e.SetRegister(CEmulator::kCpsrIndex, 0xA0000013);  // N and C, ARM state
    EXPECT_EQ(e.negativeFlag + e.zeroFlag + e.carryFlag, 2u);
    e.SetRegister(15, 0x20000A);  // ARM: word-aligned, the word fetched, R15 8 ahead
    EXPECT_EQ(std::tuple(e.r[15], e.armInstruction), std::tuple(0x200010u, 0x00000001u));
    e.SetRegister(CEmulator::kCpsrIndex, 0x33);
    e.SetRegister(15, 0x20000C);
    e.runState = CEmulator::kRunning;
    e.Step();  // SWI: an unknown instruction
    EXPECT_EQ(e.runState, CEmulator::kSuspended);
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
// instruction when it comes round again and where a slice ends right there.
TEST(RunControl, LongRunsInSlicesStopAtBreakpoints) {
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
        EXPECT_EQ(std::tuple(h.emu.LongRunStop(), h.emu.LongRunExecuted(), h.Current()),
                  std::tuple(RunStop::kBreakpoint, c.executed, CEmulator::kFlashBase + c.breakAt));
    }
}

}  // namespace
