#include "document/RamNameTable.h"

void RamNameTable::Reset(uint32_t ramSize) {
    entries_.assign(ramSize, Entry::None);
    names_.clear();
}

const std::string* RamNameTable::Find(uint32_t index) const {
    if (At(index) != Entry::Name) return nullptr;
    return &names_.find(index)->second;
}

const std::string* RamNameTable::Owner(uint32_t index) const {
    if (index >= entries_.size()) return nullptr;
    uint32_t i = index;
    while (entries_[i] == Entry::Continued) {
        if (i == 0) return nullptr;
        --i;
    }
    return Find(i);
}

void RamNameTable::SetName(uint32_t index, std::string_view name) {
    if (index >= entries_.size()) return;
    if (name.empty()) {
        SetNone(index);
        return;
    }
    entries_[index] = Entry::Name;
    names_[index].assign(name.data(), name.size());
}

void RamNameTable::SetContinued(uint32_t index) {
    if (index >= entries_.size()) return;
    if (entries_[index] == Entry::Name) names_.erase(index);
    entries_[index] = Entry::Continued;
}

void RamNameTable::SetNone(uint32_t index) {
    if (index >= entries_.size()) return;
    if (entries_[index] == Entry::Name) names_.erase(index);
    entries_[index] = Entry::None;
}
