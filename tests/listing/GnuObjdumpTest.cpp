// The GNU-syntax texts against arm-none-eabi-objdump: every one of the 65,536 halfwords,
// and a sample of BL pairs, must read exactly as objdump prints them (whitespace aside).
// Two things are not objdump's: the word a literal load reads, which our text adds after
// objdump's comment (" = 0x........", cut before comparing), and the encodings that ARMv4T
// leaves undefined, where objdump reads later processors' instructions and we show the
// halfword as data.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "listing/GnuSyntax.h"
#include "listing/ListingFixture.h"

namespace {

// Each halfword is followed by four NOPs, so that neither an IT block nor a 32-bit
// prefix that objdump sees in it reaches the next one.
constexpr uint32_t kStride = 10;
constexpr uint32_t kPairs = 4096;
constexpr uint32_t kPairsAt = 0x10000 * kStride;
constexpr uint16_t kNop = 0x46C0;

// ARMv4T defines only ADD/SUB SP (B0), PUSH (B4, B5) and POP (BC, BD) in the B group, BX
// with bits 7 and 0..2 clear, and no 32-bit prefix other than a BL pair's.
bool UndefinedInArmV4T(uint16_t h) {
    const unsigned high = h >> 8;
    if ((h & 0xF000) == 0xB000)
        return !(high == 0xB0 || high == 0xB4 || high == 0xB5 || high == 0xBC || high == 0xBD);
    if ((h & 0xFF00) == 0x4700) return (h & 0x87) != 0;
    return h >= 0xE800;
}

std::string Spaced(const std::string& text) {
    std::istringstream in(text);
    std::string word, out;
    while (in >> word) out += (out.empty() ? "" : " ") + word;
    return out;
}

// objdump's text of each instruction, by address: "  9002:\t4801      \tldr\tr0, ..."
std::map<uint32_t, std::string> Objdump(const std::string& path) {
    const std::string command = std::string(TRAVIK_ARM_OBJDUMP) +
                                " -D -b binary -m arm -M force-thumb,reg-names-std -EB " + path;
    std::map<uint32_t, std::string> texts;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return texts;
    char raw[512];
    while (std::fgets(raw, sizeof raw, pipe)) {
        const std::string line = raw;
        const size_t colon = line.find(":\t");
        const size_t text = colon == std::string::npos ? colon : line.find('\t', colon + 2);
        if (text == std::string::npos) continue;
        texts[std::stoul(line.substr(0, colon), nullptr, 16)] = Spaced(line.substr(text + 1));
    }
    pclose(pipe);
    return texts;
}

TEST(GnuSyntax, EveryHalfwordAndBlPairReadsAsObjdumpPrintsIt) {
    ListingFixture f(kPairsAt + kPairs * 8);
    std::vector<uint8_t> bytes(kPairsAt + kPairs * 8);
    auto put = [&](uint32_t offset, uint16_t h) {
        f.Half(offset, h);
        bytes[offset] = static_cast<uint8_t>(h >> 8);
        bytes[offset + 1] = static_cast<uint8_t>(h);
    };
    for (uint32_t h = 0; h < 0x10000; ++h) {
        put(h * kStride, static_cast<uint16_t>(h));
        for (uint32_t k = 2; k < kStride; k += 2) put(h * kStride + k, kNop);
    }
    std::mt19937 random(7);
    for (uint32_t i = 0; i < kPairs; ++i) {
        const uint32_t o = kPairsAt + i * 8;
        put(o, static_cast<uint16_t>(0xF000 | (random() & 0x7FF)));
        put(o + 2, static_cast<uint16_t>(0xF800 | (random() & 0x7FF)));
        put(o + 4, kNop);
        put(o + 6, kNop);
    }
    TempDir dir;
    WriteFile(dir.File("all.bin"), bytes);
    const std::map<uint32_t, std::string> objdump = Objdump(dir.File("all.bin"));
    ASSERT_GT(objdump.size(), 0x10000u);

    const std::regex loadedWord(" = 0x[0-9a-f]{8}$");
    int failures = 0;
    size_t compared = 0;
    auto check = [&](uint32_t offset, uint16_t h, bool defined) {
        const std::string ours = std::regex_replace(GnuInstruction(*f.doc, offset), loadedWord, "");
        char data[16];
        std::snprintf(data, sizeof data, ".short 0x%04x", h);
        std::string expected = data;
        if (defined) {
            const auto it = objdump.find(offset);
            expected = it == objdump.end() ? "(nothing)" : it->second;
            ++compared;
        }
        if (ours != expected && ++failures <= 20)
            ADD_FAILURE() << std::hex << h << " at " << offset << ": ours '" << ours
                          << "', expected '" << expected << "'";
    };
    for (uint32_t h = 0; h < 0x10000; ++h)
        check(h * kStride, static_cast<uint16_t>(h), !UndefinedInArmV4T(static_cast<uint16_t>(h)));
    for (uint32_t i = 0; i < kPairs; ++i) check(kPairsAt + i * 8, 0xF000, true);
    EXPECT_EQ(failures, 0);
    EXPECT_GT(compared, 60000u);
}

}  // namespace
