#include "emulator/MemoryPaths.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {

// The peripheral registers the firmware expects, with their reset values, in the
// order the registers window lists them.
constexpr struct {
    uint32_t address;
    uint8_t value;
} kResetIoRegisters[] = {
    {0x020000, 0x24}, {0x020001, 0x2C}, {0x020002, 0xFF}, {0x020008, 0xFF}, {0x020009, 0xFF},
    {0x02000A, 0x08}, {0x02000B, 0xEA}, {0x02000C, 0xFF}, {0x02000D, 0xFF}, {0x02000F, 0xFF},
    {0x020016, 0xFF}, {0x020020, 0xFF}, {0x020024, 0xFF}, {0x020028, 0xFF}, {0x020029, 0x03},
    {0x02002A, 0xFF}, {0x02002B, 0xFF}, {0x02002C, 0xFF}, {0x02002D, 0xFF}, {0x030000, 0xFF},
    {0x030001, 0xFF}, {0x600000, 0xFF}, {0x600100, 0xFF},
};

constexpr uint32_t kArmBxLr = 0x012FFF1E;
// No current instruction is ever at an odd address: the address of a free run.
constexpr uint32_t kNoAddress = 1;

}  // namespace

CEmulator::CEmulator() {
    for (const auto& reset : kResetIoRegisters) {
        IoRegister& io = ioRegisters[ioRegisterCount++];
        io.address = reset.address;
        io.value = reset.value;
        io.previousValue = reset.value;
    }
}

void CEmulator::AttachFlash(const uint8_t* flashBytes, uint32_t size) {
    flashMemory = flashBytes;
    flashSize = flashBytes ? size : 0;
    const uint32_t window = std::min(flashSize, kFlashWindow);
    flashByteLimit_ = window;
    flashHalfLimit_ = window >= 2 ? window - 1 : 0;
    flashWordLimit_ = window >= 4 ? window - 3 : 0;
    breakBits_.resize((window / 2 + 63) / 64);
    blockAt_.assign(window / 2, 0);
    decoded_.clear();
    // Breakpoints past the end of a shorter image are gone.
    if (window / 2 % 64 != 0 && !breakBits_.empty())
        breakBits_.back() &= (uint64_t{1} << (window / 2 % 64)) - 1;
    breakCount_ = 0;
    for (uint64_t bits : breakBits_) breakCount_ += static_cast<uint32_t>(__builtin_popcountll(bits));
}

void CEmulator::Start(uint32_t startAddress, const uint8_t* flashBytes, uint32_t size,
                      uint8_t* stackBytes, uint32_t stackPointer) {
    stackMemory = stackBytes;
    AttachFlash(flashBytes, size);
    UpdateFastPaths();
    initialSp = stackPointer;
    r[13] = stackPointer;
    cpsr = 0xF3;
    zeroFlag = negativeFlag = carryFlag = overflowFlag = 0;
    r[15] = startAddress;
    runState = kSuspended;
    thumbInstruction = FetchThumb(startAddress);
    r[15] = startAddress + 4;
    ReportWarning("");
    Warn("Start emulation from %.8X", startAddress);
}

