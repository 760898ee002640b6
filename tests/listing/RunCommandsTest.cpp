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

// A run that stops is Suspended on the current instruction, with a line that says why:
// which instruction made which access of which value where, or which breakpoint.
TEST(RunCommandsStops, WatchpointsAndBreakpointsSayWhy) {
    ListingFixture f(0x40);
    CEmulator& emu = f.doc->emulator;
    auto expectStop = [&](RC command, uint32_t offset, const std::string& line) {
        EXPECT_FALSE(ExecuteRunCommand(*f.doc, f.frame, command, 0, 1000).longRunPending);
        EXPECT_EQ(emu.runState, CEmulator::kSuspended);
        EXPECT_EQ(CurrentInstructionOffset(*f.doc), offset);
        EXPECT_EQ(f.frame.warnings.back(), line);
    };
    const struct {
        uint16_t access;
        uint8_t kind;
        const char* line;
    } watches[] = {
        {0x6010, CEmulator::kWatchWrite, "Watchpoint: 00200004 wrote 00000005 to 0010EAC0"},  // STR
        {0x7050, CEmulator::kWatchWrite, "Watchpoint: 00200004 wrote 05 to 0010EAC1"},    // STRB
        {0x8851, CEmulator::kWatchRead, "Watchpoint: 00200004 read 0005 from 0010EAC2"},  // LDRH
    };
    f.Half(0, 0x2005);  // MOV R0, #5
    f.Half(2, 0x466A);  // MOV R2, SP (0x10EAC0)
    f.Half(6, 0xE7FE);  // B .
    for (const auto& w : watches) {
        f.Half(4, w.access);
        ExecuteRunCommand(*f.doc, f.frame, RC::kStart, 0);
        emu.ClearWatches();
        emu.SetWatch(0x10EAC0, 4, w.kind, true);
        expectStop(RC::kRun, 6, w.line);
    }

    // Step Over stops at a breakpoint inside the call; Run leaves it and loops until Break.
    emu.ClearWatches();
    f.Half(0, 0xF000);  // BL 0x10
    f.Half(2, 0xF806);
    f.Half(4, 0xE7FE);  // B .
    f.Half(0x10, 0x2102);
    f.Half(0x12, 0x46F7);  // MOV PC, LR
    ExecuteRunCommand(*f.doc, f.frame, RC::kStart, 0);
    ASSERT_TRUE(emu.SetBreakpoint(0x200012, true));
    expectStop(RC::kStepOver, 0x12, "Breakpoint at 00200012");
    EXPECT_TRUE(ExecuteRunCommand(*f.doc, f.frame, RC::kRun, 0, 1000).longRunPending);
    EXPECT_EQ(emu.runState, CEmulator::kRunning);
    expectStop(RC::kBreak, 4, "Run stopped at 00200004 after 1000 instructions");
}

}  // namespace
