#include "document/AnnotationTable.h"

void AnnotationTable::Reset(uint32_t halfwordCount) {
    texts_.clear();
    count_ = 0;
    if (bits_.Allocate((size_t{halfwordCount} + 63) / 64)) count_ = halfwordCount;
}

void AnnotationTable::Clear() {
    texts_.clear();
    bits_.Release();
    count_ = 0;
}

const std::string* AnnotationTable::Find(uint32_t index) const {
    if (!Has(index)) return nullptr;
    return &texts_.find(index)->second;
}

void AnnotationTable::Set(uint32_t index, std::string_view text) {
    if (index >= count_) return;
    uint64_t& word = bits_.data()[index >> 6];
    const uint64_t bit = uint64_t{1} << (index & 63);
    if (text.empty()) {
        if (word & bit) texts_.erase(index);
        word &= ~bit;
        return;
    }
    texts_[index].assign(text.data(), text.size());
    word |= bit;
}
