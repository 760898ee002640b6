#include "session/DebugSession.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "document/CTravikDoc.h"
#include "document/DebugMarksFile.h"
#include "document/DocumentMessages.h"
#include "document/FileIo.h"
#include "shell/Format.h"
#include "shell/FrameServices.h"

namespace {

constexpr const char* kMarksUnreadable =
    "%s cannot be read: %s.\r\nNo breakpoints or watchpoints were loaded from it, and it "
    "will not be replaced.";
constexpr const char* kMarksDamaged =
    "%s, line %u: \"%s\" is not a breakpoint or watchpoint of this image (%u such lines "
    "in all).\r\nThe %u that could be read are set; the next change of a breakpoint or "
    "watchpoint rewrites the file without the lines that could not.";
constexpr const char* kMarksNotReplaced =
    "%s could not be read when the flash file was opened, so it is not replaced; the "
    "breakpoints and watchpoints hold until the flash file is closed.";
constexpr const char* kMarksNotWritten =
    "%s could not be written; the breakpoints and watchpoints hold until the flash file is "
    "closed.";
constexpr const char* kNoBreakpointHere =
    "No breakpoint can be set at %.8X: breakpoints sit on halfwords of the first 1 MB of "
    "the image.";
constexpr const char* kNoWatchHere =
    "No watchpoint can be set at %.8X (%u bytes): watchpoints sit on the stack RAM, "
    "%.8X-%.8X.";

// Time-based: slices come hundreds of times a second, the eye needs about thirty.
constexpr int64_t kProgressPeriodNs = 33'000'000;

}  // namespace

bool IsRunCommandEnabled(RunCommand command, uint32_t runState, bool longRunActive) {
    const bool suspended = runState == CEmulator::kSuspended && !longRunActive;
    const bool open = runState == CEmulator::kSuspended || runState == CEmulator::kRunning;
    switch (command) {
        case RunCommand::kStart:
            return runState == CEmulator::kStopped && !longRunActive;
        case RunCommand::kAnimate:
        case RunCommand::kRun:
        case RunCommand::kStepOver:
        case RunCommand::kSkipToCursor:
        case RunCommand::kStepToCursor:
            return suspended;
        case RunCommand::kStepInto:
            return open && !longRunActive;
        case RunCommand::kStop:
            return open;
        case RunCommand::kBreak:
            return runState == CEmulator::kRunning || longRunActive;
        // A breakpoint set during a run counts from the next slice on.
        case RunCommand::kToggleBreakpoint:
        case RunCommand::kClearBreakpoints:
            return true;
    }
    return false;
}

uint64_t NextRunSlice(uint64_t executed, int64_t elapsedNs) {
    const uint64_t grown = std::max(executed, kMinRunSlice) * 8;
    if (elapsedNs <= 0) return std::clamp(grown, kMinRunSlice, kMaxRunSlice);
    const double perNs = static_cast<double>(executed) / static_cast<double>(elapsedNs);
    const double wanted = perNs * static_cast<double>(kRunSliceTargetNs);
    const uint64_t next =
        wanted >= static_cast<double>(kMaxRunSlice) ? kMaxRunSlice : static_cast<uint64_t>(wanted);
    return std::clamp(std::min(next, grown), kMinRunSlice, kMaxRunSlice);
}

uint32_t CurrentInstructionOffset(const CTravikDoc& doc) {
    return doc.Session().Emulator().CurrentInstruction() & 0xFFFFF;
}

std::string LongRunStopText(const CEmulator& emu) {
    char text[160];
    switch (emu.LongRunStop()) {
        case RunStop::kBreakpoint:
            std::snprintf(text, sizeof text, "Breakpoint at %.8X", emu.CurrentInstruction());
            return text;
        case RunStop::kReadWatch:
        case RunStop::kWriteWatch: {
            const WatchHit& hit = emu.LastWatchHit();
            // The value as wide as the access: 2, 4 or 8 digits.
            const int digits = std::clamp(2 * int{hit.size}, 2, 8);
            std::snprintf(text, sizeof text, "Watchpoint: %.8X %s %.*X %s %.8X", hit.instruction,
                          hit.write ? "wrote" : "read", digits, hit.value,
                          hit.write ? "to" : "from", hit.address);
            return text;
        }
        default:
            return {};
    }
}

