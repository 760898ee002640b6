// The listing of compiled code against arm-none-eabi-objdump: every THUMB
// instruction of the compiled workloads (bench/workloads, from their ELF files) must
// start a line of its own, with the same operation, and branches and calls with the
// same target. objdump's unified spellings are mapped to ours first.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "document/CTravikDoc.h"
#include "listing/Disassembler.h"
#include "support/TestSupport.h"

namespace {

// objdump's mnemonic (without .n and the flag-setting s) to ours.
std::string OurMnemonic(std::string m) {
    if (m.size() > 2 && m.compare(m.size() - 2, 2, ".n") == 0) m.resize(m.size() - 2);
    static const std::map<std::string, std::string> kAlias = {
        {"movs", "MOV"},  {"lsls", "LSL"},    {"lsrs", "LSR"},    {"asrs", "ASR"},
        {"adds", "ADD"},  {"subs", "SUB"},    {"ands", "AND"},    {"eors", "EOR"},
        {"adcs", "ADC"},  {"sbcs", "SBC"},    {"rors", "ROR"},    {"negs", "NEG"},
        {"rsbs", "NEG"},  {"orrs", "ORR"},    {"muls", "MUL"},    {"bics", "BIC"},
        {"mvns", "MVN"},  {"ldrsb", "LDSB"},  {"ldrsh", "LDSH"},  {"bhs", "BCS"},
        {"blo", "BCC"},   {"ldmia", "LDMIA"}, {"stmia", "STMIA"}, {"ldm", "LDMIA"},
        {"stm", "STMIA"}, {"adr", "MOV"}};
    if (const auto it = kAlias.find(m); it != kAlias.end()) return it->second;
    for (char& c : m) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return m;
}

bool Hex4(const std::string& s) {
    return s.size() == 4 && s.find_first_not_of("0123456789abcdef") == std::string::npos;
}

TEST(WorkloadListing, EveryInstructionAgreesWithObjdump) {
    size_t compared = 0;
    for (const std::string& base : WorkloadBases()) {
        RecordingFrame frame;
        std::unique_ptr<CTravikDoc> doc = OpenImage(frame, base + ".fls");
        ASSERT_TRUE(doc) << base;
        const std::string command =
            std::string(TRAVIK_ARM_OBJDUMP) + " -d -M force-thumb -EB " + base + ".elf";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char raw[512];
        int failures = 0;
        while (std::fgets(raw, sizeof raw, pipe) && failures < 10) {
            // "  200036:\tf000 f941 \tbl\t2002bc <wl_list>"
            std::istringstream line(raw);
            std::string addressText, first;
            if (!(line >> addressText >> first) || addressText.back() != ':' ||
                addressText.find_first_not_of("0123456789abcdef:") != std::string::npos)
                continue;
            const uint32_t address = std::stoul(addressText, nullptr, 16);
            if (first.size() != 4 || address < CEmulator::kFlashBase) continue;
            std::string mnemonic;
            line >> mnemonic;
            if (Hex4(mnemonic)) line >> mnemonic;  // the BL suffix
            // Constant data shown as halfwords, literal data.
            if (Hex4(mnemonic) || mnemonic.empty() || mnemonic[0] == '.') continue;
            const uint32_t offset = address - CEmulator::kFlashBase;
            const std::string ours = DisassembleThumb(*doc, offset);
            const std::string expected = OurMnemonic(mnemonic);
            std::string problem;
            // Two shifts that clear bits are one AND line; the second is inside it.
            const bool pairStart =
                doc->IsMergedShiftPair(offset) && (doc->Flags()[offset / 2 + 1] & 0x80);
            const bool pairEnd = offset >= 2 && !(doc->Flags()[offset / 2 - 1] & 0x80) &&
                                 doc->IsMergedShiftPair(offset - 2);
            if ((doc->Flags()[offset / 2] & 0x80) && !pairEnd) problem = "inside another line";
            if (pairEnd) continue;
            // Our MOV Rd, Rs is the shift LSL Rd, Rs, #0 it encodes; SUB SP is ADD SP, #-n.
            const std::string op = ours.substr(0, ours.find(' '));
            if (op != expected && !(expected == "MOV" && (op == "LSL" || op == "ADD")) &&
                !(pairStart && op == "AND") && !(expected == "SUB" && op == "ADD"))
                problem += " operation";
            if (mnemonic[0] == 'b' && mnemonic != "bx" && mnemonic != "bics") {
                // Ours names the target by its image offset.
                std::string target;
                line >> target;
                char text[16];
                std::snprintf(text, sizeof text, " %lx",
                              std::stoul(target, nullptr, 16) - CEmulator::kFlashBase);
                if ((ours + " ").find(std::string(text) + " ") == std::string::npos)
                    problem += " target";
            }
            ++compared;
            if (!problem.empty()) {
                ++failures;
                ADD_FAILURE() << base << " " << addressText << " objdump: " << raw
                              << "ours: " << ours << " (" << problem << ")";
            }
        }
        pclose(pipe);
    }
    EXPECT_GT(compared, 3000u);
}

}  // namespace
