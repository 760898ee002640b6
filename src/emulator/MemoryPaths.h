#pragma once

// The fast paths of the memory map: the stack RAM and the flash image, inline in the
// code that runs. Everything else, and every access of an observed page, leaves them
// for the slow paths of MemoryBus.cpp. Included by the emulator's own files only.
#include "emulator/CEmulator.h"
#include "shell/Bits.h"

uint16_t MemoryBus::FetchThumb(uint32_t address) {
    const uint32_t offset = address - kFlashBase;
    if (offset < flashHalfLimit_ && !(offset & 1)) return BigEndianHalf(flashMemory, offset);
    return ReadHalf(address, true);
}
template <class Hook>
uint8_t MemoryBus::ReadByte(uint32_t address, Hook beforeSlow) {
    if (address - kStackBase < stackFastSize_ && !observedPages_[StackPage(address)]) {
        followMarks.read = address;
        return stackMemory[address & 0xFFFF];
    }
    const uint32_t offset = address - kFlashBase;
    if (offset < flashDataByteLimit_) return flashMemory[offset];
    beforeSlow();
    return ReadByteSlow(address);
}
template <class Hook>
uint16_t MemoryBus::ReadHalf(uint32_t address, bool execute, Hook beforeSlow) {
    if (!execute && address - kStackBase < stackFastSize_ && !(address & 1) &&
        !observedPages_[StackPage(address)]) {
        followMarks.read = address;
        return BigEndianHalf(stackMemory + (address & 0xFFFF));
    }
    const uint32_t offset = address - kFlashBase;
    if (offset < (execute ? flashHalfLimit_ : flashDataHalfLimit_) && !(offset & 1))
        return BigEndianHalf(flashMemory, offset);
    beforeSlow();
    return ReadHalfSlow(address, execute);
}
template <class Hook>
uint32_t MemoryBus::ReadWord(uint32_t address, Hook beforeSlow) {
    if (address - kStackBase < stackFastSize_ && !(address & 3) &&
        !observedPages_[StackPage(address)]) {
        followMarks.read = address;
        return BigEndianWord(stackMemory + (address & 0xFFFF));
    }
    const uint32_t offset = address - kFlashBase;
    if (offset < flashDataWordLimit_ && !(offset & 3)) return BigEndianWord(flashMemory + offset);
    beforeSlow();
    return ReadWordSlow(address);
}
template <class Hook>
void MemoryBus::WriteByte(uint32_t address, uint8_t value, Hook beforeSlow) {
    if ((address >> 20) == stackFastRegion_ && !observedPages_[StackPage(address)]) {
        followMarks.write = address;
        stackMemory[address & 0xFFFF] = value;
        return;
    }
    beforeSlow();
    WriteByteSlow(address, value);
}
template <class Hook>
void MemoryBus::WriteHalf(uint32_t address, uint16_t value, Hook beforeSlow) {
    if ((address >> 20) == stackFastRegion_ && !(address & 1) &&
        !observedPages_[StackPage(address)]) {
        followMarks.write = address;
        uint8_t* p = stackMemory + (address & 0xFFFF);
        p[0] = static_cast<uint8_t>(value >> 8);
        p[1] = static_cast<uint8_t>(value);
        return;
    }
    beforeSlow();
    WriteHalfSlow(address, value);
}
template <class Hook>
void MemoryBus::WriteWord(uint32_t address, uint32_t value, Hook beforeSlow) {
    if ((address >> 20) == stackFastRegion_ && !(address & 3) &&
        !observedPages_[StackPage(address)]) {
        followMarks.write = address;
        uint8_t* p = stackMemory + (address & 0xFFFF);
        p[0] = static_cast<uint8_t>(value >> 24);
        p[1] = static_cast<uint8_t>(value >> 16);
        p[2] = static_cast<uint8_t>(value >> 8);
        p[3] = static_cast<uint8_t>(value);
        return;
    }
    beforeSlow();
    WriteWordSlow(address, value);
}
