#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Names of stack RAM variables: per RAM byte none, a name (the variable starts here)
// or the continued mark (the byte belongs to the nearest named byte before it).
class RamNameTable {
  public:
    enum class Entry : uint8_t { None = 0, Name = 1, Continued = 2 };

    void Reset(uint32_t ramSize);
    uint32_t RamSize() const { return static_cast<uint32_t>(entries_.size()); }
    size_t NameCount() const { return names_.size(); }

    Entry At(uint32_t index) const {
        return index < entries_.size() ? entries_[index] : Entry::None;
    }
    // The name stored at this byte, or nullptr (for none and for the continued mark).
    const std::string* Find(uint32_t index) const;
    // The name of the variable this byte belongs to: its own name or, for a continued
    // byte, that of the nearest named byte before it. nullptr when there is none.
    // `start` receives the named byte's index. Constant time: the listing asks for
    // every RAM reference it shows.
    const std::string* Owner(uint32_t index, uint32_t& start) const;

    // A name; an empty text makes the entry none. Indexes outside the table are ignored.
    void SetName(uint32_t index, std::string_view name);
    void SetContinued(uint32_t index);
    void SetNone(uint32_t index);

    // Calls fn(index, name, count) for every name in increasing index order, count
    // being 1 plus the continued marks right after it.
    template <typename Fn>
    void ForEachName(Fn&& fn) const {
        const uint32_t size = RamSize();
        for (uint32_t i = 0; i < size; ++i) {
            if (entries_[i] != Entry::Name) continue;
            uint32_t count = 1;
            while (i + count < size && entries_[i + count] == Entry::Continued) ++count;
            fn(i, names_.find(i)->second, count);
        }
    }

  private:
    void RebuildOwners() const;

    std::vector<Entry> entries_;
    std::unordered_map<uint32_t, std::string> names_;
    // Per byte, the index of its owning name or kNoOwner; rebuilt after a change.
    static constexpr uint32_t kNoOwner = 0xFFFFFFFF;
    mutable std::vector<uint32_t> owners_;
    mutable bool ownersStale_ = true;
};
