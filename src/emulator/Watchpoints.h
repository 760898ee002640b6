#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "emulator/AccessObserver.h"

// The watchpoints of the stack RAM: read and write kinds per byte (offsets into the
// RAM). As an observer it asks to stop at the first access that covers a byte watched
// for its kind; instruction fetches are never watched.
class Watchpoints final : public AccessObserver {
  public:
    static constexpr uint8_t kRead = 1;
    static constexpr uint8_t kWrite = 2;
    static constexpr uint32_t kRamSize = 0x10000;

    uint8_t At(uint32_t offset) const { return offset < bytes_.size() ? bytes_[offset] : 0; }
    bool Any() const { return count_ != 0; }
    // Whether any byte of [offset, offset + length) is watched.
    bool Watched(uint32_t offset, uint32_t length) const {
        if (bytes_.empty()) return false;
        const auto begin = bytes_.begin() + offset;
        return std::any_of(begin, begin + length, [](uint8_t kinds) { return kinds != 0; });
    }
    // Adds or removes `kinds` on the bytes [begin, end), end <= kRamSize.
    void Change(uint32_t begin, uint32_t end, uint8_t kinds, bool on) {
        if (bytes_.empty()) bytes_.assign(kRamSize, 0);
        for (uint32_t i = begin; i < end; ++i) {
            const uint8_t before = bytes_[i];
            bytes_[i] = on ? (before | kinds) : (before & ~kinds);
            count_ += (bytes_[i] != 0) - (before != 0);
        }
    }
    void Clear() {
        bytes_.clear();
        count_ = 0;
    }

    bool OnAccess(const MemoryAccess& access) override {
        if (access.kind == AccessKind::kFetch) return false;
        const uint8_t kind = access.kind == AccessKind::kWrite ? kWrite : kRead;
        const uint32_t begin = access.address & (kRamSize - 1);
        const uint32_t end = std::min<uint32_t>(begin + access.size, kRamSize);
        for (uint32_t i = begin; i < end; ++i) {
            if (At(i) & kind) return true;
        }
        return false;
    }

  private:
    std::vector<uint8_t> bytes_;  // empty until the first watchpoint
    uint32_t count_ = 0;          // bytes with any kind
};
