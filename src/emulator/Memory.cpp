// The emulated memory map outside the fast paths of CEmulator.h: misaligned
// accesses, the stack overflow area, the flash beyond the image's end, the I/O
// registers, the low register window and the unknown areas with their warnings.
//
//   0x100000-0x10FFFF  stack RAM (writes: all of 0x100000-0x1FFFFF, wrapping)
//   0x200000-0x2FFFFF  flash image, read only; beyond the image's end: unknown area
//   I/O register table (byte accesses only), then 0x10000-0x103FF low window
#include "emulator/MemoryPaths.h"

namespace {

constexpr uint32_t kLowWindowStart = 0x10000;
constexpr uint32_t kLowWindowEnd = 0x10400;

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

IoRegister* CEmulator::FindIoRegister(uint32_t address) {
    for (int32_t i = 0; i < ioRegisterCount; ++i) {
        if (ioRegisters[i].address == address) return &ioRegisters[i];
    }
    return nullptr;
}

uint8_t CEmulator::ReadByteSlow(uint32_t address) {
    const uint32_t current = r[15] - 4;
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
        if (offset < flashSize) return flashMemory[offset];
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

uint16_t CEmulator::ReadHalfSlow(uint32_t address, bool execute) {
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
            if (offset & 1) return kHalfMisaligned;
            return BigEndianHalf(flashMemory + offset);
        }
    }
    if (InLowWindow(address)) {
        const uint16_t value =
            (address & 1) ? kHalfMisaligned : BigEndianHalf(lowWindow + (address & 0xFF));
        ObservePeripheral(address, 2, value, execute ? AccessKind::kFetch : AccessKind::kRead);
        return value;
    }
    Warn("%.8X: Accessing unknown area: %.8X for reading", r[15] - 4, address);
    return kHalfUnknown;
}

uint32_t CEmulator::ReadWordSlow(uint32_t address) {
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
            if (offset & 3) return kWordMisaligned;
            return BigEndianWord(flashMemory + offset);
        }
    }
    if (InLowWindow(address)) {
        // The window repeats every 256 bytes; a word at 0x...FC stays inside it.
        const uint32_t value =
            (address & 3) ? kWordMisaligned : BigEndianWord(lowWindow + (address & 0xFF));
        ObservePeripheral(address, 4, value, AccessKind::kRead);
        return value;
    }
    Warn("%.8X: Accessing unknown area: %.8X for reading", r[15] - 4, address);
    return kWordUnknown;
}

void CEmulator::WriteByteSlow(uint32_t address, uint8_t value) {
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
    Warn("%.8X: Accessing unknown area: %.8X for writing %.2X", r[15] - 4, address, value);
}

void CEmulator::WriteHalfSlow(uint32_t address, uint16_t value) {
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
    Warn("%.8X Accessing unknown area: %.8X for writing %.4X", r[15] - 4, address, value);
}

void CEmulator::WriteWordSlow(uint32_t address, uint32_t value) {
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
    Warn("%.8X: Accessing unknown area: %.8X for writing %.8X", r[15] - 4, address, value);
}

// Where the byte at `address` is stored, as the slow paths find it; null in no area.
const uint8_t* CEmulator::ByteAt(uint32_t address) const {
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

std::optional<uint32_t> CEmulator::Peek(uint32_t address, uint32_t size) const {
    uint32_t value = 0;
    for (uint32_t i = 0; i < size; ++i) {
        const uint8_t* byte = ByteAt(address + i);
        if (byte == nullptr) return std::nullopt;
        value = (value << 8) | *byte;
    }
    return value;
}

bool CEmulator::Poke(uint32_t address, uint32_t value, uint32_t size) {
    for (uint32_t i = 0; i < size; ++i) {
        if (Region(address + i) == 2 || ByteAt(address + i) == nullptr) return false;
    }
    // Outside the flash image every byte is the RAM's or the emulator's own.
    for (uint32_t i = 0; i < size; ++i)
        *const_cast<uint8_t*>(ByteAt(address + i)) =
            static_cast<uint8_t>(value >> (8 * (size - 1 - i)));
    return true;
}
