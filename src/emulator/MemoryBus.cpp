// The emulated memory map outside the fast paths of MemoryPaths.h: misaligned
// accesses, the stack overflow area, the flash beyond the image's end, the I/O
// registers, the low register window and the unknown areas with their warnings.
//
//   0x100000-0x10FFFF  stack RAM (writes: all of 0x100000-0x1FFFFF, wrapping)
//   0x200000-0x2FFFFF  flash image, read only; beyond the image's end: unknown area
//   I/O register table (byte accesses only), then 0x10000-0x103FF low window
#include "emulator/MemoryPaths.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {

constexpr uint32_t kLowWindowStart = 0x10000;
constexpr uint32_t kLowWindowEnd = 0x10400;

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

// Marker values: what a read returns where there is nothing to read.
constexpr uint8_t kByteOverflow = 0xAF;
constexpr uint8_t kByteUnknown = 0xFC;
constexpr uint16_t kHalfOverflow = 0xAEEC;
constexpr uint16_t kHalfUnknown = 0xCBCF;
constexpr uint16_t kHalfMisaligned = 0xCABD;
constexpr uint32_t kWordOverflow = 0xADBDCDDD;
constexpr uint32_t kWordUnknown = 0xCADADADA;
constexpr uint32_t kWordMisaligned = 0xAB0CD0EF;

