#include "symbols/SymbolName.h"

#include <string>

namespace {

bool IsNameChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

std::string SymbolNameFor(std::string_view text) {
    std::string name;
    name.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        name.push_back(IsNameChar(c) ? static_cast<char>(c) : '_');
        // The continuation bytes of a UTF-8 sequence belong to the character just replaced.
        if (c >= 0xC0)
            while (i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80)
                ++i;
    }
    return name;
}

std::string UniqueNames::Take(std::string name) {
    if (given_.insert(name).second) return name;
    // Counting on from the last suffix this name got keeps thousands of equal headers
    // ("Routine (1 calls)") linear.
    unsigned& next = nextSuffix_.try_emplace(name, 2).first->second;
    for (;; ++next) {
        std::string numbered = name + "_" + std::to_string(next);
        if (given_.insert(std::move(numbered)).second) return name + "_" + std::to_string(next++);
    }
}