void CEmulator::SaveSnapshot() {
    std::copy(std::begin(r), std::end(r), std::begin(previousR));
    previousCpsr = ComposeCpsr();
    if (ioWritten) {
        for (int32_t i = 0; i < ioRegisterCount; ++i)
            ioRegisters[i].previousValue = ioRegisters[i].value;
        ioWritten = 0;
    }
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

void CEmulator::Warn(const char* format, ...) {
    char line[160];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    ReportWarning(line);
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

void CEmulator::SetWatch(uint32_t address, uint32_t length, uint8_t kinds, bool on) {
    kinds &= kWatchRead | kWatchWrite;
    if (address - kStackBase >= kStackSize || kinds == 0) return;
    const uint32_t begin = address - kStackBase;
    const uint32_t end = std::min<uint64_t>(uint64_t{begin} + length, kStackSize);
    if (begin >= end) return;
    bool before[kStackSize / 256];
    for (uint32_t page = begin >> 8; page <= (end - 1) >> 8; ++page)
        before[page] = watches_.PageWatched(page);
    watches_.Change(begin, end, kinds, on);
    for (uint32_t page = begin >> 8; page <= (end - 1) >> 8; ++page) {
        const bool after = watches_.PageWatched(page);
        if (after != before[page]) ObservePages(watches_, kStackBase + page * 256, 256, after);
    }
}

void CEmulator::ClearWatches() {
    watches_.Clear();
    RemoveObserver(watches_);
}

void CEmulator::ObservePages(AccessObserver& observer, uint32_t address, uint32_t length,
                             bool on) {
    const uint32_t begin = address - kStackBase;
    if (begin >= kStackSize || length == 0) return;
    const uint32_t end = std::min<uint64_t>(uint64_t{begin} + length, kStackSize);
    auto entry = std::find_if(observers_.begin(), observers_.end(),
                              [&](const ObserverPages& o) { return o.observer == &observer; });
    if (entry == observers_.end()) {
        if (!on) return;
        entry = observers_.insert(observers_.end(), ObserverPages{&observer, {}});
    }
    for (uint32_t page = begin >> 8; page <= (end - 1) >> 8; ++page) {
        if (entry->Has(page) == on) continue;
        entry->pages[page >> 6] ^= uint64_t{1} << (page & 63);
        const uint8_t count = observedPages_[page];
        observedPages_[page] = static_cast<uint8_t>(on ? count + 1 : count - 1);
        observedPageCount_ += (observedPages_[page] != 0) - (count != 0);
    }
    if (std::all_of(std::begin(entry->pages), std::end(entry->pages),
                    [](uint64_t bits) { return bits == 0; }))
        observers_.erase(entry);
}

void CEmulator::ObservePeripherals(AccessObserver& observer, bool on) {
    auto& list = peripheralObservers_;
    const auto at = std::find(list.begin(), list.end(), &observer);
    if (on && at == list.end()) list.push_back(&observer);
    if (!on && at != list.end()) list.erase(at);
}

void CEmulator::RemoveObserver(AccessObserver& observer) {
    ObservePages(observer, kStackBase, kStackSize, false);
    ObservePeripherals(observer, false);
}

// The first observer that asks for a stop makes the run's watch hit; later ones in the
// same run are still called but do not replace it.
void CEmulator::NotifyObservers(const MemoryAccess& access, uint32_t first, uint32_t last) {
    for (size_t i = 0; i < observers_.size(); ++i) {
        const ObserverPages& entry = observers_[i];
        if (!entry.Has(first) && !entry.Has(last)) continue;
        if (entry.observer->OnAccess(access)) RecordObservedStop(access);
    }
}

void CEmulator::NotifyPeripheralObservers(const MemoryAccess& access) {
    for (size_t i = 0; i < peripheralObservers_.size(); ++i) {
        if (peripheralObservers_[i]->OnAccess(access)) RecordObservedStop(access);
    }
}

void CEmulator::RecordObservedStop(const MemoryAccess& access) {
    if (pendingStop_ == RunStop::kReadWatch || pendingStop_ == RunStop::kWriteWatch) return;
    const bool write = access.kind == AccessKind::kWrite;
    watchHit_ = {access.address, access.value, access.instruction, access.size, write};
    pendingStop_ = write ? RunStop::kWriteWatch : RunStop::kReadWatch;
}

RegisterFile CEmulator::Registers() const {
    RegisterFile file;
    std::copy(std::begin(r), std::end(r), std::begin(file.r));
    file.cpsr = ComposedCpsr();
    return file;
}

void CEmulator::SetRegister(int index, uint32_t value) {
    if (index == kCpsrIndex) {
        cpsr = value;
        negativeFlag = (value >> 31) & 1;
        zeroFlag = (value >> 30) & 1;
        carryFlag = (value >> 29) & 1;
        overflowFlag = (value >> 28) & 1;
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
