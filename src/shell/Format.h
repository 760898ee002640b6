#pragma once

#include <cstdio>
#include <string>

// printf into a string of whatever length the text needs (messages may hold long paths).
template <typename... Args>
std::string Format(const char* format, Args... args) {
    const int n = std::snprintf(nullptr, 0, format, args...);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    std::snprintf(out.data(), out.size() + 1, format, args...);
    return out;
}
