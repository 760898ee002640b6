// The run commands of a listing window on the demo firmware and on small images.
#include <gtest/gtest.h>

#include "listing/ListingFixture.h"
#include "listing/RunCommands.h"

namespace {

using RC = RunCommand;

TEST(RunCommands, EnablingFollowsTheRunState) {
    // Columns: stopped, suspended, running, during a long run.
    const struct {
        RC command;
        bool enabled[4];
    } table[] = {
        {RC::kStart, {true, false, false, false}},
        {RC::kAnimate, {false, true, false, false}},
        {RC::kStepInto, {false, true, true, false}},
        {RC::kStepOver, {false, true, false, false}},
        {RC::kSkipToCursor, {false, true, false, false}},
        {RC::kStepToCursor, {false, true, false, false}},
        {RC::kBreak, {false, false, true, true}},
        {RC::kStop, {false, true, true, true}},
        {RC::kRun, {false, true, false, false}},
        {RC::kToggleBreakpoint, {true, true, true, true}},
        {RC::kClearBreakpoints, {true, true, true, true}},
    };
    for (const auto& row : table) {
        for (uint32_t state = 0; state < 3; ++state)
            EXPECT_EQ(IsRunCommandEnabled(row.command, state), row.enabled[state])
                << static_cast<int>(row.command) << " in state " << state;
        EXPECT_EQ(IsRunCommandEnabled(row.command, CEmulator::kSuspended, true), row.enabled[3]);
    }
}

class DemoRun : public ::testing::Test {
  protected:
    void SetUp() override {
        doc = OpenImage(frame, TRAVIK_DEMO_FLS);
        ASSERT_NE(doc, nullptr);
    }
    RunEffect Do(RC command, uint32_t cursor = 0) {
        return ExecuteRunCommand(*doc, frame, command, cursor);
    }
    uint32_t Current() const { return CurrentInstructionOffset(*doc); }
    RecordingFrame frame;
    std::unique_ptr<CTravikDoc> doc;
};

TEST_F(DemoRun, StartStepsAndStop) {
    const RunEffect start = Do(RC::kStart, 0x00C);
    EXPECT_TRUE(start.refreshCallStack && start.repaintRegisters && start.repaintPhone);
    EXPECT_EQ(doc->emulator.runState, CEmulator::kSuspended);
    EXPECT_EQ(frame.warnings, (std::vector<std::string>{"", "Start emulation from 0020000C"}));
    EXPECT_EQ(Current(), 0x00Cu);

    const RunEffect step = Do(RC::kStepInto);
    EXPECT_TRUE(step.goToCurrentInstruction && step.repaintMemory && !step.longRunPending);
    EXPECT_EQ(Current(), 0x00Eu);

    // The BL to ClearScreen returns through MOV PC, LR: one Step Over lands after it.
    Do(RC::kStepOver);
    EXPECT_EQ(Current(), 0x012u);
    EXPECT_TRUE(doc->emulator.callTracks[1].empty());
    EXPECT_EQ(doc->emulator.previousR[15], 0x200012u);  // the snapshot was taken first

    Do(RC::kStepToCursor, 0x032);
    EXPECT_EQ(Current(), 0x032u);
    EXPECT_FALSE(doc->emulator.LongRunActive());
    Do(RC::kSkipToCursor, 0x036);
    EXPECT_EQ(Current(), 0x036u);

    Do(RC::kStop);
    EXPECT_EQ(doc->emulator.runState, CEmulator::kStopped);
    EXPECT_EQ(frame.warnings.size(), 2u);  // the demo runs without warnings
}

TEST_F(DemoRun, RunThatNeverArrivesGoesOnInSlicesUntilBreak) {
    Do(RC::kStart, 0x00C);
    // The main loop never reaches the title text.
    CEmulator& emu = doc->emulator;
    EXPECT_TRUE(ExecuteRunCommand(*doc, frame, RC::kStepToCursor, 0x20C, 5000).longRunPending);
    ASSERT_TRUE(emu.LongRunActive());
    EXPECT_TRUE(IsRunCommandEnabled(RC::kBreak, emu.runState, emu.LongRunActive()));
    EXPECT_FALSE(emu.ContinueLongRun(1000));
    EXPECT_EQ(emu.LongRunExecuted(), 6000u);

    Do(RC::kBreak);
    EXPECT_FALSE(emu.LongRunActive());
    EXPECT_EQ(doc->emulator.runState, CEmulator::kSuspended);
    char expected[120];
    std::snprintf(expected, sizeof expected,
                  "Run to 0020020C stopped at %.8X after %llu instructions",
                  doc->emulator.r[15] - 4, 6000ull);
    EXPECT_EQ(frame.warnings.back(), expected);
}

TEST(RunCommandsAnimation, AWarningSuspendsTheAnimation) {
    ListingFixture f(0x40);
    f.Half(0, 0x2100);  // MOV R1, #0
    f.Half(2, 0x6808);  // LDR R0, [R1]: reads address 0, which is no memory
    ExecuteRunCommand(*f.doc, f.frame, RC::kStart, 0);
    ExecuteRunCommand(*f.doc, f.frame, RC::kAnimate, 0);
    ExecuteRunCommand(*f.doc, f.frame, RC::kStepInto, 0);
    EXPECT_EQ(f.doc->emulator.runState, CEmulator::kRunning);
    ExecuteRunCommand(*f.doc, f.frame, RC::kStepInto, 0);
    EXPECT_EQ(f.doc->emulator.runState, CEmulator::kSuspended);
    EXPECT_NE(f.frame.warnings.back().find("Accessing unknown area: 00000000 for reading"),
              std::string::npos);
}

// Run, Step Over and Step to Cursor share the end of a long run: Suspended, the full
// refresh, and a line in the warnings bar for a breakpoint or watchpoint stop.
class StoppedRun : public ::testing::Test {
  protected:
    StoppedRun() : f(0x40) {}
    RunEffect Do(RC command, uint32_t cursor = 0) {
        return ExecuteRunCommand(*f.doc, f.frame, command, cursor, 1000);
    }
    CEmulator& Emu() { return f.doc->emulator; }
    uint32_t Current() const { return CurrentInstructionOffset(*f.doc); }
    void ExpectStoppedAt(const RunEffect& effect, uint32_t offset, const std::string& line) {
        EXPECT_FALSE(effect.longRunPending);
        EXPECT_TRUE(effect.goToCurrentInstruction && effect.refreshCallStack &&
                    effect.repaintMemory && effect.repaintView);
        EXPECT_FALSE(Emu().LongRunActive());
        EXPECT_EQ(Emu().runState, CEmulator::kSuspended);
        EXPECT_EQ(Current(), offset);
        EXPECT_EQ(f.frame.warnings.back(), line);
    }
    ListingFixture f;
};

TEST_F(StoppedRun, WatchpointStopSaysWhichInstructionAccessValueAndAddress) {
    const struct {
        uint16_t access;
        uint8_t kind;
        const char* line;
    } cases[] = {
        {0x6010, CEmulator::kWatchWrite, "Watchpoint: 00200004 wrote 00000005 to 0010EAC0"},  // STR
        {0x7050, CEmulator::kWatchWrite, "Watchpoint: 00200004 wrote 05 to 0010EAC1"},    // STRB
        {0x8851, CEmulator::kWatchRead, "Watchpoint: 00200004 read 0005 from 0010EAC2"},  // LDRH
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        f.Half(0, 0x2005);  // MOV R0, #5
        f.Half(2, 0x466A);  // MOV R2, SP (0x10EAC0)
        f.Half(4, c.access);
        f.Half(6, 0xE7FE);  // B .
        Do(RC::kStart);
        Emu().ClearWatches();
        Emu().SetWatch(0x10EAC0, 4, c.kind, true);
        ExpectStoppedAt(Do(RC::kRun), 6, c.line);
        Do(RC::kStop);
    }
}

TEST_F(StoppedRun, StepOverStopsAtABreakpointInTheCallAndRunGoesOnPastIt) {
    f.Half(0, 0xF000);  // BL 0x10
    f.Half(2, 0xF806);
    f.Half(4, 0xE7FE);  // B .
    f.Half(0x10, 0x2001);
    f.Half(0x12, 0x2102);
    f.Half(0x14, 0x46F7);  // MOV PC, LR
    Do(RC::kStart);
    ASSERT_TRUE(Emu().SetBreakpoint(0x200012, true));
    ExpectStoppedAt(Do(RC::kStepOver), 0x12, "Breakpoint at 00200012");

    // Run leaves the breakpoint it starts on, returns and loops until Break.
    const RunEffect run = Do(RC::kRun);
    EXPECT_TRUE(run.longRunPending);
    EXPECT_EQ(Emu().runState, CEmulator::kRunning);
    EXPECT_FALSE(Emu().ContinueLongRun(1000));
    const RunEffect broken = Do(RC::kBreak);
    ExpectStoppedAt(broken, 4, "Run stopped at 00200004 after 2000 instructions");
}

TEST(RunSlices, SizedToTakeAFewMillisecondsAndGrowingGently) {
    const struct {
        uint64_t executed;
        int64_t elapsedNs;
        uint64_t next;
    } cases[] = {
        {1'000'000, 4'000'000, 1'000'000},      // on target
        {1'000'000, 40'000'000, 100'000},       // ten times too slow
        {10'000, 1'000, 80'000},                // very fast: eightfold at most
        {10'000, 0, 80'000},                    // too short to measure
        {90'000'000, 1'000'000, kMaxRunSlice},  // never beyond the bound
        {1'000, 1'000'000'000, kMinRunSlice},   // nor below the floor
    };
    for (const auto& c : cases)
        EXPECT_EQ(NextRunSlice(c.executed, c.elapsedNs), c.next)
            << c.executed << " in " << c.elapsedNs << " ns";
}

}  // namespace
