#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "emulator/CEmulator.h"
#include "session/IoAccessMap.h"
#include "session/PixelWriters.h"

class CTravikDoc;

// The emulator's commands.
enum class RunCommand {
    kStart,
    kAnimate,
    kStepInto,
    kStepOver,
    kSkipToCursor,
    kStepToCursor,
    kBreak,
    kStop,
    kRun,
    kToggleBreakpoint,
    kClearBreakpoints,
};

// Whether the command can act in the emulator's run state (0 stopped, 1 suspended,
// 2 running). While a long run is under way only Break and Stop can, and the
// breakpoint commands, which act in every state.
bool IsRunCommandEnabled(RunCommand command, uint32_t runState, bool longRunActive = false);
inline bool IsBreakpointCommand(RunCommand command) {
    return command == RunCommand::kToggleBreakpoint || command == RunCommand::kClearBreakpoints;
}

// Run, Step Over and Step to Cursor may run for ever in code that never arrives, so
// they run in slices (CEmulator's long run): the first inside the command, the rest
// posted to the session's scheduler, so that a window repaints between slices and
// Break, Stop and Esc can end the run. A slice should take a few milliseconds; the
// next one is sized from the rate of the last (NextRunSlice).
inline constexpr uint64_t kRunSlice = 2'000'000;
inline constexpr uint64_t kFirstRunSlice = 200'000;
inline constexpr uint64_t kMinRunSlice = 10'000;
inline constexpr uint64_t kMaxRunSlice = 100'000'000;
inline constexpr int64_t kRunSliceTargetNs = 4'000'000;

// The size of the next slice after one of `executed` instructions that took
// `elapsedNs` nanoseconds: as many as take kRunSliceTargetNs at that rate, growing at
// most eightfold a slice.
uint64_t NextRunSlice(uint64_t executed, int64_t elapsedNs);

// The warnings-bar line that tells why a long run stopped, or empty when the stop
// needs none (it arrived, was interrupted, or the emulator wrote its own warning).
std::string LongRunStopText(const CEmulator& emulator);

// The image offset of the emulator's current instruction.
uint32_t CurrentInstructionOffset(const CTravikDoc& doc);

// "Call me again soon": how a long run gets its next slice.
class RunScheduler {
  public:
    virtual ~RunScheduler() = default;
    // Calls `next` once, after what is waiting now (a window paints and takes its input
    // in between). A call posted and not made yet is replaced.
    virtual void Post(std::function<void()> next) = 0;
    // Drops the call posted and not made yet.
    virtual void Cancel() = 0;
};

// The plain loop: the posted call waits until RunPosted makes it, and the one that
// posts, until none is left.
class LoopScheduler final : public RunScheduler {
  public:
    void Post(std::function<void()> next) override { next_ = std::move(next); }
    void Cancel() override { next_ = nullptr; }
    void RunPosted() {
        while (next_) {
            std::function<void()> call = std::move(next_);
            next_ = nullptr;
            call();
        }
    }

  private:
    std::function<void()> next_;
};

// What the windows show again after a change of the emulation.
struct SessionRefresh {
    bool goToCurrentInstruction = false;  // the driving listing's cursor onto it
    bool repaintListing = false;          // the document's listing windows
    bool repaintRegisters = false;
    bool repaintMemory = false;
    bool repaintPhone = false;
};

// A long run that is over: why it stopped (kNone when Break or Stop ended it), the
// access of a watchpoint stop, and whether it went on after its command (its progress
// was shown).
struct RunEnded {
    RunStop stop = RunStop::kNone;
    WatchHit watchHit;
    bool wentOn = false;
};

// How far a long run has got since its command.
struct RunProgress {
    uint64_t executed = 0;
    double seconds = 0;
};
// "Running: N instructions, R M instructions/s", for the status bar.
std::string RunProgressText(const RunProgress& progress);

// What a window (or the batch tool) hears of a session. Every event goes to every
// observer; `driver` names the observer whose command made the change.
class DebugSessionObserver {
  public:
    virtual ~DebugSessionObserver() = default;
    // A line for the warnings bar: the emulator's, and why a long run stopped.
    virtual void OnWarning(const std::string&) {}
    virtual void OnStateChanged(const SessionRefresh&, const DebugSessionObserver* /*driver*/) {}
    // The emulated calls changed: the call stack is built again.
    virtual void OnCallsChanged() {}
    // A long run goes on: about thirty times a second, and once as it begins.
    virtual void OnRunProgress(const RunProgress&) {}
    // A long run is over.
    virtual void OnRunEnded(const RunEnded&) {}
    // A listing window: it carries on as the driver of a run whose driver goes away.
    virtual bool FollowsRuns() const { return false; }
};

