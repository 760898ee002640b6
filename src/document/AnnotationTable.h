#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "document/PageBuffer.h"

// One kind of annotation text (notes, headers, footers or explanations) for every
// halfword of the image. Texts are few next to the halfwords: they are kept sorted by
// halfword index, and a bit per halfword answers "is there one?" without a search on
// the hot paths of the listing.
class AnnotationTable {
  public:
    void Reset(uint32_t halfwordCount);
    void Clear();

    uint32_t HalfwordCount() const { return count_; }
    size_t Size() const { return indexes_.size(); }

    bool Has(uint32_t index) const {
        return index < count_ && (words_.data()[index >> 6].bits >> (index & 63)) & 1;
    }
    // The text of a halfword, or nullptr when it has none.
    const std::string* Find(uint32_t index) const;
    // Stores a text; an empty one removes the entry. Indexes outside the table are
    // ignored.
    void Set(uint32_t index, std::string_view text);
    // Stores many texts at once; `entries` are sorted by index, without repeats. Each
    // replaces the text its halfword had; an empty one removes it.
    void SetSorted(std::vector<std::pair<uint32_t, std::string>> entries);

    // Calls fn(index, text) for every text in increasing index order.
    template <typename Fn>
    void ForEach(Fn&& fn) const {
        for (size_t k = 0; k < indexes_.size(); ++k) fn(indexes_[k], texts_[k]);
    }

  private:
    // Where the text of a halfword that has one stands in the sorted lists.
    size_t Position(uint32_t index) const;
    void RebuildRank() const;
    void SetBit(uint32_t index, bool on) {
        uint64_t& word = words_.data()[index >> 6].bits;
        const uint64_t bit = uint64_t{1} << (index & 63);
        word = on ? (word | bit) : (word & ~bit);
    }

    uint32_t count_ = 0;
    // A bit per halfword, 64 to a word, and beside each word the number of texts that
    // stand before it (rebuilt on the first lookup after texts were added or removed),
    // so that a lookup reads one place and counts bits rather than searching.
    struct Word {
        uint64_t bits;
        uint32_t rank;
        uint32_t unused;
    };
    PageBuffer<Word> words_;
    std::vector<uint32_t> indexes_;   // increasing
    std::vector<std::string> texts_;  // texts_[k] belongs to indexes_[k]
    mutable bool rankValid_ = false;
};
