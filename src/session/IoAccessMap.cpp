#include "session/IoAccessMap.h"

#include <algorithm>

#include "document/CTravikDoc.h"
#include "shell/Format.h"

void IoAccessMap::SetRamRanges(std::vector<std::pair<uint32_t, uint32_t>> ranges) {
    ranges_ = std::move(ranges);
    std::fill(named_.begin(), named_.end(), uint8_t{0});
    for (const auto& [begin, end] : ranges_) {
        for (uint32_t a = std::max(begin, kRamBase); a < std::min(end, kRamBase + kRamSize); ++a)
            named_[a - kRamBase] = 1;
    }
}

IoAddressCounts& IoAccessMap::CountsOf(uint32_t address) {
    // The map's nodes stay where they are, so places into it can be kept.
    if (address >> 16 == kRamBase >> 16) {
        IoAddressCounts*& place = ramPlaces_[address - kRamBase];
        if (place == nullptr) {
            place = &counts_[address];
            place->address = address;
        }
        return *place;
    }
    // Loops touch one I/O register again and again: the last one is kept at hand.
    if (last_ == nullptr || last_->address != address) {
        last_ = &counts_[address];
        last_->address = address;
    }
    return *last_;
}

bool IoAccessMap::OnAccess(const MemoryAccess& access) {
    if (access.kind == AccessKind::kFetch) return false;
    uint32_t address = access.address;
    if (address >> 20 == kRamBase >> 20) {
        // Only the named bytes of the observed pages count.
        const uint32_t offset = address & (kRamSize - 1);
        bool named = false;
        for (uint32_t i = 0; i < access.size && !named; ++i)
            named = named_[(offset + i) & (kRamSize - 1)] != 0;
        if (!named) return false;
        address = kRamBase + offset;
    }
    IoAddressCounts& counts = CountsOf(address);
    const bool write = access.kind == AccessKind::kWrite;
    if (write) {
        ++counts.writes;
        counts.lastWrite = access.value;
        counts.lastWriteSize = access.size;
    } else {
        ++counts.reads;
        counts.lastRead = access.value;
        counts.lastReadSize = access.size;
    }
    // The same few instructions come again and again: the latest is looked at first.
    auto& list = counts.instructions;
    if (counts.lastInstruction >= list.size() ||
        list[counts.lastInstruction].instruction != access.instruction) {
        auto at = std::find_if(list.begin(), list.end(), [&](const IoInstructionCounts& c) {
            return c.instruction == access.instruction;
        });
        if (at == list.end()) at = list.insert(at, IoInstructionCounts{access.instruction, 0, 0});
        counts.lastInstruction = static_cast<uint32_t>(at - list.begin());
    }
    IoInstructionCounts& entry = list[counts.lastInstruction];
    ++(write ? entry.writes : entry.reads);
    return false;
}

std::vector<IoAddressCounts> IoAccessMap::Sorted() const {
    std::vector<IoAddressCounts> out;
    out.reserve(counts_.size());
    for (const auto& [address, counts] : counts_) out.push_back(counts);
    std::sort(out.begin(), out.end(),
              [](const IoAddressCounts& a, const IoAddressCounts& b) { return a.address < b.address; });
    for (IoAddressCounts& counts : out)
        std::sort(counts.instructions.begin(), counts.instructions.end(),
                  [](const IoInstructionCounts& a, const IoInstructionCounts& b) {
                      return a.instruction < b.instruction;
                  });
    return out;
}

namespace {

std::string Joined(const std::string& reads, const std::string& writes) {
    return reads.empty() || writes.empty() ? reads + writes : reads + ", " + writes;
}

std::string CountText(const char* kind, uint64_t count, const uint32_t* last, uint8_t size) {
    if (count == 0) return {};
    std::string text = Format("%s %llu", kind, static_cast<unsigned long long>(count));
    if (last) text += Format(" (last %.*X)", size * 2, *last);
    return text;
}

}  // namespace

std::string IoAddressSummary(const IoAddressCounts& c) {
    return Joined(CountText("reads", c.reads, &c.lastRead, c.lastReadSize),
                  CountText("writes", c.writes, &c.lastWrite, c.lastWriteSize));
}

std::string IoInstructionSummary(const IoInstructionCounts& c) {
    return Joined(CountText("reads", c.reads, nullptr, 0), CountText("writes", c.writes, nullptr, 0));
}

std::string IoAddressName(const CTravikDoc& doc, uint32_t address) {
    if (address < doc.RamBase()) return {};
    uint32_t start = 0;
    const std::string* name = doc.RamNames().Owner(address - doc.RamBase(), start);
    if (name == nullptr) return {};
    const uint32_t into = address - doc.RamBase() - start;
    return into == 0 ? *name : *name + Format("+%X", into);
}
