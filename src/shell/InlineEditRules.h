#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "shell/HexDigit.h"

// A value typed into a register field: hex digits in either case, read left to right;
// higher digits than fit in 32 bits overflow away, and an empty text is 0. Any other
// character makes the entry invalid.
inline std::optional<uint32_t> ParseRegisterEntry(std::string_view text) {
    uint32_t value = 0;
    for (char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}