std::string RunProgressText(const RunProgress& progress) {
    const double rate = progress.seconds > 0
                            ? static_cast<double>(progress.executed) / progress.seconds / 1e6
                            : 0.0;
    char text[128];
    std::snprintf(text, sizeof text, "Running: %llu instructions, %.1f M instructions/s",
                  static_cast<unsigned long long>(progress.executed), rate);
    return text;
}

// --- the session ------------------------------------------------------------------------

DebugSession::DebugSession(CTravikDoc& doc) : doc_(doc) {
    emulator_.warningSink = [this](const std::string& line) {
        if (!muteWarnings_) Emit([&](DebugSessionObserver& o) { o.OnWarning(line); });
    };
}

DebugSession::~DebugSession() {
    scheduler_->Cancel();
}

void DebugSession::Subscribe(DebugSessionObserver& observer) {
    observers_.push_back(&observer);
}

void DebugSession::Unsubscribe(DebugSessionObserver& observer) {
    std::erase(observers_, &observer);
    if (remote_ == &observer) remote_ = nullptr;
    if (driver_ != &observer) return;
    driver_ = nullptr;
    for (const DebugSessionObserver* o : observers_) {
        if (o->FollowsRuns()) {
            driver_ = o;
            break;
        }
    }
}

void DebugSession::SetScheduler(RunScheduler* scheduler) {
    scheduler_->Cancel();
    scheduler_ = scheduler != nullptr ? scheduler : &loop_;
    // A run under way goes on from the new scheduler.
    if (emulator_.LongRunActive() && !batch_.active) PostSlice();
}

void DebugSession::Refresh(const SessionRefresh& refresh) {
    Emit([&](DebugSessionObserver& o) { o.OnStateChanged(refresh, driver_); });
}

// The emulated calls and returns of a step change the call stack too; the bar gathers
// the requests and rebuilds only what changed.
void DebugSession::StepRefresh() {
    Refresh({.goToCurrentInstruction = true,
             .repaintListing = true,
             .repaintRegisters = true,
             .repaintMemory = true,
             .repaintPhone = true});
    Emit([](DebugSessionObserver& o) { o.OnCallsChanged(); });
}

bool DebugSession::Execute(RunCommand command, uint32_t cursorOffset,
                           const DebugSessionObserver* driver) {
    if (remote_ != nullptr && driver == remote_) {
        if (!IsRunCommandEnabled(command, emulator_.runState, emulator_.LongRunActive()))
            return false;
    } else if (!IsEnabled(command)) {
        return false;
    }
    CEmulator& emu = emulator_;
    const bool wasLongRun = emu.LongRunActive();
    if (!wasLongRun) runStart_ = Clock::now();
    // A breakpoint changed meanwhile leaves a run to the window that drives it.
    if (!IsBreakpointCommand(command)) driver_ = driver;
    const uint32_t cursorAddress = cursorOffset + CEmulator::kFlashBase;
    switch (command) {
        case RunCommand::kStart:
            ioMap_.Clear();
            pixels_.Clear();
            if (recordIo_) ObserveNamedRam(true);
            emu.Start(cursorAddress, doc_.Image(), doc_.ImageSize(), doc_.EmulatorRam(),
                      CEmulator::kInitialStackPointer);
            Refresh({.repaintListing = true, .repaintRegisters = true, .repaintPhone = true});
            Emit([](DebugSessionObserver& o) { o.OnCallsChanged(); });
            break;
        case RunCommand::kAnimate:
            emu.runState = CEmulator::kRunning;
            break;
        case RunCommand::kBreak:
            if (wasLongRun) {
                emu.InterruptLongRun();
                FinishLongRun(true);
            } else {
                emu.runState = CEmulator::kSuspended;
            }
            break;
        case RunCommand::kStop:
            emu.InterruptLongRun();
            scheduler_->Cancel();
            emu.runState = CEmulator::kStopped;
            Refresh({.repaintListing = true});
            Emit([](DebugSessionObserver& o) { o.OnCallsChanged(); });
            if (wasLongRun) {
                const RunEnded ended{RunStop::kNone, WatchHit{}, true};
                Emit([&](DebugSessionObserver& o) { o.OnRunEnded(ended); });
            }
            break;
        case RunCommand::kStepInto:
            emu.SaveSnapshot();
            emu.Step();
            StepRefresh();
            break;
        case RunCommand::kStepOver: {
            emu.SaveSnapshot();
            const std::optional<uint32_t> target = emu.StepOverTarget();
            if (!target) {
                emu.Step();
                StepRefresh();
                break;
            }
            Begun(emu.BeginLongRun(*target, slice_));
            break;
        }
        case RunCommand::kStepToCursor:
            emu.SaveSnapshot();
            Begun(emu.BeginLongRun(cursorAddress, slice_));
            break;
        case RunCommand::kRun:
            emu.SaveSnapshot();
            // Running: Break is enabled, and a warning suspends the run as it suspends an
            // animation.
            emu.runState = CEmulator::kRunning;
            Begun(emu.BeginFreeRun(slice_));
            break;
        case RunCommand::kToggleBreakpoint:
            ToggleBreakpoint(cursorOffset);
            Refresh({.repaintListing = true});
            break;
        case RunCommand::kClearBreakpoints:
            ClearAllBreakpoints();
            Refresh({.repaintListing = true});
            break;
        case RunCommand::kSkipToCursor:
            emu.SaveSnapshot();
            emu.SkipTo(cursorAddress);
            Refresh({.goToCurrentInstruction = true,
                     .repaintListing = true,
                     .repaintRegisters = true,
                     .repaintPhone = true});
            Emit([](DebugSessionObserver& o) { o.OnCallsChanged(); });
            break;
    }
    return true;
}

