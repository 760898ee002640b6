#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "listing/TextFormat.h"

namespace {

std::vector<uint32_t> SampleValues() {
    std::vector<uint32_t> values = {0,         1,          9,          10,        15,      16,
                                    255,       256,        0xFFF,      0x1000,    0xFFFFF, 0xFFFFFF,
                                    0x1000000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    for (int bit = 0; bit < 32; ++bit) {
        values.push_back(1u << bit);
        values.push_back((1u << bit) - 1);
    }
    std::mt19937 rnd(7);
    for (int i = 0; i < 20000; ++i) values.push_back(rnd() >> (rnd() % 32));
    return values;
}

template <typename Put>
std::string Written(Put put) {
    char buffer[64];
    char* end = put(buffer);
    return std::string(buffer, end);
}

std::string Printf(const char* format, uint32_t v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, v);
    return buffer;
}

TEST(TextFormat, HexMatchesPrintfForEveryPrecision) {
    const char* lowerFormats[] = {"%x", "%.2x", "%.4x", "%.6x", "%.8x", "%.10x"};
    const int digits[] = {1, 2, 4, 6, 8, 10};
    for (uint32_t v : SampleValues()) {
        for (int k = 0; k < 6; ++k) {
            ASSERT_EQ(Written([&](char* p) { return textformat::PutHex(p, v, digits[k]); }),
                      Printf(lowerFormats[k], v))
                << lowerFormats[k] << " " << v;
        }
        ASSERT_EQ(Written([&](char* p) { return textformat::PutHexUpper(p, v, 2); }),
                  Printf("%.2X", v));
        ASSERT_EQ(Written([&](char* p) { return textformat::PutHexUpper(p, v, 8); }),
                  Printf("%.8X", v));
        ASSERT_EQ(Written([&](char* p) { return textformat::PutAddress(p, v); }),
                  Printf("%.6x", v));
        ASSERT_EQ(Written([&](char* p) { return textformat::PutByteHex(p, uint8_t(v)); }),
                  Printf("%.2x", v & 0xFF));
        const int32_t s = static_cast<int32_t>(v);
        char expected[32];
        std::snprintf(expected, sizeof expected, "%d", s);
        ASSERT_EQ(Written([&](char* p) { return textformat::PutDecimal(p, s); }), expected);
    }
}

}  // namespace
