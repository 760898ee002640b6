#include "emulator/MemoryPaths.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {

constexpr uint32_t kArmBxLr = 0x012FFF1E;
// No current instruction is ever at an odd address: the address of a free run.
constexpr uint32_t kNoAddress = 1;

}  // namespace

CEmulator::CEmulator() : MemoryBus(r[15], *this) {}

void CEmulator::AttachFlash(const uint8_t* flashBytes, uint32_t size) {
    const uint32_t window = MapFlash(flashBytes, size);
    ResetBlocks(window / 2);
    breakBits_.resize((window / 2 + 63) / 64);
    // Breakpoints past the end of a shorter image are gone.
    if (window / 2 % 64 != 0 && !breakBits_.empty())
        breakBits_.back() &= (uint64_t{1} << (window / 2 % 64)) - 1;
    breakCount_ = 0;
    for (uint64_t bits : breakBits_) breakCount_ += static_cast<uint32_t>(__builtin_popcountll(bits));
}

void CEmulator::Start(uint32_t startAddress, const uint8_t* flashBytes, uint32_t size,
                      uint8_t* stackBytes, uint32_t stackPointer) {
    MapStack(stackBytes);
    AttachFlash(flashBytes, size);
    initialSp = stackPointer;
    r[13] = stackPointer;
    cpsr = 0xF3;
    zeroFlag = negativeFlag = carryFlag = overflowFlag = 0;
    r[15] = startAddress;
    runState = kSuspended;
    thumbInstruction = FetchThumb(startAddress);
    r[15] = startAddress + 4;
    instructionCount_ = 0;
    ReportWarning("");
    Warn("Start emulation from %.8X", startAddress);
}

void CEmulator::SaveSnapshot() {
    std::copy(std::begin(r), std::end(r), std::begin(previousR));
    previousCpsr = ComposeCpsr();
    SaveIoSnapshot();
}

void CEmulator::SaveState(MachineState& state) {
    TrimCallTrack();
    std::copy(std::begin(r), std::end(r), std::begin(state.r));
    state.cpsr = ComposeCpsr();
    state.thumbInstruction = thumbInstruction;
    state.armInstruction = armInstruction;
    if (stackMemory)
        state.stack.assign(stackMemory, stackMemory + kStackSize);
    else
        state.stack.clear();
    std::copy(std::begin(ioRegisters), std::end(ioRegisters), std::begin(state.ioRegisters));
    state.ioRegisterCount = ioRegisterCount;
    state.ioWritten = ioWritten;
    std::copy(std::begin(lowWindow), std::end(lowWindow), std::begin(state.lowWindow));
    state.followMarks = followMarks;
    state.runState = runState;
    std::copy(std::begin(previousR), std::end(previousR), std::begin(state.previousR));
    state.previousCpsr = previousCpsr;
    state.calls = callTracks[1];
    state.initialSp = initialSp;
    state.instructionCount = instructionCount_;
}

void CEmulator::RestoreState(const MachineState& state) {
    std::copy(std::begin(state.r), std::end(state.r), std::begin(r));
    SetCpsr(state.cpsr);
    nzValue = 0;
    thumbInstruction = state.thumbInstruction;
    armInstruction = state.armInstruction;
    if (stackMemory && state.stack.size() == kStackSize)
        std::copy(state.stack.begin(), state.stack.end(), stackMemory);
    std::copy(std::begin(state.ioRegisters), std::end(state.ioRegisters), std::begin(ioRegisters));
    ioRegisterCount = state.ioRegisterCount;
    ioWritten = state.ioWritten;
    std::copy(std::begin(state.lowWindow), std::end(state.lowWindow), std::begin(lowWindow));
    followMarks = state.followMarks;
    runState = state.runState;
    std::copy(std::begin(state.previousR), std::end(state.previousR), std::begin(previousR));
    previousCpsr = state.previousCpsr;
    callTracks[1] = state.calls;
    callTrackDropped_ = 0;
    initialSp = state.initialSp;
    instructionCount_ = state.instructionCount;
    pendingStop_ = RunStop::kNone;
}