bool DebugSession::AnimationStep(const DebugSessionObserver* driver) {
    if (emulator_.runState != CEmulator::kRunning || emulator_.LongRunActive()) return false;
    return Execute(RunCommand::kStepInto, 0, driver);
}

void DebugSession::SaveState(MachineState& state) {
    emulator_.SaveState(state);
    if (recordIo_) savedIoMap_ = ioMap_;
    if (recordPixels_) savedPixels_ = pixels_;
}

void DebugSession::RewindTo(const MachineState& state, uint64_t instructions) {
    CEmulator& emu = emulator_;
    emu.RestoreState(state);
    if (recordIo_) ioMap_ = savedIoMap_;
    if (recordPixels_) pixels_ = savedPixels_;
    // As the run's command did before its first instruction: the windows compare with it.
    emu.SaveSnapshot();
    muteWarnings_ = true;
    emu.Replay(instructions);
    muteWarnings_ = false;
    emu.runState = state.runState;
    StepRefresh();
}

// A run that goes on refreshes only the windows it keeps live; the rest follows at its
// end.
void DebugSession::Begun(bool over) {
    if (over) {
        FinishLongRun(false);
        return;
    }
    Refresh({.repaintRegisters = true, .repaintPhone = true});
    slice_ = NextRunSlice(emulator_.LongRunExecuted(), RunNs());
    nextProgressNs_ = 0;
    Progress(true);
    PostSlice();
}

void DebugSession::PostSlice() {
    RunScheduler& scheduler = batch_.active ? loop_ : *scheduler_;
    scheduler.Post([this] { RunSlice(); });
}

uint64_t DebugSession::SliceSize() const {
    if (!batch_.active) return slice_;
    return std::min(slice_, batch_.limit - emulator_.LongRunExecuted());
}

// One slice of a long run, then back to the scheduler: a window paints, and Break,
// Stop or Esc may end the run before the next slice.
void DebugSession::RunSlice() {
    CEmulator& emu = emulator_;
    if (!emu.LongRunActive()) return;  // ended by Break or Stop meanwhile
    const uint64_t before = emu.LongRunExecuted();
    const int64_t startNs = RunNs();
    bool over = emu.ContinueLongRun(SliceSize());
    slice_ = NextRunSlice(emu.LongRunExecuted() - before, RunNs() - startNs);
    if (!over && batch_.active && emu.LongRunExecuted() >= batch_.limit) {
        // The bound ends a batch run where it stands, without the window's line.
        muteWarnings_ = true;
        emu.InterruptLongRun();
        muteWarnings_ = false;
        over = true;
    }
    if (over) {
        FinishLongRun(true);
        return;
    }
    Progress(false);
    PostSlice();
}

void DebugSession::FinishLongRun(bool wentOn) {
    CEmulator& emu = emulator_;
    if (!batch_.active) {
        if (emu.runState == CEmulator::kRunning) emu.runState = CEmulator::kSuspended;
        const std::string line = LongRunStopText(emu);
        if (!line.empty()) emu.ReportWarning(line);
    }
    StepRefresh();
    const RunEnded ended{emu.LongRunStop(), emu.LastWatchHit(), wentOn};
    Emit([&](DebugSessionObserver& o) { o.OnRunEnded(ended); });
}

