#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// A value typed into a register field: hex digits in either case, read left to right;
// higher digits than fit in 32 bits overflow away, and an empty text is 0. Any other
// character makes the entry invalid.
inline std::optional<uint32_t> ParseRegisterEntry(std::string_view text) {
    uint32_t value = 0;
    for (char c : text) {
        uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<uint32_t>(c - '0');
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<uint32_t>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<uint32_t>(c - 'a' + 10);
        else
            return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}
