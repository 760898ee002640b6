#pragma once

#include <cstdint>
#include <algorithm>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "emulator/MemoryBus.h"
#include "emulator/Processor.h"

// One call seen by a call-track list: the address of the call and where it went.
struct CallRecord {
    uint32_t callSite = 0;
    uint32_t target = 0;
};

// Why a run ended before its instruction bound.
enum class RunStop : uint8_t {
    kNone,        // it used up its bound (or is still under way)
    kArrived,     // the current instruction is at the run's address
    kBreakpoint,  // the current instruction has a breakpoint; it has not run
    kReadWatch,   // the last instruction read a watched byte
    kWriteWatch,  // the last instruction wrote a watched byte
    kWarning,     // the last instruction wrote a warning (free runs only)
};

// The access that hit a watchpoint: its address, the value read or written (size
// 1, 2 or 4 bytes) and the address of the instruction that made it.
struct WatchHit {
    uint32_t address = 0;
    uint32_t value = 0;
    uint32_t instruction = 0;
    uint8_t size = 0;
    bool write = false;
};

// The outcome of a bounded run.
struct RunResult {
    bool reached = false;   // the run ended at its address
    uint64_t executed = 0;  // instructions executed by this call
    RunStop stop = RunStop::kNone;
};

// Everything of the machine the emulated code can change, taken whole so that a run can
// be gone back on: the processor, the stack RAM, the I/O registers and the low window, the
// follow marks, the run state with its "previous" values and the emulated calls (not the
// listing's browsing trail). The emulator is deterministic: restored and run again, it
// does the same.
struct MachineState {
    uint32_t r[16] = {};
    uint32_t cpsr = 0;
    uint16_t thumbInstruction = 0;
    uint32_t armInstruction = 0;
    std::vector<uint8_t> stack;  // kStackSize bytes, or none when no stack RAM is mapped
    IoRegister ioRegisters[MemoryBus::kMaxIoRegisters];
    int32_t ioRegisterCount = 0;
    uint32_t ioWritten = 0;
    uint8_t lowWindow[1024] = {};
    LatestAccesses followMarks;
    uint32_t runState = 0;
    uint32_t previousR[16] = {};
    uint32_t previousCpsr = 0;
    std::vector<CallRecord> calls;  // call track 1
    uint32_t initialSp = 0;
    uint64_t instructionCount = 0;
};

// The emulated ARM7TDMI: THUMB interpreter with a tiny ARM state (BX LR only), the
// phone's memory map and the call tracking of the run commands. Problems in the
// emulated code never stop it: they become warning lines and execution goes on.
//
// It is made of the processor's state (Processor.h) and the memory map (MemoryBus.h);
// here are the execution of both (single steps, runs of decoded blocks), the
// breakpoints, the long runs and the call tracks. The processor comes first, then
// the memory map's fast-path fields: what the run loop touches shares a few lines.
class CEmulator : public Processor, public MemoryBus, private MemoryBus::Owner {
  public:
    static constexpr uint32_t kInitialStackPointer = 0x10EAC0;
    static constexpr uint64_t kUnbounded = ~uint64_t{0};

    enum RunState : uint32_t { kStopped = 0, kSuspended = 1, kRunning = 2 };

    CEmulator();
    CEmulator(const CEmulator&) = delete;
    CEmulator& operator=(const CEmulator&) = delete;

    // Opens an emulation at `startAddress`. The flash image (flashSize bytes, never
    // written) and the 64 KB stack RAM stay the caller's; registers other than SP and
    // PC, the I/O registers and the call tracks keep their values.
    void Start(uint32_t startAddress, const uint8_t* flashBytes, uint32_t flashSize,
               uint8_t* stackBytes, uint32_t stackPointer);
    // Makes the flash image known before any Start, so that breakpoints can be set.
    void AttachFlash(const uint8_t* flashBytes, uint32_t flashSize);
    // Copies the registers, the flags and (when written) the I/O register values as
    // the "previous" state the windows compare with.
    void SaveSnapshot();

