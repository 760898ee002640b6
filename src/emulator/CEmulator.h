#pragma once

#include <cstdint>
#include <algorithm>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "emulator/AccessObserver.h"
#include "emulator/Watchpoints.h"

// One peripheral byte register of the emulated phone.
struct IoRegister {
    uint32_t address = 0;
    uint8_t value = 0;
    uint8_t previousValue = 0;
    uint32_t wasRead = 0;     // set on the first emulated read, never cleared
    uint32_t wasWritten = 0;  // set on the first emulated write, never cleared
};

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

// The registers as the emulated code sees them, with the flags composed into the CPSR.
struct RegisterFile {
    uint32_t r[16] = {};
    uint32_t cpsr = 0;
};

// The outcome of a bounded run.
struct RunResult {
    bool reached = false;   // the run ended at its address
    uint64_t executed = 0;  // instructions executed by this call
    RunStop stop = RunStop::kNone;
};

// The emulated ARM7TDMI: THUMB interpreter with a tiny ARM state (BX LR only), the
// phone's memory map and the call tracking of the run commands. Problems in the
// emulated code never stop it: they become warning lines and execution goes on.
class CEmulator {
  public:
    static constexpr uint32_t kStackBase = 0x100000;
    static constexpr uint32_t kStackSize = 0x10000;
    static constexpr uint32_t kFlashBase = 0x200000;
    static constexpr uint32_t kFlashWindow = 0x100000;
    static constexpr uint32_t kInitialStackPointer = 0x10EAC0;
    static constexpr uint32_t kThumbBit = 0x20;
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
    [[gnu::always_inline]] uint32_t ComposeCpsr() { return cpsr = ComposedCpsr(); }
    [[gnu::always_inline]] uint32_t ComposedCpsr() const {
        return (cpsr & 0x0FFFFFFFu) | (uint32_t{negativeFlag != 0} << 31) |
               (uint32_t{zeroFlag != 0} << 30) | (uint32_t{carryFlag != 0} << 29) |
               (uint32_t{overflowFlag != 0} << 28);
    }

    // --- registers and memory from outside the emulated code ---------------------------
    // A snapshot of R0-R15 and the composed CPSR.
    RegisterFile Registers() const;
    // Stores a register: index 0-15, or kCpsrIndex (the flags are taken from it). A new
    // R15 is a jump: once the emulation has started, the instruction there is fetched in
    // the current state, so that the next step runs it (R15 then reads 4 or 8 ahead).
    static constexpr int kCpsrIndex = 16;
    void SetRegister(int index, uint32_t value);
    // Reads `size` (1, 2 or 4) bytes at any alignment, big-endian, as they are stored: the
    // stack RAM, the flash image, the I/O registers' values, the low window. No warning,
    // no access mark, no observer, no I/O read flag. None when a byte is in no area.
    std::optional<uint32_t> Peek(uint32_t address, uint32_t size = 1) const;
    // Stores the same way; refused (false, nothing stored) when a byte is in the flash
    // image or in no area. An I/O register keeps its written flags.
    bool Poke(uint32_t address, uint32_t value, uint32_t size = 1);

    // One instruction in the current state.
    void Step() {
        pendingStop_ = RunStop::kNone;  // a step records every watchpoint hit
        if (cpsr & kThumbBit)
            StepThumb();
        else
            StepArm();
    }
    void StepThumb();
    void StepArm();
    // The halfword at `address` as an instruction fetch (MemoryPaths.h).
    [[gnu::always_inline]] inline uint16_t FetchThumb(uint32_t address);
    // Passes the line to the sink; a warning suspends an animation.
    void ReportWarning(const std::string& text);

    // --- run control ---------------------------------------------------------------
    // The address of the instruction the emulator is at: R15 runs 4 bytes ahead of it.
    uint32_t CurrentInstruction() const { return r[15] - 4; }
    // Steps at least once, then until the current instruction is at `address`, has a
    // breakpoint, or follows one that hit a watchpoint, or maxInstructions have run.
    // A breakpoint on the instruction the run starts on does not stop it.
    RunResult RunUntil(uint32_t address, uint64_t maxInstructions);
    // The same without an address, stopping after an instruction that wrote a warning
    // too: the free run of the Run command.
    RunResult RunFree(uint64_t maxInstructions);
    // Where a Step Over of the current instruction runs to: the address after a
    // BL (any halfword of class 0xF000), none when Step Over is a single step.
    std::optional<uint32_t> StepOverTarget() const {
        if ((thumbInstruction & 0xF000) < 0xF000) return std::nullopt;
        return r[15];
    }
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

    // --- breakpoints and watchpoints ------------------------------------------------
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
    // Watchpoints sit on bytes of the stack RAM (0x100000-0x10FFFF); a range is
    // clipped to it. An access hits when any byte it covers is watched for its kind.
    static constexpr uint8_t kWatchRead = 1;
    static constexpr uint8_t kWatchWrite = 2;
    void SetWatch(uint32_t address, uint32_t length, uint8_t kinds, bool on);
    uint8_t WatchAt(uint32_t address) const { return watches_.At(address - kStackBase); }
    void ClearWatches();
    bool HasWatches() const { return watches_.Any(); }

