#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CTravikDoc;

// The texts a listing line does not show, searched beside it when the user asks for
// "Notes and names too": the notes, header, footer and explanations of an item's
// halfwords, and the RAM names its literal load or data word points into.
class AnnotationSearch {
  public:
    // `pattern` as the text search holds it (lower-cased when `ignoreCase`).
    AnnotationSearch(const CTravikDoc& doc, std::string pattern, bool ignoreCase);

    // True when one of the texts of the item from `item` up to `next` (image offsets)
    // holds the pattern.
    bool Matches(uint32_t item, uint32_t next) const;

  private:
    bool Holds(const std::string& text) const;
    bool PointsAtName(uint32_t item) const;

    const CTravikDoc& doc_;
    std::string pattern_;
    bool ignoreCase_;
    // The RAM byte ranges [first, last] whose names hold the pattern, as phone addresses.
    std::vector<std::pair<uint32_t, uint32_t>> names_;
};