uint64_t CEmulator::Replay(uint64_t count) {
    const WatchHit hit = watchHit_;
    uint64_t done = 0;
    // A run stops at breakpoints and after watchpoint hits: each stop is passed by, and
    // the run goes on (a breakpoint on the first instruction of a run does not stop it).
    while (done < count) {
        const RunResult result = Run(kNoAddress, count - done, false, false);
        if (result.executed == 0) break;
        done += result.executed;
    }
    watchHit_ = hit;
    return done;
}

void CEmulator::StepArm() {
    if ((armInstruction & 0x0FFFFFFF) == kArmBxLr) {
        r[15] = r[14] & ~1u;
        CheckReturn();
        if (r[14] & 1) {
            cpsr |= kThumbBit;
            thumbInstruction = FetchThumb(r[15]);
            r[15] += 4;
        } else {
            armInstruction = ReadWord(r[15]);
            r[15] += 8;
        }
        return;
    }
    armInstruction = ReadWord(r[15] - 4);
    r[15] += 4;
    Warn("%.8X: WARNING: ARM emulation not implemented", r[15] - 4);
}

void CEmulator::ReportWarning(const std::string& text) {
    if (stopOnWarning_ && pendingStop_ == RunStop::kNone) pendingStop_ = RunStop::kWarning;
    TrimCallTrack();
    if (warningSink) warningSink(text);
    if (runState == kRunning) runState = kSuspended;
}

RunResult CEmulator::StepOver(uint64_t maxInstructions) {
    if (const auto target = StepOverTarget()) return RunUntil(*target, maxInstructions);
    if (maxInstructions == 0) return {};
    Step();
    return {true, 1};
}

bool CEmulator::BeginLongRun(uint32_t address, uint64_t slice) {
    longRunActive_ = true;
    longRunFree_ = false;
    longRunExecuted_ = 0;
    longRunTarget_ = address;
    longRunStop_ = RunStop::kNone;
    return ContinueLongRun(slice);
}

bool CEmulator::BeginFreeRun(uint64_t slice) {
    longRunActive_ = true;
    longRunFree_ = true;
    longRunExecuted_ = 0;
    longRunTarget_ = 0;
    longRunStop_ = RunStop::kNone;
    return ContinueLongRun(slice);
}

bool CEmulator::ContinueLongRun(uint64_t slice) {
    if (!longRunActive_) return true;
    // Only the run's very first instruction may sit on a breakpoint and still run.
    const bool first = longRunExecuted_ == 0;
    const RunResult result = Run(longRunFree_ ? kNoAddress : longRunTarget_, slice,
                                 longRunFree_, !first);
    longRunExecuted_ += result.executed;
    longRunStop_ = result.stop;
    if (result.stop != RunStop::kNone) longRunActive_ = false;
    return !longRunActive_;
}

void CEmulator::InterruptLongRun() {
    if (!longRunActive_) return;
    longRunActive_ = false;
    if (longRunFree_)
        Warn("Run stopped at %.8X after %llu instructions", r[15] - 4,
             static_cast<unsigned long long>(longRunExecuted_));
    else
        Warn("Run to %.8X stopped at %.8X after %llu instructions", longRunTarget_, r[15] - 4,
             static_cast<unsigned long long>(longRunExecuted_));
}

RunResult CEmulator::RunUntil(uint32_t address, uint64_t maxInstructions) {
    return Run(address, maxInstructions, false, false);
}

RunResult CEmulator::RunFree(uint64_t maxInstructions) {
    return Run(kNoAddress, maxInstructions, true, false);
}

bool CEmulator::ChangeBreakBit(uint32_t address, bool on) {
    const uint32_t half = (address - kFlashBase) >> 1;
    uint64_t& word = breakBits_[half >> 6];
    const uint64_t bit = uint64_t{1} << (half & 63);
    if (on == ((word & bit) != 0)) return false;
    word ^= bit;
    if (on)
        ++breakCount_;
    else
        --breakCount_;
    return true;
}