    // Takes or puts back the whole machine (MachineState). A run under way is not part of
    // it: restore only between runs.
    void SaveState(MachineState& state);
    void RestoreState(const MachineState& state);
    // Executes `count` instructions as a run does, stopping at no breakpoint, watchpoint
    // or warning (the warnings still go to the sink); returns how many ran. The last
    // watchpoint hit stays as it was.
    uint64_t Replay(uint64_t count);

    // Stores a register: index 0-15, or kCpsrIndex (the flags are taken from it). A new
    // R15 is a jump: once the emulation has started, the instruction there is fetched in
    // the current state, so that the next step runs it (R15 then reads 4 or 8 ahead).
    void SetRegister(int index, uint32_t value);

    // One instruction in the current state.
    void Step() {
        pendingStop_ = RunStop::kNone;  // a step records every watchpoint hit
        accessNumber_ = instructionCount_ + 1;
        if (cpsr & kThumbBit)
            StepThumb();
        else
            StepArm();
        ++instructionCount_;
    }
    // Instructions executed since Start, by steps and runs alike.
    uint64_t InstructionCount() const { return instructionCount_; }
    // For an observer, inside OnAccess: the number of the instruction making the access
    // (1 for the first after Start), which is InstructionCount() once it has run. Runs keep
    // it only while the bus has observers, and only on the slow paths they see.
    uint64_t AccessInstructionNumber() const { return accessNumber_; }
    void StepThumb();
    void StepArm();
    // After a Step: the watchpoint stop it would have made in a run, or kNone.
    RunStop StepStop() const { return pendingStop_; }
    // Passes the line to the sink; a warning suspends an animation.
    void ReportWarning(const std::string& text);

    // --- run control ---------------------------------------------------------------
    // Steps at least once, then until the current instruction is at `address`, has a
    // breakpoint, or follows one that hit a watchpoint, or maxInstructions have run.
    // A breakpoint on the instruction the run starts on does not stop it.
    RunResult RunUntil(uint32_t address, uint64_t maxInstructions);
    // The same without an address, stopping after an instruction that wrote a warning
    // too: the free run of the Run command.
    RunResult RunFree(uint64_t maxInstructions);
    // One Step, or a run to StepOverTarget() of at most maxInstructions.
    RunResult StepOver(uint64_t maxInstructions);
    // Moves the current instruction to `address` without executing anything.
    void SkipTo(uint32_t address);

    // A run to an address that may never be reached, or a free run (Run), in slices:
    // the window runs one slice at a time and stays live in between. Begin runs the
    // first slice. Begin and Continue return true when the run is over: it arrived or
    // stopped (LongRunStop() says why).
    bool BeginLongRun(uint32_t address, uint64_t slice);
    bool BeginFreeRun(uint64_t slice);
    bool ContinueLongRun(uint64_t slice);
    // Ends an unfinished run where it stands, with a warning line that says so.
    void InterruptLongRun();
    bool LongRunActive() const { return longRunActive_; }
    bool LongRunIsFree() const { return longRunFree_; }
    uint64_t LongRunExecuted() const { return longRunExecuted_; }
    uint32_t LongRunTarget() const { return longRunTarget_; }
    RunStop LongRunStop() const { return longRunStop_; }
    // The access of the last watchpoint stop.
    const WatchHit& LastWatchHit() const { return watchHit_; }

    // --- breakpoints (watchpoints and observers: MemoryBus.h) ---------------------
    // Breakpoints sit on flash halfwords (phone addresses 0x200000 + offset, inside
    // the image); others are refused (false).
    bool SetBreakpoint(uint32_t address, bool on);
    bool CanBreakAt(uint32_t address) const {
        return !(address & 1) && address - kFlashBase < flashHalfLimit_;
    }
    // Sets a breakpoint on each of `addresses` (those that cannot hold one are skipped)
    // and drops the decoded blocks once for all of them, not once per breakpoint.
    void SetBreakpoints(std::span<const uint32_t> addresses);
    bool IsBreakpoint(uint32_t address) const {
        const uint32_t half = (address - kFlashBase) >> 1;
        return !(address & 1) && half < breakBits_.size() * 64 &&
               ((breakBits_[half >> 6] >> (half & 63)) & 1);
    }
    void ClearBreakpoints();
    std::vector<uint32_t> Breakpoints() const;  // ascending

