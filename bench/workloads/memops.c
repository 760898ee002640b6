/* memcpy- and memset-style loops of bytes, halfwords and words, forwards and
   backwards, over overlapping and disjoint areas, with a checksum of the result. */
#include "workload.h"

#define BYTES 1024

static uint8_t bytes[2 * BYTES];
static uint16_t halves[BYTES];
static uint32_t words[BYTES / 2];

static void fill_bytes(uint8_t* p, uint8_t v, uint32_t n) {
    while (n--) *p++ = v;
}
static void fill_words(uint32_t* p, uint32_t v, uint32_t n) {
    while (n--) *p++ = v;
}
static void copy_bytes(uint8_t* d, const uint8_t* s, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) d[i] = s[i];
}
static void copy_back(uint8_t* d, const uint8_t* s, uint32_t n) {
    while (n) {
        --n;
        d[n] = s[n];
    }
}
static void copy_halves(uint16_t* d, const uint16_t* s, uint32_t n) {
    while (n--) *d++ = *s++;
}
static void copy_words(uint32_t* d, const uint32_t* s, uint32_t n) {
    for (; n >= 4; n -= 4, d += 4, s += 4) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = s[3];
    }
    while (n--) *d++ = *s++;
}
static uint32_t sum(const uint8_t* p, uint32_t n) {
    uint32_t s = 0;
    for (uint32_t i = 0; i < n; ++i) s = s * 31 + p[i];
    return s;
}
static uint32_t sum_words(const uint32_t* p, uint32_t n) {
    uint32_t s = 0;
    for (uint32_t i = 0; i < n; ++i) s = (s << 3 | s >> 29) ^ p[i];
    return s;
}

void wl_memops(uint32_t* results, uint32_t repeat) {
    uint32_t seed = 5;
    for (uint32_t r = 0; r < repeat; ++r) {
        const uint32_t n = 256 + (wl_next(&seed) & 511);
        fill_bytes(bytes, (uint8_t)r, BYTES);
        for (uint32_t i = 0; i < BYTES; ++i) bytes[BYTES + i] = (uint8_t)(i * 7 + r);
        fill_words(words, 0x01020304u * (r + 1), BYTES / 2);
        copy_bytes(bytes + 3, bytes + BYTES, n);
        copy_back(bytes + BYTES + 5, bytes + BYTES, n);
        for (uint32_t i = 0; i < BYTES / 2; ++i) halves[BYTES / 2 + i] = (uint16_t)(i * 3 + r);
        copy_halves(halves + 1, halves + BYTES / 2, n / 2);
        words[n / 4] = n;
        copy_words(words + BYTES / 4, words + 3, n / 4);
        results[0] += sum(bytes, 2 * BYTES);
        results[1] ^= bytes[n] | (uint32_t)bytes[BYTES + n] << 8 | (uint32_t)halves[n / 2] << 16;
        results[2] += sum_words(words, BYTES / 2);
    }
    results[3] = sum(bytes, 64);
    results[4] = seed;
}
