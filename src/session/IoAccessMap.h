#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "emulator/AccessObserver.h"

class CTravikDoc;

// How often one instruction read and wrote an address.
struct IoInstructionCounts {
    uint32_t instruction = 0;
    uint64_t reads = 0;
    uint64_t writes = 0;
};

// What the emulated code did to one address: its reads and writes with the last value
// of each (and that access's size), and the instructions that made them.
struct IoAddressCounts {
    uint32_t address = 0;
    uint64_t reads = 0;
    uint64_t writes = 0;
    uint32_t lastRead = 0;
    uint32_t lastWrite = 0;
    uint8_t lastReadSize = 0;
    uint8_t lastWriteSize = 0;
    std::vector<IoInstructionCounts> instructions;  // in the order they first came
    uint32_t lastInstruction = 0;                   // the index of the latest
};

// The I/O access map: observes the peripherals and the named stack RAM ranges
// (MemoryBus::ObservePeripherals, ObservePages) and counts, per address an access
// starts at, the reads and writes and which instructions made them. Instruction
// fetches are not counted. A RAM address is counted under the stack RAM byte it
// reaches (writes repeat through 0x100000-0x1FFFFF).
class IoAccessMap final : public AccessObserver {
  public:
    static constexpr uint32_t kRamBase = 0x100000;
    static constexpr uint32_t kRamSize = 0x10000;

    // The named RAM ranges, [begin, end) as phone addresses; replaces the last ones.
    void SetRamRanges(std::vector<std::pair<uint32_t, uint32_t>> ranges);
    const std::vector<std::pair<uint32_t, uint32_t>>& RamRanges() const { return ranges_; }

    bool OnAccess(const MemoryAccess& access) override;
    void Clear() {
        counts_.clear();
        ForgetPlaces();
    }
    IoAccessMap() = default;
    IoAccessMap(const IoAccessMap& other) { *this = other; }
    IoAccessMap& operator=(const IoAccessMap& other) {
        ranges_ = other.ranges_;
        named_ = other.named_;
        counts_ = other.counts_;
        ForgetPlaces();
        return *this;
    }
    bool Empty() const { return counts_.empty(); }
    // Every address counted, in address order, its instructions in address order.
    std::vector<IoAddressCounts> Sorted() const;

  private:
    IoAddressCounts& CountsOf(uint32_t address);
    void ForgetPlaces() {
        last_ = nullptr;
        std::fill(ramPlaces_.begin(), ramPlaces_.end(), nullptr);
    }

    std::vector<std::pair<uint32_t, uint32_t>> ranges_;
    std::vector<uint8_t> named_ = std::vector<uint8_t>(kRamSize);  // per stack RAM byte
    std::unordered_map<uint32_t, IoAddressCounts> counts_;
    IoAddressCounts* last_ = nullptr;  // in counts_
    // Per stack RAM byte, where its counts stand in counts_ once it has some: the named
    // variables are the busiest addresses, and a loop goes from one to the next.
    std::vector<IoAddressCounts*> ramPlaces_ = std::vector<IoAddressCounts*>(kRamSize);
};

// "reads 3 (last 24), writes 1 (last 0008)": the values as wide as their accesses;
// a kind with no access is left out.
std::string IoAddressSummary(const IoAddressCounts& counts);
// "reads 2, writes 1", the same way.
std::string IoInstructionSummary(const IoInstructionCounts& counts);
// The RAM name of an address ("frames", "digits+2"), or empty where it has none.
std::string IoAddressName(const CTravikDoc& doc, uint32_t address);
