#pragma once

#include <cstdint>
#include <string>
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
    std::vector<IoInstructionCounts> instructions;
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
    void Clear();
    bool Empty() const { return used_ == 0; }
    // Every address counted, in address order, its instructions in address order.
    std::vector<IoAddressCounts> Sorted() const;

  private:
    // What one instruction did to one address. The latest read and write of an address
    // are those of its entries with the highest access numbers.
    struct Entry {
        uint32_t instruction = 0;
        uint32_t address = 0;  // none: an empty slot
        uint64_t reads = 0;
        uint64_t writes = 0;
        uint64_t lastReadAt = 0;
        uint64_t lastWriteAt = 0;
        uint32_t lastRead = 0;
        uint32_t lastWrite = 0;
        uint8_t lastReadSize = 0;
        uint8_t lastWriteSize = 0;
    };
    // A run touches few pairs of instruction and address, again and again: they are
    // counted in a small open hash table, which an access finds at its first look.
    Entry& EntryOf(uint32_t instruction, uint32_t address);
    size_t SlotOf(uint32_t instruction, uint32_t address) const {
        const uint64_t key = (uint64_t{instruction} << 32 | address) * 0x9E3779B97F4A7C15u;
        return static_cast<size_t>(key >> 32) & mask_;
    }
    void Grow();
    static constexpr size_t kFirstSlots = 64;

    std::vector<std::pair<uint32_t, uint32_t>> ranges_;
    // Per stack RAM byte, a bit per access size (1, 2, 4) whose bytes from there hold a
    // named one.
    std::vector<uint8_t> named_ = std::vector<uint8_t>(kRamSize);
    std::vector<Entry> table_ = std::vector<Entry>(kFirstSlots);
    size_t mask_ = kFirstSlots - 1;  // the table's size less one
    size_t used_ = 0;
    uint64_t accesses_ = 0;
};

// "reads 3 (last 24), writes 1 (last 0008)": the values as wide as their accesses;
// a kind with no access is left out.
std::string IoAddressSummary(const IoAddressCounts& counts);
// "reads 2, writes 1", the same way.
std::string IoInstructionSummary(const IoInstructionCounts& counts);
// The RAM name of an address ("frames", "digits+2"), or empty where it has none.
std::string IoAddressName(const CTravikDoc& doc, uint32_t address);