    // Compares a return to R15 with the top record of list 1 (see CheckReturn in the
    // .cpp for the rules); call after R15 holds the return target.
    void CheckReturn();
    // Code built for ARMv4T returns with BX (BX LR, or POP {Rx} then BX Rx): a BX to
    // where the newest call of list 1 returns ends that call. A BX anywhere else is
    // not compared (it may be a jump through a register). Call after R15 holds the
    // target.
    void CheckBxReturn();
    // Tells the call-track sink (when installed) that list 1 changed.
    void NotifyCallTrack() {
        if (!callTrackSink) return;
        TrimCallTrack();
        callTrackSink();
    }

    // --- call tracks (0: the listing's browsing trail, 1: the emulated calls) --------
    // List 1 keeps the newest kCallTrackLimit records: compiled code that returns with
    // BX leaves one per call, and returns compare with the newest record only.
    static constexpr size_t kCallTrackLimit = 65536;
    void PushCallRecord(uint32_t callSite, uint32_t target, int list);
    // false for an empty list; otherwise `value` = the last record's callSite, and
    // the record is removed when `remove` is set.
    bool TakeLastCallRecord(uint32_t& value, int list, bool remove);

  private:
    RunResult Run(uint32_t address, uint64_t maxInstructions, bool stopOnWarning,
                  bool breakOnFirst);
    // What the memory map reports from its slow paths.
    void OnBusWarning(const char* line) override { ReportWarning(line); }
    // An observer asked for a stop after `access`: the first in a run makes its watch hit.
    void OnObservedStop(const MemoryAccess& access) override;
    void OnFlashObservationChanged() override { FlushBlocks(); }

    // What a run checks between blocks, after memory operations and on calls, first.
    // Set inside a run when an instruction hit a watchpoint or (free runs) warned;
    // the run stops after that instruction.
    RunStop pendingStop_ = RunStop::kNone;
    bool stopOnWarning_ = false;
    bool inRun_ = false;
    // One bit per flash halfword of the window, and how many are set.
    uint32_t breakCount_ = 0;
    std::vector<uint64_t> breakBits_;
    size_t callTrackDropped_ = 0;

    // List 1 beyond kCallTrackLimit: the oldest `callTrackDropped_` records are gone
    // already but, inside a run, still stored (erased once per 64K calls, not once
    // per call). Every way out of the run, and every callback, sees them erased.
    void TrimCallTrack() {
        if (callTrackDropped_ == 0) return;
        std::vector<CallRecord>& track = callTracks[1];
        track.erase(track.begin(), track.begin() + static_cast<ptrdiff_t>(callTrackDropped_));
        callTrackDropped_ = 0;
    }

    bool longRunActive_ = false;
    bool longRunFree_ = false;
    uint64_t longRunExecuted_ = 0;
    uint32_t longRunTarget_ = 0;
    RunStop longRunStop_ = RunStop::kNone;

    // The decoded blocks are the caller's to drop after a change (true: it changed).
    bool ChangeBreakBit(uint32_t address, bool on);
    // Returns 1 + the index of the block's header in decoded_, or 0 when the
    // instruction at `address` cannot start one (BlockRun.cpp).
    uint32_t BuildBlock(uint32_t address, const void* const* labels);

    WatchHit watchHit_;
    uint64_t instructionCount_ = 0;
    uint64_t accessNumber_ = 0;

  public:
    // --- fields ----------------------------------------------------------------------
    uint32_t runState = kStopped;
    uint32_t previousR[16] = {};
    uint32_t previousCpsr = 0;
    std::function<void(const std::string&)> warningSink;
    // Called after every change of list 1 by the emulated code (a call, a checked
    // return), where the window rebuilds its call stack tree.
    std::function<void()> callTrackSink;
    std::vector<CallRecord> callTracks[2];
    uint32_t initialSp = 0xFFFFFFFF;
};
