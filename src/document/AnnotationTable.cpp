#include "document/AnnotationTable.h"

#include <algorithm>

void AnnotationTable::Reset(uint32_t halfwordCount) {
    Clear();
    if (words_.Allocate((size_t{halfwordCount} + 63) / 64)) count_ = halfwordCount;
}

void AnnotationTable::Clear() {
    indexes_ = {};
    texts_ = {};
    rankValid_ = false;
    words_.Release();
    count_ = 0;
}

size_t AnnotationTable::Position(uint32_t index) const {
    return static_cast<size_t>(std::lower_bound(indexes_.begin(), indexes_.end(), index) -
                               indexes_.begin());
}

const std::string* AnnotationTable::Find(uint32_t index) const {
    if (!Has(index)) return nullptr;
    return &texts_[Position(index)];
}

void AnnotationTable::Set(uint32_t index, std::string_view text) {
    if (index >= count_) return;
    // Edits search the sorted list, so that a burst of them never rebuilds the rank.
    const size_t k = static_cast<size_t>(std::lower_bound(indexes_.begin(), indexes_.end(), index) -
                                         indexes_.begin());
    if (Has(index)) {
        if (text.empty()) {
            rankValid_ = false;
            indexes_.erase(indexes_.begin() + static_cast<std::ptrdiff_t>(k));
            texts_.erase(texts_.begin() + static_cast<std::ptrdiff_t>(k));
            SetBit(index, false);
        } else {
            texts_[k].assign(text.data(), text.size());
        }
        return;
    }
    if (text.empty()) return;
    rankValid_ = false;
    SetBit(index, true);
    indexes_.insert(indexes_.begin() + static_cast<std::ptrdiff_t>(k), index);
    texts_.emplace(texts_.begin() + static_cast<std::ptrdiff_t>(k), text);
}

void AnnotationTable::SetSorted(std::vector<std::pair<uint32_t, std::string>> entries) {
    std::vector<uint32_t> indexes;
    std::vector<std::string> texts;
    indexes.reserve(indexes_.size() + entries.size());
    texts.reserve(indexes_.size() + entries.size());
    size_t old = 0;
    for (auto& [index, text] : entries) {
        if (index >= count_) continue;
        while (old < indexes_.size() && indexes_[old] < index) {
            indexes.push_back(indexes_[old]);
            texts.push_back(std::move(texts_[old++]));
        }
        if (old < indexes_.size() && indexes_[old] == index) ++old;  // replaced
        SetBit(index, !text.empty());
        if (text.empty()) continue;
        indexes.push_back(index);
        texts.push_back(std::move(text));
    }
    while (old < indexes_.size()) {
        indexes.push_back(indexes_[old]);
        texts.push_back(std::move(texts_[old++]));
    }
    indexes_ = std::move(indexes);
    texts_ = std::move(texts);
    rankValid_ = false;
}