uint32_t Region(uint32_t address) {
    return address >> 20;
}
bool InLowWindow(uint32_t address) {
    return address >= kLowWindowStart && address < kLowWindowEnd;
}
void PutHalf(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
void PutWord(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

}  // namespace

MemoryBus::MemoryBus(const uint32_t& r15, Owner& owner) : r15_(r15), owner_(owner) {
    for (const auto& reset : kResetIoRegisters) {
        IoRegister& io = ioRegisters[ioRegisterCount++];
        io.address = reset.address;
        io.value = reset.value;
        io.previousValue = reset.value;
    }
}

uint32_t MemoryBus::MapFlash(const uint8_t* flashBytes, uint32_t size) {
    flashMemory = flashBytes;
    flashSize = flashBytes ? size : 0;
    const uint32_t window = std::min(flashSize, kFlashWindow);
    flashByteLimit_ = window;
    flashHalfLimit_ = window >= 2 ? window - 1 : 0;
    flashWordLimit_ = window >= 4 ? window - 3 : 0;
    SetFlashDataLimits();
    return window;
}

void MemoryBus::SaveIoSnapshot() {
    if (!ioWritten) return;
    for (int32_t i = 0; i < ioRegisterCount; ++i) ioRegisters[i].previousValue = ioRegisters[i].value;
    ioWritten = 0;
}

void MemoryBus::Warn(const char* format, ...) {
    char line[160];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    owner_.OnBusWarning(line);
}

IoRegister* MemoryBus::FindIoRegister(uint32_t address) {
    for (int32_t i = 0; i < ioRegisterCount; ++i) {
        if (ioRegisters[i].address == address) return &ioRegisters[i];
    }
    return nullptr;
}

uint8_t MemoryBus::ReadByteSlow(uint32_t address) {
    const uint32_t current = Current();
    if (Region(address) == 1 && stackMemory) {
        if (address < kStackBase + kStackSize) {
            const uint8_t value = stackMemory[address & 0xFFFF];
            Observe(address, 1, value, AccessKind::kRead);
            return value;
        }
        Warn("%.8X: Stack overflow", current);
        return kByteOverflow;
    }
    if (Region(address) == 2) {
        const uint32_t offset = address & 0xFFFFF;
        if (offset < flashSize) {
            ObserveFlash(address, 1, flashMemory[offset]);
            return flashMemory[offset];
        }
    } else if (IoRegister* io = FindIoRegister(address)) {
        io->wasRead = 1;
        ObservePeripheral(address, 1, io->value, AccessKind::kRead);
        return io->value;
    }
    if (InLowWindow(address)) {
        ObservePeripheral(address, 1, lowWindow[address & 0xFF], AccessKind::kRead);
        return lowWindow[address & 0xFF];
    }
    Warn("%.8X: Accessing unknown area: %.8X", current, address);
    return kByteUnknown;
}

uint16_t MemoryBus::ReadHalfSlow(uint32_t address, bool execute) {
    if (execute && Region(address) != 2)
        Warn("FATAL: Executing code in addr %.8X for reading", address);
    if (Region(address) == 1 && stackMemory) {
        if (address < kStackBase + kStackSize) {
            const uint16_t value =
                (address & 1) ? kHalfMisaligned : BigEndianHalf(stackMemory + (address & 0xFFFF));
            Observe(address, 2, value, execute ? AccessKind::kFetch : AccessKind::kRead);
            return value;
        }
        Warn("Stack Overflow");
        return kHalfOverflow;
    }
    if (Region(address) == 2) {
        const uint32_t offset = address & 0xFFFFF;
        if (uint64_t{offset} + 2 <= flashSize) {
            const uint16_t value = (offset & 1) ? kHalfMisaligned : BigEndianHalf(flashMemory + offset);
            if (!execute) ObserveFlash(address, 2, value);
            return value;
        }
    }
    if (InLowWindow(address)) {
        const uint16_t value =
            (address & 1) ? kHalfMisaligned : BigEndianHalf(lowWindow + (address & 0xFF));
        ObservePeripheral(address, 2, value, execute ? AccessKind::kFetch : AccessKind::kRead);
        return value;
    }
    Warn("%.8X: Accessing unknown area: %.8X for reading", Current(), address);
    return kHalfUnknown;
}

uint32_t MemoryBus::ReadWordSlow(uint32_t address) {
    if (Region(address) == 1 && stackMemory) {
        if (address < kStackBase + kStackSize) {
            const uint32_t value =
                (address & 3) ? kWordMisaligned : BigEndianWord(stackMemory + (address & 0xFFFF));
            Observe(address, 4, value, AccessKind::kRead);
            return value;
        }
        Warn("Stack overflow");
        return kWordOverflow;
    }
    if (Region(address) == 2) {
        const uint32_t offset = address & 0xFFFFF;
        if (uint64_t{offset} + 4 <= flashSize) {
            const uint32_t value = (offset & 3) ? kWordMisaligned : BigEndianWord(flashMemory + offset);
            ObserveFlash(address, 4, value);
            return value;
        }
    }
    if (InLowWindow(address)) {
        // The window repeats every 256 bytes; a word at 0x...FC stays inside it.
        const uint32_t value =
            (address & 3) ? kWordMisaligned : BigEndianWord(lowWindow + (address & 0xFF));
        ObservePeripheral(address, 4, value, AccessKind::kRead);
        return value;
    }
    Warn("%.8X: Accessing unknown area: %.8X for reading", Current(), address);
    return kWordUnknown;
}

void MemoryBus::WriteByteSlow(uint32_t address, uint8_t value) {
    if (Region(address) == 1 && stackMemory) {
        stackMemory[address & 0xFFFF] = value;
        Observe(address, 1, value, AccessKind::kWrite);
        return;
    }
    if (IoRegister* io = FindIoRegister(address)) {
        io->value = value;
        io->wasWritten = 1;
        ioWritten = 1;
        ObservePeripheral(address, 1, value, AccessKind::kWrite);
        return;
    }
    if (InLowWindow(address)) {
        lowWindow[address & 0xFF] = value;
        ObservePeripheral(address, 1, value, AccessKind::kWrite);
        return;
    }
    Warn("%.8X: Accessing unknown area: %.8X for writing %.2X", Current(), address, value);
}

void MemoryBus::WriteHalfSlow(uint32_t address, uint16_t value) {
    if (Region(address) == 1 && stackMemory) {
        if (!(address & 1)) PutHalf(stackMemory + (address & 0xFFFF), value);
        Observe(address, 2, value, AccessKind::kWrite);
        return;
    }
    if (InLowWindow(address)) {
        if (!(address & 1)) PutHalf(lowWindow + (address & 0xFF), value);
        ObservePeripheral(address, 2, value, AccessKind::kWrite);
        return;
    }
    Warn("%.8X Accessing unknown area: %.8X for writing %.4X", Current(), address, value);
}

void MemoryBus::WriteWordSlow(uint32_t address, uint32_t value) {
    if (Region(address) == 1 && stackMemory) {
        if (!(address & 3)) PutWord(stackMemory + (address & 0xFFFF), value);
        Observe(address, 4, value, AccessKind::kWrite);
        return;
    }
    if (InLowWindow(address)) {
        if (!(address & 3)) PutWord(lowWindow + (address & 0xFF), value);
        ObservePeripheral(address, 4, value, AccessKind::kWrite);
        return;
    }
    Warn("%.8X: Accessing unknown area: %.8X for writing %.8X", Current(), address, value);
}

void MemoryBus::SetWatch(uint32_t address, uint32_t length, uint8_t kinds, bool on) {
    kinds &= kWatchRead | kWatchWrite;
    if (address - kStackBase >= kStackSize || kinds == 0) return;
    const uint32_t begin = address - kStackBase;
    const uint32_t end = std::min<uint64_t>(uint64_t{begin} + length, kStackSize);
    if (begin >= end) return;
    bool before[kStackPages];
    const uint32_t first = begin >> kStackPageShift, last = (end - 1) >> kStackPageShift;
    for (uint32_t page = first; page <= last; ++page)
        before[page] = watches_.Watched(page * kStackPageSize, kStackPageSize);
    watches_.Change(begin, end, kinds, on);
    for (uint32_t page = first; page <= last; ++page) {
        const bool after = watches_.Watched(page * kStackPageSize, kStackPageSize);
        if (after != before[page])
            ObservePages(watches_, kStackBase + page * kStackPageSize, kStackPageSize, after);
    }
}

void MemoryBus::ClearWatches() {
    watches_.Clear();
    RemoveObserver(watches_);
}

void MemoryBus::ObservePages(AccessObserver& observer, uint32_t address, uint32_t length,
                             bool on) {
    const uint32_t flashBegin = address - kFlashBase;
    if (flashBegin < kFlashWindow && length != 0)
        ObserveFlashPages(observer, flashBegin,
                          static_cast<uint32_t>(std::min<uint64_t>(uint64_t{flashBegin} + length, kFlashWindow)), on);
    const uint32_t begin = address - kStackBase;
    if (begin >= kStackSize || length == 0) return;
    const uint32_t end = std::min<uint64_t>(uint64_t{begin} + length, kStackSize);
    auto entry = std::find_if(observers_.begin(), observers_.end(),
                              [&](const ObserverPages& o) { return o.observer == &observer; });
    if (entry == observers_.end()) {
        if (!on) return;
        entry = observers_.insert(observers_.end(), ObserverPages{&observer, {}});
    }
    for (uint32_t page = begin >> kStackPageShift; page <= (end - 1) >> kStackPageShift; ++page) {
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

void MemoryBus::ObserveFlashPages(AccessObserver& observer, uint32_t begin, uint32_t end, bool on) {
    const bool observed = !flashObservers_.empty();
    auto entry = std::find_if(flashObservers_.begin(), flashObservers_.end(),
                              [&](const FlashObserverPages& o) { return o.observer == &observer; });
    if (entry == flashObservers_.end()) {
        if (!on) return;
        entry = flashObservers_.insert(flashObservers_.end(),
                                       FlashObserverPages{&observer, std::vector<uint64_t>(kFlashWindow / 256 / 64)});
    }
    for (uint32_t page = begin >> 8; page <= (end - 1) >> 8; ++page) {
        if (entry->Has(page) != on) entry->pages[page >> 6] ^= uint64_t{1} << (page & 63);
    }
    if (std::all_of(entry->pages.begin(), entry->pages.end(), [](uint64_t bits) { return bits == 0; }))
        flashObservers_.erase(entry);
    if (observed == !flashObservers_.empty()) return;
    SetFlashDataLimits();
    owner_.OnFlashObservationChanged();
}

void MemoryBus::SetFlashDataLimits() {
    const bool fast = flashObservers_.empty();
    flashDataByteLimit_ = fast ? flashByteLimit_ : 0;
    flashDataHalfLimit_ = fast ? flashHalfLimit_ : 0;
    flashDataWordLimit_ = fast ? flashWordLimit_ : 0;
}

void MemoryBus::NotifyFlashObservers(const MemoryAccess& access) {
    const uint32_t offset = access.address & (kFlashWindow - 1);
    const uint32_t first = offset >> 8;
    const uint32_t last = std::min<uint32_t>((offset + access.size - 1) >> 8, kFlashWindow / 256 - 1);
    for (size_t i = 0; i < flashObservers_.size(); ++i) {
        const FlashObserverPages& entry = flashObservers_[i];
        if (!entry.Has(first) && !entry.Has(last)) continue;
        if (entry.observer->OnAccess(access)) owner_.OnObservedStop(access);
    }
}

void MemoryBus::ObservePeripherals(AccessObserver& observer, bool on) {
    auto& list = peripheralObservers_;
    const auto at = std::find(list.begin(), list.end(), &observer);
    if (on && at == list.end()) list.push_back(&observer);
    if (!on && at != list.end()) list.erase(at);
}

void MemoryBus::RemoveObserver(AccessObserver& observer) {
    ObservePages(observer, kStackBase, kStackSize, false);
    ObservePages(observer, kFlashBase, kFlashWindow, false);
    ObservePeripherals(observer, false);
}

void MemoryBus::NotifyPeripheralObservers(const MemoryAccess& access) {
    for (size_t i = 0; i < peripheralObservers_.size(); ++i) {
        if (peripheralObservers_[i]->OnAccess(access)) owner_.OnObservedStop(access);
    }
}

// Where the byte at `address` is stored, as the slow paths find it; null in no area.
const uint8_t* MemoryBus::ByteAt(uint32_t address) const {
    if (address - kStackBase < kStackSize)
        return stackMemory ? stackMemory + (address - kStackBase) : nullptr;
    if (Region(address) == 2) {
        const uint32_t offset = address & 0xFFFFF;
        return offset < flashSize ? flashMemory + offset : nullptr;
    }
    for (int32_t i = 0; i < ioRegisterCount; ++i) {
        if (ioRegisters[i].address == address) return &ioRegisters[i].value;
    }
    return InLowWindow(address) ? lowWindow + (address & 0xFF) : nullptr;
}

std::optional<uint32_t> MemoryBus::Peek(uint32_t address, uint32_t size) const {
    uint32_t value = 0;
    for (uint32_t i = 0; i < size; ++i) {
        const uint8_t* byte = ByteAt(address + i);
        if (byte == nullptr) return std::nullopt;
        value = (value << 8) | *byte;
    }
    return value;
}

bool MemoryBus::Poke(uint32_t address, uint32_t value, uint32_t size) {
    for (uint32_t i = 0; i < size; ++i) {
        if (Region(address + i) == 2 || ByteAt(address + i) == nullptr) return false;
    }
    // Outside the flash image every byte is the RAM's or the emulator's own.
    for (uint32_t i = 0; i < size; ++i)
        *const_cast<uint8_t*>(ByteAt(address + i)) =
            static_cast<uint8_t>(value >> (8 * (size - 1 - i)));
    return true;
}
