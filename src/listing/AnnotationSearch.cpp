#include "listing/AnnotationSearch.h"

#include <algorithm>

#include "document/CTravikDoc.h"
#include "listing/Disassembler.h"
#include "shell/Bits.h"

AnnotationSearch::AnnotationSearch(const CTravikDoc& doc, std::string pattern, bool ignoreCase)
    : doc_(doc), pattern_(std::move(pattern)), ignoreCase_(ignoreCase) {
    doc.RamNames().ForEachName([&](uint32_t index, const std::string& name, uint32_t count) {
        if (Holds(name))
            names_.emplace_back(doc.RamBase() + index, doc.RamBase() + index + count - 1);
    });
}

bool AnnotationSearch::Holds(const std::string& text) const {
    if (!ignoreCase_) return text.find(pattern_) != std::string::npos;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return std::search(text.begin(), text.end(), pattern_.begin(), pattern_.end(),
                       [&](char a, char b) { return lower(a) == b; }) != text.end();
}

bool AnnotationSearch::PointsAtName(uint32_t item) const {
    if (names_.empty()) return false;
    uint32_t value = 0;
    const uint8_t type = doc_.Flags()[item / 2] & flagbits::kTypeMask;
    if (type == itemtype::kThumb) {
        const ThumbInstruction insn = DecodeThumb(doc_, item);
        if (insn.form != ThumbForm::kLoadLiteral) return false;
        value = insn.literal;
    } else if (type == itemtype::kData4 && item + 4 <= doc_.ImageSize()) {
        value = BigEndianWord(doc_.Image() + item);
    } else {
        return false;
    }
    return std::any_of(names_.begin(), names_.end(),
                       [&](const auto& r) { return value >= r.first && value <= r.second; });
}

bool AnnotationSearch::Matches(uint32_t item, uint32_t next) const {
    const AnnotationTable* tables[] = {&doc_.Headers(), &doc_.Notes(), &doc_.Explanations(),
                                       &doc_.Footers()};
    for (uint32_t index = item / 2; index < next / 2 || index == item / 2; ++index)
        for (const AnnotationTable* table : tables)
            if (table->Has(index) && Holds(*table->Find(index))) return true;
    return PointsAtName(item);
}
