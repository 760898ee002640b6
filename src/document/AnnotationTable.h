#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "document/PageBuffer.h"

// One kind of annotation text (notes, headers, footers or explanations) for every
// halfword of the image. Texts are few next to the halfwords, so they live in a hash
// map; a bit per halfword answers "is there one?" without a hash lookup on the hot
// paths of the listing, and gives the halfwords in increasing order for the writer.
class AnnotationTable {
  public:
    void Reset(uint32_t halfwordCount);
    void Clear();

    uint32_t HalfwordCount() const { return count_; }
    size_t Size() const { return texts_.size(); }

    bool Has(uint32_t index) const {
        return index < count_ && (bits_.data()[index >> 6] >> (index & 63)) & 1;
    }
    // The text of a halfword, or nullptr when it has none.
    const std::string* Find(uint32_t index) const;
    // Stores a text; an empty one removes the entry. Indexes outside the table are
    // ignored.
    void Set(uint32_t index, std::string_view text);

    // Calls fn(index, text) for every text in increasing index order.
    template <typename Fn>
    void ForEach(Fn&& fn) const {
        const uint64_t* words = bits_.data();
        const uint32_t wordCount = (count_ + 63) / 64;
        for (uint32_t w = 0; w < wordCount; ++w) {
            uint64_t bits = words[w];
            while (bits != 0) {
                const uint32_t index = w * 64 + static_cast<uint32_t>(__builtin_ctzll(bits));
                bits &= bits - 1;
                fn(index, texts_.find(index)->second);
            }
        }
    }

  private:
    uint32_t count_ = 0;
    PageBuffer<uint64_t> bits_;
    std::unordered_map<uint32_t, std::string> texts_;
};
