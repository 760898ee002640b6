// The listing's own number writers against printf, over edge and random values.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include "listing/TextFormat.h"

namespace {

TEST(TextFormat, WritersMatchPrintf) {
    std::vector<uint32_t> values = {0, 9, 10, 15, 16, 255, 256, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    for (int bit = 0; bit < 32; ++bit) values.insert(values.end(), {1u << bit, (1u << bit) - 1});
    std::mt19937 rnd(7);
    for (int i = 0; i < 20000; ++i) values.push_back(rnd() >> (rnd() % 32));
    using Writer = std::function<char*(char*, uint32_t)>;
    const std::pair<const char*, Writer> writers[] = {
        {"%x", [](char* p, uint32_t v) { return textformat::PutHex(p, v, 1); }},
        {"%.2x", [](char* p, uint32_t v) { return textformat::PutHex(p, v, 2); }},
        {"%.4x", [](char* p, uint32_t v) { return textformat::PutHex(p, v, 4); }},
        {"%.8x", [](char* p, uint32_t v) { return textformat::PutHex(p, v, 8); }},
        {"%.10x", [](char* p, uint32_t v) { return textformat::PutHex(p, v, 10); }},
        {"%.2X", [](char* p, uint32_t v) { return textformat::PutHexUpper(p, v, 2); }},
        {"%.8X", [](char* p, uint32_t v) { return textformat::PutHexUpper(p, v, 8); }},
        {"%.6x", [](char* p, uint32_t v) { return textformat::PutAddress(p, v); }},
        {"%d", [](char* p, uint32_t v) { return textformat::PutDecimal(p, static_cast<int32_t>(v)); }},
    };
    for (uint32_t v : values) {
        for (const auto& [format, write] : writers) {
            char ours[64], theirs[64];
            *write(ours, v) = '\0';
            std::snprintf(theirs, sizeof theirs, format, v);
            ASSERT_STREQ(ours, theirs) << format << " " << v;
        }
        char ours[4], theirs[4];
        *textformat::PutByteHex(ours, static_cast<uint8_t>(v)) = '\0';
        std::snprintf(theirs, sizeof theirs, "%.2x", v & 0xFF);
        ASSERT_STREQ(ours, theirs) << v;
    }
}

}  // namespace
