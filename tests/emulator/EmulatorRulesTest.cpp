// What neither the Unicorn comparison nor travik-cli (the emu_* transcripts of
// tests/cli/transcripts) can show: access marks, I/O flags and snapshots the windows
// read, the start state, the call list's bound and runs in slices.
#include <gtest/gtest.h>

#include <optional>

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

// The side-effect-free access the debuggers read and write through: no warning, no
// mark, no observer, no I/O flag, no register change; the flash is never written.
TEST(ObservationPort, PeekAndPokeLeaveNoTrace) {
    EmulatorHarness h({0x46C0}, 0x100);
    h.Start();
    AccessLog log;
    h.emu.ObservePages(log, CEmulator::kStackBase, CEmulator::kStackSize, true);
    h.flash[0x10] = 0xAB;
    const RegisterFile before = h.emu.Registers();
    const struct { uint32_t address, size; std::optional<uint32_t> peek; bool pokes; } cases[] = {
        {0x10EABD, 4, 0, true},              // the RAM, misaligned
        {0x200010, 2, 0xAB00, false},        // the flash image
        {0x2000FF, 2, std::nullopt, false},  // past the image's end
        {0x020000, 2, 0x242C, true},         // two I/O registers
        {0x0103FE, 4, std::nullopt, false},  // past the low window
        {0x110000, 1, std::nullopt, false},  // past the RAM
    };
    for (const auto& c : cases) {
        EXPECT_EQ(h.emu.Peek(c.address, c.size), c.peek) << std::hex << c.address;
        EXPECT_EQ(h.emu.Poke(c.address, 0x5A5B5C5D, c.size), c.pokes) << std::hex << c.address;
        const uint32_t poked = 0x5A5B5C5D & (0xFFFFFFFFu >> (32 - 8 * c.size));
        EXPECT_EQ(h.emu.Peek(c.address, c.size), c.pokes ? poked : c.peek) << std::hex << c.address;
    }
    EXPECT_EQ(h.emu.Peek(0x103FE, 2), 0u);
    EXPECT_EQ(h.emu.ioRegisters[0].wasRead + h.emu.ioRegisters[0].wasWritten + h.emu.ioWritten, 0u);
    EXPECT_EQ(h.emu.followMarks.read & h.emu.followMarks.write, LatestAccesses::kNone);
    EXPECT_TRUE(log.accesses.empty());
    EXPECT_TRUE(h.warnings.empty());
    EXPECT_TRUE(std::equal(before.r, before.r + 16, h.emu.Registers().r));
}

// The peripherals' observers see every access of an I/O register or the low window as
// it is made, and none of the RAM; a run stops after the instruction one stops at.
TEST(ObservationPort, PeripheralObserversSeeEachIoAccessAndCanStopARun) {
    EmulatorHarness h({0x46C0}, 0x100);
    h.Start();
    AccessLog log;
    h.emu.ObservePeripherals(log, true);
    h.emu.ReadByte(0x20000);
    h.emu.WriteByte(0x20001, 0x7F);
    h.emu.WriteHalf(0x10010, 0x1234);
    h.emu.ReadWord(0x10010);
    h.emu.ReadByte(CEmulator::kStackBase + 0x101);
    h.emu.RemoveObserver(log);
    h.emu.ReadByte(0x20000);
    const struct { uint32_t address, value; uint8_t size; AccessKind kind; } seen[] = {
        {0x20000, 0x24, 1, AccessKind::kRead}, {0x20001, 0x7F, 1, AccessKind::kWrite},
        {0x10010, 0x1234, 2, AccessKind::kWrite}, {0x10010, 0x12340000, 4, AccessKind::kRead}};
    ASSERT_EQ(log.accesses.size(), std::size(seen));
    for (size_t i = 0; i < std::size(seen); ++i) {
        const MemoryAccess& a = log.accesses[i];
        EXPECT_EQ(a.address, seen[i].address) << i;
        EXPECT_EQ(a.value, seen[i].value) << i;
        EXPECT_EQ(a.size, seen[i].size) << i;
        EXPECT_EQ(a.kind, seen[i].kind) << i;
    }
    struct StopAtEach final : AccessObserver {
        bool OnAccess(const MemoryAccess&) override { return true; }
    } stop;
    EmulatorHarness run({0x2102, 0x0409, 0x7808, 0x46C0, 0x46C0});  // LDRB R0, [0x20000]
    run.Start();
    run.emu.ObservePeripherals(stop, true);
    EXPECT_EQ(run.emu.RunUntil(0x200100, 100).stop, RunStop::kReadWatch);
    EXPECT_EQ(run.Current(), 0x200006u);
    EXPECT_EQ(run.emu.LastWatchHit().address, 0x20000u);
    EXPECT_EQ(run.emu.LastWatchHit().instruction, 0x200004u);
}

}  // namespace
