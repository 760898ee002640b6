#include "document/RamNameTable.h"

void RamNameTable::Reset(uint32_t ramSize) {
    entries_.assign(ramSize, Entry::None);
    names_.clear();
    ownersStale_ = true;
}

const std::string* RamNameTable::Find(uint32_t index) const {
    if (At(index) != Entry::Name) return nullptr;
    return &names_.find(index)->second;
}

const std::string* RamNameTable::Owner(uint32_t index, uint32_t& start) const {
    if (index >= entries_.size()) return nullptr;
    if (ownersStale_) RebuildOwners();
    start = owners_[index];
    return start == kNoOwner ? nullptr : Find(start);
}

void RamNameTable::RebuildOwners() const {
    owners_.resize(entries_.size());
    uint32_t owner = kNoOwner;
    for (uint32_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i] == Entry::Name)
            owner = i;
        else if (entries_[i] == Entry::None)
            owner = kNoOwner;
        owners_[i] = entries_[i] == Entry::None ? kNoOwner : owner;
    }
    ownersStale_ = false;
}

void RamNameTable::SetName(uint32_t index, std::string_view name) {
    if (index >= entries_.size()) return;
    ownersStale_ = true;
    if (name.empty()) {
        SetNone(index);
        return;
    }
    entries_[index] = Entry::Name;
    names_[index].assign(name.data(), name.size());
}

void RamNameTable::SetContinued(uint32_t index) {
    if (index >= entries_.size()) return;
    ownersStale_ = true;
    if (entries_[index] == Entry::Name) names_.erase(index);
    entries_[index] = Entry::Continued;
}

void RamNameTable::SetNone(uint32_t index) {
    if (index >= entries_.size()) return;
    ownersStale_ = true;
    if (entries_[index] == Entry::Name) names_.erase(index);
    entries_[index] = Entry::None;
}
