// A document's debug session through its commands and its events, on the demo firmware
// and on small images; long runs go on from a scheduler the test turns by hand.
#include <gtest/gtest.h>

#include "listing/ListingFixture.h"
#include "session/FrameSessionLink.h"

namespace {

using RC = RunCommand;

// Makes the posted slices one at a time.
struct HandScheduler final : RunScheduler {
    void Post(std::function<void()> call) override { next = std::move(call); }
    void Cancel() override { next = nullptr; }
    void Turn() {
        auto call = std::move(next);
        next = nullptr;
        if (call) call();
    }
    std::function<void()> next;
};

// A listing window's view of the events: where its cursor went.
struct Listing final : DebugSessionObserver {
    void OnStateChanged(const SessionRefresh& refresh,
                        const DebugSessionObserver* driver) override {
        if (refresh.goToCurrentInstruction && driver == this) ++cursorMoves;
    }
    void OnRunEnded(const RunEnded& runEnded) override { ended = runEnded; }
    bool FollowsRuns() const override { return true; }
    int cursorMoves = 0;
    RunEnded ended;
};

struct Session {
    explicit Session(CTravikDoc& document) : doc(document), link(doc.Session(), frame()) {
        doc.Session().SetScheduler(&scheduler);
        doc.Session().Subscribe(listing);
    }
    ~Session() {
        doc.Session().Unsubscribe(listing);
        doc.Session().SetScheduler(nullptr);
    }
    RecordingFrame& frame() { return static_cast<RecordingFrame&>(doc.Frame()); }
    bool Do(RC command, uint32_t cursor = 0) {
        return doc.Session().Execute(command, cursor, &listing);
    }
    uint32_t Current() const { return CurrentInstructionOffset(doc); }
    const CEmulator& emu() const { return doc.Session().Emulator(); }
    CTravikDoc& doc;
    FrameSessionLink link;
    HandScheduler scheduler;
    Listing listing;
};

TEST(DebugSession, StartStepsRunsInSlicesAndStops) {
    RecordingFrame frame;
    auto doc = OpenImage(frame, TRAVIK_DEMO_FLS);
    ASSERT_NE(doc, nullptr);
    Session s(*doc);
    frame.statusTexts.clear();          // the open's progress
    EXPECT_FALSE(s.Do(RC::kStepInto));  // not enabled before Start
    ASSERT_TRUE(s.Do(RC::kStart, 0x00C));
    EXPECT_EQ(s.emu().runState, CEmulator::kSuspended);
    EXPECT_EQ(frame.warnings, (std::vector<std::string>{"", "Start emulation from 0020000C"}));
    EXPECT_EQ(frame.callStackRefreshes, 1);

    s.Do(RC::kStepInto);
    EXPECT_EQ(s.Current(), 0x00Eu);
    EXPECT_EQ(s.listing.cursorMoves, 1);
    EXPECT_EQ(frame.memoryRepaints, 1);

    // The BL to ClearScreen returns through MOV PC, LR: one Step Over lands after it.
    s.Do(RC::kStepOver);
    EXPECT_EQ(s.Current(), 0x012u);
    EXPECT_TRUE(s.emu().callTracks[1].empty());
    EXPECT_EQ(s.emu().previousR[15], 0x200012u);  // the snapshot was taken first
    s.Do(RC::kStepToCursor, 0x032);
    EXPECT_EQ(s.Current(), 0x032u);
    s.Do(RC::kSkipToCursor, 0x036);
    EXPECT_EQ(s.Current(), 0x036u);
    EXPECT_EQ(s.listing.cursorMoves, 4);
    EXPECT_TRUE(frame.statusTexts.empty());  // nothing went on after its command

    // The main loop never reaches the title text: slice after slice until Break.
    s.Do(RC::kStepToCursor, 0x20C);
    ASSERT_TRUE(s.emu().LongRunActive());
    ASSERT_TRUE(s.scheduler.next);
    EXPECT_EQ(frame.statusTexts.back().rfind("Running: ", 0), 0u);
    const uint64_t first = s.emu().LongRunExecuted();
    s.scheduler.Turn();
    EXPECT_GT(s.emu().LongRunExecuted(), first);
    EXPECT_TRUE(s.doc.Session().IsEnabled(RC::kBreak));
    EXPECT_FALSE(s.Do(RC::kStepInto));
    s.Do(RC::kBreak);
    EXPECT_FALSE(s.emu().LongRunActive());
    EXPECT_EQ(s.emu().runState, CEmulator::kSuspended);
    EXPECT_EQ(frame.warnings.back().rfind("Run to 0020020C stopped at ", 0), 0u);
    EXPECT_EQ(frame.statusTexts.back(), "Ready");
    EXPECT_EQ(s.listing.cursorMoves, 5);
    s.scheduler.Turn();  // a slice posted before Break runs nothing
    EXPECT_FALSE(s.emu().LongRunActive());

    s.Do(RC::kRun);
    EXPECT_FALSE(s.doc.Session().IsEnabled(RC::kStepOver));  // while it runs
    s.Do(RC::kStop);
    EXPECT_EQ(s.emu().runState, CEmulator::kStopped);
    EXPECT_EQ(frame.warnings.back().rfind("Run stopped at ", 0), 0u);
    EXPECT_EQ(frame.statusTexts.back(), "Ready");
    EXPECT_FALSE(s.scheduler.next);
}

TEST(DebugSession, AWarningEndsTheAnimation) {
    ListingFixture f(0x40);
    f.Half(0, 0x2100);  // MOV R1, #0
    f.Half(2, 0x6808);  // LDR R0, [R1]: reads address 0, which is no memory
    Session s(*f.doc);
    s.Do(RC::kStart);
    s.Do(RC::kAnimate);
    EXPECT_TRUE(f.doc->Session().AnimationStep(&s.listing));
    EXPECT_EQ(s.emu().runState, CEmulator::kRunning);
    EXPECT_TRUE(f.doc->Session().AnimationStep(&s.listing));
    EXPECT_EQ(s.emu().runState, CEmulator::kSuspended);
    EXPECT_FALSE(f.doc->Session().AnimationStep(&s.listing));
    EXPECT_NE(f.frame.warnings.back().find("Accessing unknown area: 00000000 for reading"),
              std::string::npos);
}

// A run that stops is Suspended on the current instruction, with a line that says why:
// which instruction made which access of which value where, or which breakpoint.
TEST(DebugSession, WatchpointsAndBreakpointsSayWhy) {
    ListingFixture f(0x40);
    Session s(*f.doc);
    DebugSession& session = f.doc->Session();
    auto expectStop = [&](RC command, uint32_t offset, const std::string& line) {
        s.Do(command);
        EXPECT_FALSE(session.LongRunActive());
        EXPECT_EQ(s.emu().runState, CEmulator::kSuspended);
        EXPECT_EQ(s.Current(), offset);
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
        s.Do(RC::kStop);
        s.Do(RC::kStart);
        session.ClearAllWatchpoints();
        session.SetWatchRange(0x10EAC0, 4, w.kind, true);
        expectStop(RC::kRun, 6, w.line);
        EXPECT_EQ(s.listing.ended.stop,
                  w.kind == CEmulator::kWatchRead ? RunStop::kReadWatch : RunStop::kWriteWatch);
        EXPECT_FALSE(s.listing.ended.wentOn);  // over inside its command
    }

    // Step Over stops at a breakpoint inside the call; Run leaves it and loops until Break.
    session.ClearAllWatchpoints();
    f.Half(0, 0xF000);  // BL 0x10
    f.Half(2, 0xF806);
    f.Half(4, 0xE7FE);  // B .
    f.Half(0x10, 0x2102);
    f.Half(0x12, 0x46F7);  // MOV PC, LR
    s.Do(RC::kStop);
    s.Do(RC::kStart);
    s.Do(RC::kToggleBreakpoint, 0x12);
    expectStop(RC::kStepOver, 0x12, "Breakpoint at 00200012");
    s.Do(RC::kRun);
    EXPECT_EQ(s.emu().runState, CEmulator::kRunning);
    s.scheduler.Turn();
    ASSERT_TRUE(session.LongRunActive());
    // Its driver goes away: the listing that stays follows the run to its end, where a
    // breakpoint set meanwhile stops it.
    Listing other;
    session.Subscribe(other);
    session.Unsubscribe(s.listing);
    session.Execute(RC::kToggleBreakpoint, 4, &s.listing);
    s.scheduler.Turn();
    EXPECT_FALSE(session.LongRunActive());
    EXPECT_EQ(other.cursorMoves, 1);
    EXPECT_EQ(f.frame.warnings.back(), "Breakpoint at 00200004");
    EXPECT_EQ(f.frame.statusTexts.back(), "Ready");
    session.Unsubscribe(other);
    session.Subscribe(s.listing);
}

// A remote debugger holds the run commands; what it ran can be gone back on exactly:
// restored and replayed, the machine is the same, with no warning shown twice.
TEST(DebugSession, RemoteDriverRunsAloneAndRewinds) {
    RecordingFrame frame;
    auto doc = OpenImage(frame, TRAVIK_DEMO_FLS);
    ASSERT_NE(doc, nullptr);
    Session s(*doc);
    DebugSession& session = doc->Session();
    Listing remote;
    session.Subscribe(remote);
    s.Do(RC::kStart, 0);
    session.SetRemoteDriver(&remote);
    EXPECT_FALSE(session.IsEnabled(RC::kStepInto));
    EXPECT_TRUE(session.IsEnabled(RC::kToggleBreakpoint));
    EXPECT_FALSE(s.Do(RC::kStepInto));
    EXPECT_TRUE(session.Execute(RC::kStepInto, 0, &remote));

    MachineState before;
    session.SaveState(before);
    const auto machine = [&] {
        std::vector<uint8_t> ram(doc->EmulatorRam(), doc->EmulatorRam() + CEmulator::kStackSize);
        return std::tuple(s.emu().Registers().r[15], s.emu().Registers().cpsr,
                          std::vector<uint32_t>(s.emu().r, s.emu().r + 15), ram,
                          s.emu().callTracks[1].size(), s.emu().followMarks.write);
    };
    const auto start = machine();
    ASSERT_TRUE(session.Execute(RC::kRun, 0, &remote));
    for (int i = 0; i < 3; ++i) s.scheduler.Turn();
    EXPECT_FALSE(s.Do(RC::kBreak));  // the windows cannot end the remote's run
    ASSERT_TRUE(session.Execute(RC::kBreak, 0, &remote));
    const uint64_t executed = s.emu().LongRunExecuted();
    ASSERT_GT(executed, 10000u);
    const auto after = machine();
    const size_t warnings = frame.warnings.size();

    session.RewindTo(before, executed);
    EXPECT_EQ(machine(), after);
    EXPECT_EQ(frame.warnings.size(), warnings);
    session.RewindTo(before, 0);
    EXPECT_EQ(machine(), start);
    session.Unsubscribe(remote);
    EXPECT_EQ(session.RemoteDriver(), nullptr);
    EXPECT_TRUE(s.Do(RC::kStepInto));
}

}  // namespace