    // --- observers -------------------------------------------------------------------
    // Calls `observer` for every access of the emulated code that touches the stack RAM
    // pages of [address, address + length) (256 bytes each; outside the RAM: none), or
    // stops that (on = false); an observer with no page left is dropped. Observers are
    // called in the order they came; none may add or remove observers from OnAccess.
    void ObservePages(AccessObserver& observer, uint32_t address, uint32_t length, bool on);
    // Observes every access the emulated code makes to the peripherals: the I/O registers
    // and the low window (the observer takes the addresses it cares about itself). These
    // areas have no fast paths: while no one observes them a run pays nothing for it.
    void ObservePeripherals(AccessObserver& observer, bool on);
    // Ends both kinds of observation.
    void RemoveObserver(AccessObserver& observer);
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

    // --- memory ----------------------------------------------------------------------
    // The fast paths cover the stack RAM and the flash image; everything else, with
    // every warning and marker value, is in Memory.cpp. `beforeSlow` runs before the
    // slow path only (the run loop sets R15 there, which warnings name).
    struct NoHook {
        void operator()() const {}
    };
    // The fast paths are in MemoryPaths.h, which the emulator's own files include.
    template <class Hook = NoHook>
    [[gnu::always_inline]] inline uint8_t ReadByte(uint32_t address, Hook beforeSlow = {});
    template <class Hook = NoHook>
    [[gnu::always_inline]] inline uint16_t ReadHalf(uint32_t address, bool execute,
                                                    Hook beforeSlow = {});
    template <class Hook = NoHook>
    [[gnu::always_inline]] inline uint32_t ReadWord(uint32_t address, Hook beforeSlow = {});
    template <class Hook = NoHook>
    [[gnu::always_inline]] inline void WriteByte(uint32_t address, uint8_t value,
                                                 Hook beforeSlow = {});
    template <class Hook = NoHook>
    [[gnu::always_inline]] inline void WriteHalf(uint32_t address, uint16_t value,
                                                 Hook beforeSlow = {});
    template <class Hook = NoHook>
    [[gnu::always_inline]] inline void WriteWord(uint32_t address, uint32_t value,
                                                 Hook beforeSlow = {});

    // --- fields ----------------------------------------------------------------------
    uint32_t runState = kStopped;
    uint32_t r[16] = {};
    uint32_t previousR[16] = {};
    uint32_t cpsr = 0;
    uint32_t previousCpsr = 0;
    uint32_t armInstruction = 0;
    uint16_t thumbInstruction = 0;
    uint32_t zeroFlag = 0;
    uint32_t negativeFlag = 0;
    uint32_t carryFlag = 0;
    uint32_t overflowFlag = 0;
    // Inside the run loop's blocks N and Z are the sign and zeroness of this value
    // (one store per operation instead of two flags); out of them, the fields above.
    uint32_t nzValue = 0;
    uint8_t* stackMemory = nullptr;        // kStackSize bytes, at kStackBase
    const uint8_t* flashMemory = nullptr;  // flashSize bytes, at kFlashBase
    uint32_t flashSize = 0;
    IoRegister ioRegisters[100];
    uint8_t lowWindow[1024] = {};
    uint32_t ioWritten = 0;
    int32_t ioRegisterCount = 0;
    std::function<void(const std::string&)> warningSink;
    // Called after every change of list 1 by the emulated code (a call, a checked
    // return), where the window rebuilds its call stack tree.
    std::function<void()> callTrackSink;
    std::vector<CallRecord> callTracks[2];
    uint32_t initialSp = 0xFFFFFFFF;
    // The latest stack RAM read and write, which the Memory Dump follows.
    LatestAccesses followMarks;

