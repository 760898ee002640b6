#pragma once

#include <cstddef>
#include <cstdint>

// A fast 64-bit checksum of a byte run: tells a file from another and a whole record
// from a damaged one. Words are read little-endian so the value is the same on any host.
inline uint64_t Checksum64(const uint8_t* data, size_t size) {
    uint64_t h = 0x9E3779B97F4A7C15ull ^ size;
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word = 0;
        for (int k = 7; k >= 0; --k) word = word << 8 | data[i + k];
        h = (h ^ word) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    for (; i < size; ++i) h = (h ^ data[i]) * 0x100000001B3ull;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 32);
}