// The debugging of one document: the only thing that drives its emulator. It carries
// out the run commands (with the step snapshot), runs long runs slice by slice through
// its scheduler, keeps the breakpoints and watchpoints in NAME.brk and tells its
// observers what changed.
class DebugSession {
    friend struct TestDoc;  // tests set up an emulator state directly

  public:
    explicit DebugSession(CTravikDoc& doc);
    DebugSession(const DebugSession&) = delete;
    DebugSession& operator=(const DebugSession&) = delete;
    ~DebugSession();

    const CEmulator& Emulator() const { return emulator_; }
    // The edits the windows make to the emulator's state besides running it: a register
    // typed in the registers bar, the listing's browsing trail (call track 0), and the
    // memory dump taking the latest accesses it follows.
    void SetRegister(int index, uint32_t value) { emulator_.SetRegister(index, value); }
    void PushTrail(uint32_t callSite, uint32_t target) {
        emulator_.PushCallRecord(callSite, target, 0);
    }
    bool PopTrail(uint32_t& callSite) { return emulator_.TakeLastCallRecord(callSite, 0, true); }
    LatestAccesses& FollowMarks() { return emulator_.followMarks; }

    void Subscribe(DebugSessionObserver& observer);
    // A driver that goes away in the middle of a run leaves it to the first observer
    // that follows runs.
    void Unsubscribe(DebugSessionObserver& observer);
    // Where long runs post their slices; none: the session's own loop (Loop()).
    void SetScheduler(RunScheduler* scheduler);
    LoopScheduler& Loop() { return loop_; }

    // --- the run commands ----------------------------------------------------------
    // While a remote driver (a debugger attached from outside) holds the session, only
    // the breakpoint commands are enabled for the rest.
    bool IsEnabled(RunCommand command) const {
        if (remote_ != nullptr && !IsBreakpointCommand(command)) return false;
        return IsRunCommandEnabled(command, emulator_.runState, emulator_.LongRunActive());
    }
    // Carries out `command` with `cursorOffset` as the listing cursor's item; false
    // (nothing done) when it cannot act now. While a remote driver is set, a run command
    // of any other driver is refused; the breakpoint commands are anyone's.
    bool Execute(RunCommand command, uint32_t cursorOffset,
                 const DebugSessionObserver* driver = nullptr);
    // One tick of an animation: a Step Into while it goes on; false once it is over
    // (Break, Stop or a warning ended it, or a long run took over).
    bool AnimationStep(const DebugSessionObserver* driver);
    bool LongRunActive() const { return emulator_.LongRunActive(); }

    // The remote driver: the one observer whose run commands the session carries out
    // (nullptr ends that; unsubscribing it does too).
    void SetRemoteDriver(const DebugSessionObserver* remote) { remote_ = remote; }
    const DebugSessionObserver* RemoteDriver() const { return remote_; }
    // Puts the machine back as `state` holds it and executes `instructions` again,
    // stopping nowhere and showing no warning (they were shown the first time); the
    // windows are refreshed as after a step. The last watchpoint hit stays the one the
    // real run made. Between runs only.
    void RewindTo(const MachineState& state, uint64_t instructions);
    // Takes the machine, and what the recorders hold, for a RewindTo.
    void SaveState(MachineState& state);
    // A store into the emulated memory from outside (MemoryBus::Poke); the caller tells
    // the windows (RefreshWindows) once it is done.
    bool Poke(uint32_t address, uint32_t value, uint32_t size) {
        return emulator_.Poke(address, value, size);
    }
    void RefreshWindows(const SessionRefresh& refresh) { Refresh(refresh); }

    // The batch tool's bounded runs: the same long run, on the session's own loop, of
    // at most `limit` instructions, with neither a stop line nor a change of run state.
    enum class BatchRun { kUntil, kOver, kFree };
    RunResult RunBatch(BatchRun kind, uint32_t address, uint64_t limit);

