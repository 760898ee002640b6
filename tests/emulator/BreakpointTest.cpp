// Breakpoints, watchpoints and the free run (Run), on small hand-assembled images.
#include <gtest/gtest.h>

#include "emulator/EmulatorHarness.h"

namespace {

constexpr uint32_t kFlash = CEmulator::kFlashBase;
constexpr uint32_t kBuffer = 0x10E000;  // R1 points here in the access tests

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

TEST(Breakpoints, TheStartInstructionIsPassedAndALoopStopsOncePerRun) {
    // 00 ADD R0, #1; 02 NOP; 04 B 00
    EmulatorHarness h({0x3001, 0x46C0, 0xE7FC});
    h.Start();
    ASSERT_TRUE(h.emu.SetBreakpoint(kFlash, true));
    for (uint32_t round = 1; round <= 3; ++round) {
        const RunResult run = h.emu.RunFree(1000);
        EXPECT_EQ(run.stop, RunStop::kBreakpoint);
        EXPECT_EQ(run.executed, 3u) << round;
        EXPECT_EQ(h.Current(), kFlash);
        EXPECT_EQ(h.emu.r[0], round);
    }
    h.emu.ClearBreakpoints();
    EXPECT_EQ(h.emu.RunFree(1000).stop, RunStop::kNone);
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

// One access instruction at 0x02 after MOV R0, #0xA7 at 0x00, then B . at 0x04.
struct Access {
    const char* name;
    uint16_t instruction;
    uint32_t watchAddress;
    uint32_t watchLength;
    uint8_t kind;
    bool hits;
    uint32_t hitAddress;  // the access's own address
    uint32_t value;
    uint8_t size;
};

void RunAccess(const Access& a) {
    SCOPED_TRACE(a.name);
    EmulatorHarness h({0x20A7, a.instruction, 0xE7FE});
    h.Start();
    CEmulator& e = h.emu;
    e.r[1] = kBuffer;
    e.r[2] = 6;
    e.r[3] = 0x33333333;
    e.r[4] = 0x44444444;
    e.r[14] = 0x12345678;
    e.r[13] = 0x10EA00;
    for (uint32_t i = 0; i < 8; ++i) h.ram[(kBuffer & 0xFFFF) + i] = static_cast<uint8_t>(0xF1 + i);
    for (uint32_t i = 0; i < 4; ++i) h.ram[0xEA00 + i] = static_cast<uint8_t>(0xC1 + i);
    e.SetWatch(a.watchAddress, a.watchLength, a.kind, true);
    const RunResult run = e.RunFree(10);
    if (!a.hits) {
        EXPECT_EQ(run.stop, RunStop::kNone);
        EXPECT_EQ(run.executed, 10u);
        return;
    }
    const bool write = a.kind == CEmulator::kWatchWrite;
    EXPECT_EQ(run.stop, write ? RunStop::kWriteWatch : RunStop::kReadWatch);
    EXPECT_EQ(run.executed, 2u);
    EXPECT_EQ(h.Current(), kFlash + 4);  // after the access, not before it
    const WatchHit& hit = e.LastWatchHit();
    EXPECT_EQ(hit.instruction, kFlash + 2);
    EXPECT_EQ(hit.address, a.hitAddress);
    EXPECT_EQ(hit.value, a.value);
    EXPECT_EQ(hit.size, a.size);
    EXPECT_EQ(hit.write, write);
}

TEST(Watchpoints, WritesStopAfterTheStoringInstruction) {
    constexpr uint8_t W = CEmulator::kWatchWrite;
    const Access cases[] = {
        {"STR R0, [R1, #4]", 0x6048, kBuffer + 4, 4, W, true, kBuffer + 4, 0xA7, 4},
        {"STRB R0, [R1, #3]", 0x70C8, kBuffer + 3, 1, W, true, kBuffer + 3, 0xA7, 1},
        {"STRH R0, [R1, #2]", 0x8048, kBuffer + 2, 2, W, true, kBuffer + 2, 0xA7, 2},
        // SP 10EA00: R4 goes to 10E9F8, LR to 10E9FC.
        {"PUSH {R4, LR}", 0xB510, 0x10E9FC, 4, W, true, 0x10E9FC, 0x12345678, 4},
        {"STMIA R1!, {R3, R4}", 0xC118, kBuffer + 4, 4, W, true, kBuffer + 4, 0x44444444, 4},
    };
    for (const Access& a : cases) RunAccess(a);
}

TEST(Watchpoints, ReadsStopAfterTheLoadingInstruction) {
    constexpr uint8_t R = CEmulator::kWatchRead;
    const Access cases[] = {
        {"LDR R0, [R1, #4]", 0x6848, kBuffer + 4, 4, R, true, kBuffer + 4, 0xF5F6F7F8, 4},
        {"LDRB R0, [R1, #5]", 0x7948, kBuffer + 5, 1, R, true, kBuffer + 5, 0xF6, 1},
        {"LDSH R0, [R1, R2]", 0x5E88, kBuffer + 6, 2, R, true, kBuffer + 6, 0xF7F8, 2},
        {"POP {R4}", 0xBC10, 0x10EA00, 4, R, true, 0x10EA00, 0xC1C2C3C4, 4},
    };
    for (const Access& a : cases) RunAccess(a);
}

TEST(Watchpoints, AnAccessHitsWhenAnyOfItsBytesIsWatchedForItsKind) {
    constexpr uint8_t R = CEmulator::kWatchRead;
    constexpr uint8_t W = CEmulator::kWatchWrite;
    const Access cases[] = {
        // STR R0, [R1, #4] writes 10E004-10E007.
        {"last byte of a word", 0x6048, kBuffer + 7, 1, W, true, kBuffer + 4, 0xA7, 4},
        {"range over its start", 0x6048, kBuffer + 2, 3, W, true, kBuffer + 4, 0xA7, 4},
        {"range just before", 0x6048, kBuffer, 4, W, false, 0, 0, 0},
        {"range just after", 0x6048, kBuffer + 8, 8, W, false, 0, 0, 0},
        {"read watch, a write", 0x6048, kBuffer + 4, 4, R, false, 0, 0, 0},
        // LDRH R0, [R1, #4] reads 10E004-10E005.
        {"second byte of a half", 0x8888, kBuffer + 5, 1, R, true, kBuffer + 4, 0xF5F6, 2},
    };
    for (const Access& a : cases) RunAccess(a);
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