int64_t DebugSession::RunNs() const {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - runStart_).count();
}

void DebugSession::Progress(bool now) {
    const int64_t ns = RunNs();
    if (!now && ns < nextProgressNs_) return;
    nextProgressNs_ = ns + kProgressPeriodNs;
    const RunProgress progress{emulator_.LongRunExecuted(), static_cast<double>(ns) / 1e9};
    Emit([&](DebugSessionObserver& o) { o.OnRunProgress(progress); });
}

RunResult DebugSession::RunBatch(BatchRun kind, uint32_t address, uint64_t limit) {
    CEmulator& emu = emulator_;
    if (emu.LongRunActive()) return {};
    runStart_ = Clock::now();
    emu.SaveSnapshot();
    if (kind == BatchRun::kOver) {
        const std::optional<uint32_t> target = emu.StepOverTarget();
        if (!target) {
            if (limit == 0) return {};
            emu.Step();
            StepRefresh();
            return {.reached = true, .executed = 1};
        }
        address = *target;
    }
    batch_ = {.active = true, .limit = limit};
    const uint64_t first = std::min(slice_, limit);
    const bool over =
        kind == BatchRun::kFree ? emu.BeginFreeRun(first) : emu.BeginLongRun(address, first);
    if (over)
        FinishLongRun(false);
    else
        PostSlice();  // also at the bound: RunSlice ends the run there
    loop_.RunPosted();
    batch_ = {};
    const RunStop stop = emu.LongRunStop();
    return {.reached = stop == RunStop::kArrived, .executed = emu.LongRunExecuted(), .stop = stop};
}

// --- recorders ----------------------------------------------------------------------------

void DebugSession::RecordIoAccesses(bool on) {
    if (on == recordIo_) return;
    recordIo_ = on;
    emulator_.ObservePeripherals(ioMap_, on);
    ObserveNamedRam(on);
}

// The pages of the named RAM ranges, as the document names them now.
void DebugSession::ObserveNamedRam(bool on) {
    emulator_.ObservePages(ioMap_, CEmulator::kStackBase, CEmulator::kStackSize, false);
    if (!on) return;
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    doc_.RamNames().ForEachName([&](uint32_t index, const std::string&, uint32_t count) {
        const uint32_t begin = doc_.RamBase() + index;
        ranges.emplace_back(begin, begin + count);
        emulator_.ObservePages(ioMap_, begin, count, true);
    });
    ioMap_.SetRamRanges(std::move(ranges));
}

void DebugSession::RecordPixelWriters(bool on) {
    if (on == recordPixels_) return;
    recordPixels_ = on;
    emulator_.ObservePages(pixels_, PixelWriters::kFirst, PixelWriters::kBytes, on);
}

// --- breakpoints and watchpoints ------------------------------------------------------

void DebugSession::OpenMarks(bool load) {
    emulator_.AttachFlash(doc_.Image(), doc_.ImageSize());
    emulator_.ClearBreakpoints();
    emulator_.ClearWatches();
    unsavedBreakpoints_.clear();
    unsavedWatches_.clear();
    marksUnreadable_ = false;
    marksSkipped_ = !load;
    if (marksSkipped_) return;
    const std::string path = doc_.DebugMarksPath();
    // A flash file opened under the side file's name holds no marks.
    if (path == doc_.GetPathName() || doc_.IsFlashFile(path)) return;
    std::string text;
    const ReadOutcome outcome = ReadWholeFile(path, text, kMaxDebugMarksFileSize);
    if (outcome.kind == ReadOutcome::kMissing) return;
    FrameServices& frame = doc_.Frame();
    if (outcome.kind == ReadOutcome::kUnreadable) {
        marksUnreadable_ = true;
        frame.ShowNotice(Format(kMarksUnreadable, path.c_str(), outcome.reason.c_str()));
        return;
    }
    const DebugMarksReadResult result = ReadDebugMarks(text, emulator_);
    if (result.badLines != 0)
        frame.ShowNotice(Format(kMarksDamaged, path.c_str(), result.firstBadLine,
                                result.firstBadText.c_str(), result.badLines, result.marksRead));
}

