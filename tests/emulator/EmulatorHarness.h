#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "emulator/MemoryPaths.h"

// Every access the emulator reports to an observer.
struct AccessLog final : AccessObserver {
    std::vector<MemoryAccess> accesses;
    bool OnAccess(const MemoryAccess& access) override { return accesses.push_back(access), false; }
};

// An emulator on a small flash image of THUMB halfwords at 0x200000 and a zeroed
// stack RAM, collecting its warning lines.
struct EmulatorHarness {
    std::vector<uint8_t> flash;
    std::vector<uint8_t> ram = std::vector<uint8_t>(CEmulator::kStackSize, 0);
    std::vector<std::string> warnings;
    CEmulator emu;

    explicit EmulatorHarness(std::initializer_list<uint16_t> code, size_t flashSize = 0x400) {
        flash.assign(flashSize, 0);
        size_t at = 0;
        for (uint16_t h : code) PutHalf(at, h), at += 2;
        emu.warningSink = [this](const std::string& line) { warnings.push_back(line); };
    }
    void PutHalf(size_t offset, uint16_t h) {
        flash[offset] = static_cast<uint8_t>(h >> 8);
        flash[offset + 1] = static_cast<uint8_t>(h);
    }
    // Starts at flash offset `offset` and forgets the two lines of the start.
    void Start(uint32_t offset = 0) {
        emu.Start(CEmulator::kFlashBase + offset, flash.data(), static_cast<uint32_t>(flash.size()),
                  ram.data(), CEmulator::kInitialStackPointer);
        warnings.clear();
    }
    void SetFlags(bool n, bool z, bool c, bool v) {
        emu.negativeFlag = n, emu.zeroFlag = z, emu.carryFlag = c, emu.overflowFlag = v;
        emu.ComposeCpsr();
    }
    uint32_t Current() const { return emu.r[15] - 4; }
};