    // --- recorders: on only while a window shows them or the batch tool asks ----------
    // The I/O access map of the peripherals and the named RAM ranges (those named when
    // it is turned on, and at every Start). Start empties it.
    void RecordIoAccesses(bool on);
    bool RecordsIoAccesses() const { return recordIo_; }
    const IoAccessMap& IoMap() const { return ioMap_; }
    void ClearIoMap() { ioMap_.Clear(); }
    // The last writer of each display byte. Start empties it.
    void RecordPixelWriters(bool on);
    // A script's observer of the accesses to the stack RAM or flash pages of
    // [address, address + length) (MemoryBus::ObservePages); `on` false ends it.
    void ObserveAccesses(AccessObserver& observer, uint32_t address, uint32_t length, bool on) {
        emulator_.ObservePages(observer, address, length, on);
    }
    void RemoveObserver(AccessObserver& observer) { emulator_.RemoveObserver(observer); }
    bool RecordsPixelWriters() const { return recordPixels_; }
    const PixelWriters& LcdWriters() const { return pixels_; }

    // --- breakpoints and watchpoints, kept in NAME.brk beside the info file ---------
    // Reads the side file into the emulator, as the document opens; `load` false: the
    // document neither reads nor ever writes or deletes that file, since it does not
    // hold the file's marks (its own changes stay in memory).
    void OpenMarks(bool load);
    // Each change is written to the side file at once; a write failure is shown through
    // the frame (ShowMessage) and returns false (the change stays in memory).
    bool ToggleBreakpoint(uint32_t offset);  // image offset of the item
    // Sets or clears one at a phone address and writes the file; false with no message
    // where none can be.
    // `save` false: a remote debugger's own mark, in memory only: the side file is not
    // written for it, and leaves it out whenever it is written for another change.
    bool SetBreakpoint(uint32_t address, bool on, bool save = true);
    bool ClearAllBreakpoints();
    bool SetWatchRange(uint32_t address, uint32_t length, uint8_t kinds, bool on,
                       bool save = true);  // phone address
    bool ClearAllWatchpoints();
    // A breakpoint on an offset outside the emulator's flash window, or a watchpoint
    // range outside the stack RAM, is refused with a message (false) as well.

  private:
    using Clock = std::chrono::steady_clock;
    struct Batch {
        bool active = false;
        uint64_t limit = 0;
    };

    template <class Call>
    void Emit(Call call) {
        for (size_t i = 0; i < observers_.size(); ++i) call(*observers_[i]);
    }
    void Refresh(const SessionRefresh& refresh);
    void StepRefresh();
    // After the first slice: over, or going on from the scheduler.
    void Begun(bool over);
    void PostSlice();
    void RunSlice();
    uint64_t SliceSize() const;
    // A long run that is over: an emulation left Running by Run is Suspended again, a
    // breakpoint or watchpoint stop gets its line, and the windows the refresh of a step.
    void FinishLongRun(bool wentOn);
    void Progress(bool now);
    int64_t RunNs() const;
    bool SaveMarks();
    // Takes the unsaved marks off the emulator (false) or puts them back (true).
    void ApplyUnsavedMarks(bool on);

    void ObserveNamedRam(bool on);

    CTravikDoc& doc_;
    CEmulator emulator_;
    bool recordIo_ = false;
    bool recordPixels_ = false;
    IoAccessMap ioMap_;
    PixelWriters pixels_{emulator_};
    // As they were at SaveState: a rewind puts them back before it executes again.
    IoAccessMap savedIoMap_;
    PixelWriters savedPixels_{emulator_};
    std::vector<DebugSessionObserver*> observers_;
    const DebugSessionObserver* driver_ = nullptr;
    const DebugSessionObserver* remote_ = nullptr;
    LoopScheduler loop_;
    RunScheduler* scheduler_ = &loop_;
    Batch batch_;
    bool muteWarnings_ = false;
    uint64_t slice_ = kFirstRunSlice;  // instructions of the next slice of a long run
    Clock::time_point runStart_;       // of the command that began the long run
    int64_t nextProgressNs_ = 0;       // since runStart_

    // The side file was there at open but could not be read: it is never replaced.
    bool marksUnreadable_ = false;
    bool marksSkipped_ = false;  // opened without reading the side file
    // The marks set with `save` false that were not there before: breakpoints, and the
    // watch kinds they added per byte.
    std::vector<uint32_t> unsavedBreakpoints_;
    std::map<uint32_t, uint8_t> unsavedWatches_;
};