// The side file is deleted when no mark is left, so that images without any keep no
// file beside them.
bool DebugSession::SaveMarks() {
    if (marksSkipped_) return true;
    FrameServices& frame = doc_.Frame();
    const std::string path = doc_.DebugMarksPath();
    if (path == doc_.GetPathName() || doc_.IsFlashFile(path)) {
        frame.ShowMessage(doc_.FlashFileRefusal(path));
        return false;
    }
    if (marksUnreadable_) {
        frame.ShowMessage(Format(kMarksNotReplaced, path.c_str()));
        return false;
    }
    if (const char* problem = TargetProblem(KindOfTarget(path))) {
        frame.ShowMessage(Format(docmsg::kSaveRefused, path.c_str(), problem));
        return false;
    }
    FileIo& io = doc_.Files();
    ApplyUnsavedMarks(false);
    const std::string bytes = WriteDebugMarks(emulator_);
    ApplyUnsavedMarks(true);
    const bool ok = bytes.empty() ? io.Unlink(path.c_str()) == 0 || errno == ENOENT
                                  : WriteFileAtomically(io, path, bytes);
    if (!ok) frame.ShowMessage(Format(kMarksNotWritten, path.c_str()));
    return ok;
}

void DebugSession::ApplyUnsavedMarks(bool on) {
    for (const uint32_t address : unsavedBreakpoints_) emulator_.SetBreakpoint(address, on);
    for (const auto& [address, kinds] : unsavedWatches_) emulator_.SetWatch(address, 1, kinds, on);
}

bool DebugSession::ToggleBreakpoint(uint32_t offset) {
    const uint32_t address = CEmulator::kFlashBase + offset;
    if (doc_.Image() == nullptr ||
        !emulator_.SetBreakpoint(address, !emulator_.IsBreakpoint(address))) {
        doc_.Frame().ShowMessage(Format(kNoBreakpointHere, address));
        return false;
    }
    return SaveMarks();
}

bool DebugSession::SetBreakpoint(uint32_t address, bool on, bool save) {
    if (doc_.Image() == nullptr || !emulator_.CanBreakAt(address)) return false;
    const bool was = emulator_.IsBreakpoint(address);
    const bool unsaved = std::erase(unsavedBreakpoints_, address) != 0;
    if (!save) {
        // The remote's own: set where none was, taken away only where it set one.
        if (on && (!was || unsaved)) unsavedBreakpoints_.push_back(address);
        if (on || unsaved) emulator_.SetBreakpoint(address, on);
        return true;
    }
    emulator_.SetBreakpoint(address, on);
    return SaveMarks();
}

bool DebugSession::ClearAllBreakpoints() {
    if (emulator_.Breakpoints().empty()) return true;
    emulator_.ClearBreakpoints();
    unsavedBreakpoints_.clear();
    return SaveMarks();
}

bool DebugSession::SetWatchRange(uint32_t address, uint32_t length, uint8_t kinds, bool on,
                                 bool save) {
    if (!IsWatchableRange(address, length)) {
        doc_.Frame().ShowMessage(Format(kNoWatchHere, address, length, CEmulator::kStackBase,
                                        CEmulator::kStackBase + CEmulator::kStackSize - 1));
        return false;
    }
    if (!save && !on) {
        // Only what the remote added goes: a kind the user has on a byte stays.
        for (uint32_t a = address; a < address + length; ++a) {
            const auto mark = unsavedWatches_.find(a);
            if (mark == unsavedWatches_.end()) continue;
            emulator_.SetWatch(a, 1, mark->second & kinds, false);
            mark->second &= static_cast<uint8_t>(~kinds);
            if (mark->second == 0) unsavedWatches_.erase(mark);
        }
        return true;
    }
    // The remote's new kinds are noted; a kind the user sets is the user's from then on.
    for (uint32_t a = address; (!save || !unsavedWatches_.empty()) && a < address + length; ++a) {
        const auto mark = unsavedWatches_.find(a);
        const uint8_t had = mark == unsavedWatches_.end() ? 0 : mark->second;
        const uint8_t left = save ? had & ~kinds : had | (kinds & ~emulator_.WatchAt(a));
        if (left != 0)
            unsavedWatches_[a] = left;
        else if (mark != unsavedWatches_.end())
            unsavedWatches_.erase(mark);
    }
    emulator_.SetWatch(address, length, kinds, on);
    return !save || SaveMarks();
}

bool DebugSession::ClearAllWatchpoints() {
    if (!emulator_.HasWatches()) return true;
    emulator_.ClearWatches();
    unsavedWatches_.clear();
    return SaveMarks();
}