  private:
    uint8_t ReadByteSlow(uint32_t address);
    uint16_t ReadHalfSlow(uint32_t address, bool execute);
    uint32_t ReadWordSlow(uint32_t address);
    void WriteByteSlow(uint32_t address, uint8_t value);
    void WriteHalfSlow(uint32_t address, uint16_t value);
    void WriteWordSlow(uint32_t address, uint32_t value);
    // Formats a warning line (printf rules) and reports it.
    void Warn(const char* format, ...) __attribute__((format(printf, 2, 3)));
    RunResult Run(uint32_t address, uint64_t maxInstructions, bool stopOnWarning,
                  bool breakOnFirst);
    // The stack RAM's fast paths are open while it exists, except on observed pages.
    void UpdateFastPaths() {
        const bool fast = stackMemory != nullptr;
        stackFastSize_ = fast ? kStackSize : 0;
        stackFastRegion_ = fast ? 1 : ~0u;
    }
    // An access of the stack RAM, which the slow paths report: to the follow marks, and
    // to the observers of the pages it touches (the RAM repeats through 0x100000-0x1FFFFF
    // for writes, so the page is the offset's).
    void Observe(uint32_t address, uint32_t size, uint32_t value, AccessKind kind) {
        const MemoryAccess access{r[15] - 4, address, value, static_cast<uint8_t>(size), kind};
        followMarks.OnAccess(access);
        if (observedPageCount_ == 0) return;
        const uint32_t first = (address & 0xFFFF) >> 8;
        const uint32_t last = ((address + size - 1) & 0xFFFF) >> 8;
        if (observedPages_[first] | observedPages_[last]) NotifyObservers(access, first, last);
    }
    void NotifyObservers(const MemoryAccess& access, uint32_t first, uint32_t last);
    // An access of an I/O register or the low window, which the slow paths report.
    void ObservePeripheral(uint32_t address, uint32_t size, uint32_t value, AccessKind kind) {
        if (peripheralObservers_.empty()) return;
        NotifyPeripheralObservers({r[15] - 4, address, value, static_cast<uint8_t>(size), kind});
    }
    void NotifyPeripheralObservers(const MemoryAccess& access);
    // An observer asked for a stop after `access`: the first in a run makes its watch hit.
    void RecordObservedStop(const MemoryAccess& access);
    const uint8_t* ByteAt(uint32_t address) const;

    // List 1 beyond kCallTrackLimit: the oldest `callTrackDropped_` records are gone
    // already but, inside a run, still stored (erased once per 64K calls, not once
    // per call). Every way out of the run, and every callback, sees them erased.
    void TrimCallTrack() {
        if (callTrackDropped_ == 0) return;
        std::vector<CallRecord>& track = callTracks[1];
        track.erase(track.begin(), track.begin() + static_cast<ptrdiff_t>(callTrackDropped_));
        callTrackDropped_ = 0;
    }
    size_t callTrackDropped_ = 0;
    bool inRun_ = false;

    bool longRunActive_ = false;
    bool longRunFree_ = false;
    uint64_t longRunExecuted_ = 0;
    uint32_t longRunTarget_ = 0;
    RunStop longRunStop_ = RunStop::kNone;

    // One bit per flash halfword of the window; a breakpoint count for the run loop.
    // The decoded blocks are the caller's to drop after a change (true: it changed).
    bool ChangeBreakBit(uint32_t address, bool on);
    std::vector<uint64_t> breakBits_;
    uint32_t breakCount_ = 0;
    // The watch kinds per stack RAM byte: an observer of the pages that hold any.
    Watchpoints watches_;
    // The observers with their pages (a bit per 256-byte page of the stack RAM), and per
    // page how many observe it: the fast paths pass every observed page by.
    struct ObserverPages {
        AccessObserver* observer;
        uint64_t pages[kStackSize / 256 / 64];
        bool Has(uint32_t page) const { return (pages[page >> 6] >> (page & 63)) & 1; }
    };
    std::vector<ObserverPages> observers_;
    uint8_t observedPages_[kStackSize / 256] = {};
    uint32_t observedPageCount_ = 0;
    std::vector<AccessObserver*> peripheralObservers_;
    uint32_t stackFastSize_ = 0;
    uint32_t stackFastRegion_ = ~0u;
    // Runs are made of blocks of decoded instructions (BlockRun.cpp): a block starts
    // at a flash halfword and ends at the first instruction that may branch. Flash is
    // never written, so a block stays right until the image or a breakpoint changes.
    struct DecodedOp {
        union {
            const void* handler;  // an operation: the run loop's label for it
            uint32_t next[2];     // a block's header: 1 + the header index of the block its
                                  // end goes to, taken / not taken (0: not looked up yet)
        };
        uint32_t imm;     // immediate, constant or target
        uint8_t d, s, n;  // register fields
        uint8_t index;    // halfwords from the block's start
    };
    // Returns 1 + the index of the block's header in decoded_, or 0 when the
    // instruction at `address` cannot start one.
    uint32_t BuildBlock(uint32_t address, const void* const* labels);
    void FlushBlocks() {
        ++flushes_;
        decoded_.clear();
        std::fill(blockAt_.begin(), blockAt_.end(), 0);
    }
    std::vector<DecodedOp> decoded_;
    std::vector<uint32_t> blockAt_;  // per flash halfword of the window
    uint32_t flushes_ = 0;

    // Set inside a run when an instruction hit a watchpoint or (free runs) warned;
    // the run stops after that instruction.
    RunStop pendingStop_ = RunStop::kNone;
    bool stopOnWarning_ = false;
    WatchHit watchHit_;
    IoRegister* FindIoRegister(uint32_t address);

    // Flash offsets below these limits can be read as a whole byte / halfword / word.
    uint32_t flashByteLimit_ = 0;
    uint32_t flashHalfLimit_ = 0;
    uint32_t flashWordLimit_ = 0;
};
