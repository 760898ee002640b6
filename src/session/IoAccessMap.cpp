#include "session/IoAccessMap.h"

#include <algorithm>

#include "document/CTravikDoc.h"
#include "shell/Format.h"

void IoAccessMap::SetRamRanges(std::vector<std::pair<uint32_t, uint32_t>> ranges) {
    ranges_ = std::move(ranges);
    std::fill(named_.begin(), named_.end(), uint8_t{0});
    for (const auto& [begin, end] : ranges_) {
        for (uint32_t a = std::max(begin, kRamBase); a < std::min(end, kRamBase + kRamSize); ++a) {
            // The accesses of 1, 2 and 4 bytes that reach this byte (the RAM wraps).
            for (uint32_t back = 0; back < 4; ++back) {
                uint8_t& bits = named_[(a - kRamBase - back) & (kRamSize - 1)];
                bits |= back == 0 ? 7 : back == 1 ? 6 : 4;
            }
        }
    }
}

void IoAccessMap::Clear() {
    table_.assign(kFirstSlots, Entry{});
    mask_ = kFirstSlots - 1;
    used_ = 0;
    accesses_ = 0;
}

void IoAccessMap::Grow() {
    std::vector<Entry> old(table_.size() * 2);
    old.swap(table_);
    mask_ = table_.size() - 1;
    for (const Entry& e : old) {
        if (e.address == 0) continue;
        size_t slot = SlotOf(e.instruction, e.address);
        while (table_[slot].address != 0) slot = (slot + 1) & mask_;
        table_[slot] = e;
    }
}

IoAccessMap::Entry& IoAccessMap::EntryOf(uint32_t instruction, uint32_t address) {
    // No access the map counts is at address 0 (the peripherals and the RAM lie above it),
    // so 0 marks an empty slot.
    for (size_t slot = SlotOf(instruction, address);; slot = (slot + 1) & mask_) {
        Entry& e = table_[slot];
        if (e.instruction == instruction && e.address == address) [[likely]]
            return e;
        if (e.address != 0) continue;
        if (2 * (used_ + 1) > mask_ + 1) {
            Grow();
            return EntryOf(instruction, address);
        }
        ++used_;
        e.instruction = instruction;
        e.address = address;
        return e;
    }
}

bool IoAccessMap::OnAccess(const MemoryAccess& access) {
    if (access.kind == AccessKind::kFetch) return false;
    uint32_t address = access.address;
    if (address >> 20 == kRamBase >> 20) {
        // Only the named bytes of the observed pages count.
        const uint32_t offset = address & (kRamSize - 1);
        if (!(named_[offset] & access.size)) return false;
        address = kRamBase + offset;
    }
    Entry& e = EntryOf(access.instruction, address);
    ++accesses_;
    if (access.kind == AccessKind::kWrite) {
        ++e.writes;
        e.lastWrite = access.value;
        e.lastWriteSize = access.size;
        e.lastWriteAt = accesses_;
    } else {
        ++e.reads;
        e.lastRead = access.value;
        e.lastReadSize = access.size;
        e.lastReadAt = accesses_;
    }
    return false;
}

std::vector<IoAddressCounts> IoAccessMap::Sorted() const {
    std::vector<const Entry*> entries;
    entries.reserve(used_);
    for (const Entry& e : table_) {
        if (e.address != 0) entries.push_back(&e);
    }
    std::sort(entries.begin(), entries.end(), [](const Entry* a, const Entry* b) {
        return a->address != b->address ? a->address < b->address : a->instruction < b->instruction;
    });
    std::vector<IoAddressCounts> out;
    uint64_t readAt = 0, writeAt = 0;
    for (const Entry* e : entries) {
        if (out.empty() || out.back().address != e->address) {
            out.emplace_back();
            out.back().address = e->address;
            readAt = writeAt = 0;
        }
        IoAddressCounts& counts = out.back();
        counts.reads += e->reads;
        counts.writes += e->writes;
        if (e->lastReadAt > readAt) {
            readAt = e->lastReadAt;
            counts.lastRead = e->lastRead;
            counts.lastReadSize = e->lastReadSize;
        }
        if (e->lastWriteAt > writeAt) {
            writeAt = e->lastWriteAt;
            counts.lastWrite = e->lastWrite;
            counts.lastWriteSize = e->lastWriteSize;
        }
        counts.instructions.push_back({e->instruction, e->reads, e->writes});
    }
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