bool CEmulator::SetBreakpoint(uint32_t address, bool on) {
    if (!CanBreakAt(address)) return false;
    if (ChangeBreakBit(address, on)) FlushBlocks();
    return true;
}

void CEmulator::SetBreakpoints(std::span<const uint32_t> addresses) {
    bool changed = false;
    for (const uint32_t address : addresses)
        changed |= CanBreakAt(address) && ChangeBreakBit(address, true);
    if (changed) FlushBlocks();
}

void CEmulator::ClearBreakpoints() {
    std::fill(breakBits_.begin(), breakBits_.end(), 0);
    breakCount_ = 0;
    FlushBlocks();
}

std::vector<uint32_t> CEmulator::Breakpoints() const {
    std::vector<uint32_t> addresses;
    for (size_t i = 0; i < breakBits_.size(); ++i) {
        for (uint64_t bits = breakBits_[i]; bits; bits &= bits - 1)
            addresses.push_back(kFlashBase +
                                2 * static_cast<uint32_t>(i * 64 + __builtin_ctzll(bits)));
    }
    return addresses;
}

void CEmulator::OnObservedStop(const MemoryAccess& access) {
    if (pendingStop_ == RunStop::kReadWatch || pendingStop_ == RunStop::kWriteWatch) return;
    const bool write = access.kind == AccessKind::kWrite;
    watchHit_ = {access.address, access.value, access.instruction, access.size, write};
    pendingStop_ = write ? RunStop::kWriteWatch : RunStop::kReadWatch;
}

void CEmulator::SetRegister(int index, uint32_t value) {
    if (index == kCpsrIndex) {
        SetCpsr(value);
        return;
    }
    index &= 15;
    if (index != 15 || runState == kStopped) {
        r[index] = value;
        return;
    }
    // The current instruction was fetched from the old PC; a jump refetches it, in the
    // state the processor is in.
    if (cpsr & kThumbBit) {
        SkipTo(value & ~1u);
    } else {
        r[15] = value & ~3u;
        armInstruction = ReadWord(r[15]);
        r[15] += 8;
    }
}

void CEmulator::SkipTo(uint32_t address) {
    r[15] = address;
    thumbInstruction = FetchThumb(address);
    r[15] = address + 4;
}

// A return (POP {PC}, MOV PC, Hs, BX LR in ARM state) to R15 is expected at the
// instruction after the last recorded BL. A mismatch warns and keeps the record, so
// later returns compare with it again. With no record there is nothing to compare:
// the emulation usually started inside a routine whose call it never saw, so the
// return goes on quietly.
void CEmulator::CheckReturn() {
    uint32_t callSite = 0;
    if (TakeLastCallRecord(callSite, 1, false)) {
        const uint32_t expected = callSite + 4;
        if (expected != r[15])
            Warn("Warning: Unexpected return address: %.8X (expected %.8X)", r[15], expected);
        else
            TakeLastCallRecord(callSite, 1, true);
    }
    NotifyCallTrack();
}

void CEmulator::CheckBxReturn() {
    uint32_t callSite = 0;
    if (TakeLastCallRecord(callSite, 1, false) && callSite + 4 == r[15]) {
        TakeLastCallRecord(callSite, 1, true);
        NotifyCallTrack();
    }
}

void CEmulator::PushCallRecord(uint32_t callSite, uint32_t target, int list) {
    std::vector<CallRecord>& track = callTracks[list];
    track.push_back({callSite, target});
    if (list != 1 || track.size() - callTrackDropped_ <= kCallTrackLimit) return;
    ++callTrackDropped_;
    if (!inRun_ || callTrackDropped_ >= kCallTrackLimit) TrimCallTrack();
}

bool CEmulator::TakeLastCallRecord(uint32_t& value, int list, bool remove) {
    std::vector<CallRecord>& track = callTracks[list];
    if (track.size() <= (list == 1 ? callTrackDropped_ : 0)) return false;
    value = track.back().callSite;
    if (remove) track.pop_back();
    return true;
}
