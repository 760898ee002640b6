// Differential tests against Unicorn (ARM TI925T, an ARMv4T, big-endian THUMB) and the
// host. Random THUMB sequences run on this emulator and on Unicorn, comparing R0-R15,
// N Z C V, the T bit and the whole stack RAM after every instruction. A mismatch prints the seed, the
// instruction and both states in hex, so it can be replayed.
//
// The generator keeps to what both must agree on. Designed exclusions (places where
// this emulator differs from the processor on purpose, or where ARMv4T leaves the
// result unpredictable):
//  - no access outside the stack RAM and the flash image, and no write to the flash:
//    unmapped areas, the I/O registers and the low window answer with warnings and
//    marker values here;
//  - no misaligned load or store: they return markers here (the processor rotates);
//  - POP {PC} only pops return addresses pushed by BL, which are odd: an even one
//    stays THUMB here;
//  - no BX (only BX LR is emulated in ARM state), no SWI (0xDF), no condition 14
//    (0xDE, always taken here), no BLX / lone BL suffix (do-nothing here), and no
//    high-register operation with two low registers (unknown instruction here);
//  - no empty register list, and no LDMIA/STMIA with the base in its list (the base
//    advances after each register here);
//  - the registers used as bases (R6, R7, SP) and PC are never written by data
//    operations; LR only by BL.
#include <gtest/gtest.h>
#include <unicorn/unicorn.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "emulator/EmulatorHarness.h"
#include "workload.h"

namespace {

constexpr uint32_t kFlash = CEmulator::kFlashBase;
constexpr uint32_t kRam = CEmulator::kStackBase;
constexpr uint32_t kImageSize = 0x800;
constexpr uint32_t kDataBase = kRam + 0x4000;  // R7 points near here
constexpr uint32_t kStackStart = kRam + 0x8000;

class Generator {
  public:
    explicit Generator(uint32_t seed) : rng_(seed) {}

    uint32_t Below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_); }
    bool Chance(uint32_t percent) { return Below(100) < percent; }
    uint32_t Value() {
        static constexpr uint32_t kEdges[] = {0,          1,          2,          31,
                                              32,         0x7FFFFFFF, 0x80000000, 0xFFFFFFFF,
                                              0xFFFFFFFE, 0x80000001, 0xFF,       0x100};
        if (Chance(35)) return kEdges[Below(sizeof kEdges / sizeof kEdges[0])];
        if (Chance(30)) return Below(64);
        return static_cast<uint32_t>(rng_());
    }
    uint32_t Low() { return Below(8); }
    uint32_t Dest() { return Below(6); }  // R0-R5: R6 and R7 are the bases
    uint32_t List(uint32_t allowed) {
        uint32_t list = 0;
        while (list == 0) list = static_cast<uint32_t>(rng_()) & allowed;
        return list;
    }

    // One instruction without control flow; `stackOps` allows SP to move.
    uint16_t Plain(bool stackOps) {
        const uint32_t kind = Below(stackOps ? 17 : 14);
        const uint32_t rd = Dest(), rs = Low();
        switch (kind) {
            case 0:  // LSL / LSR / ASR #imm
                return static_cast<uint16_t>((Below(3) << 11) | (Below(32) << 6) | (rs << 3) | rd);
            case 1:  // ADD / SUB register or imm3
                return static_cast<uint16_t>(0x1800 | (Below(4) << 9) | (Low() << 6) | (rs << 3) |
                                             rd);
            case 2: {  // MOV / CMP / ADD / SUB #imm8
                const uint32_t op = Below(4);
                const uint32_t reg = op == 1 ? Low() : rd;
                return static_cast<uint16_t>(0x2000 | (op << 11) | (reg << 8) | Below(256));
            }
            case 3:
            case 4: {  // ALU, all sixteen operations
                const uint32_t op = Below(16);
                const bool compares = op == 8 || op == 10 || op == 11;
                return static_cast<uint16_t>(0x4000 | (op << 6) | (rs << 3) |
                                             (compares ? Low() : rd));
            }
            case 5: {  // ADD / CMP / MOV with a high register
                const uint32_t op = Below(3);
                uint32_t h1 = Below(2), h2 = Below(2);
                if (!h1 && !h2) (Chance(50) ? h1 : h2) = 1;
                uint32_t d;
                if (op == 1)
                    d = Low();  // CMP may read anything
                else
                    d = h1 ? Below(5) : Dest();  // R8-R12 or R0-R5
                return static_cast<uint16_t>(0x4400 | (op << 8) | (h1 << 7) | (h2 << 6) |
                                             (Low() << 3) | d);
            }
            case 6:  // LDR Rd, [PC, #imm8 x 4]
                return static_cast<uint16_t>(0x4800 | (rd << 8) | Below(256));
            case 7:
            case 8: {  // register offset, base R7 + offset R6
                const uint32_t op = Below(8);
                const bool load = op == 2 || op == 3 || op >= 5;
                const uint32_t r = load ? rd : Low();
                const uint32_t sign = op >= 4 ? 1 : 0;
                return static_cast<uint16_t>(0x5000 | ((op & 3) << 10) | (sign << 9) | (6 << 6) |
                                             (7 << 3) | r);
            }
            case 9:
            case 10: {  // immediate offset from R7: words, bytes, halfwords
                const uint32_t op = Below(6);
                const bool load = op & 1;
                const uint32_t r = load ? rd : Low();
                const uint32_t base = op < 4 ? 0x6000 | ((op >> 1) << 12) : 0x8000;
                const uint32_t form = op < 4 ? ((op & 1) << 11) : ((op & 1) << 11);
                return static_cast<uint16_t>(base | form | (Below(32) << 6) | (7 << 3) | r);
            }
            case 11: {  // STR / LDR SP-relative
                const bool load = Chance(50);
                return static_cast<uint16_t>(0x9000 | (load << 11) | ((load ? rd : Low()) << 8) |
                                             Below(256));
            }
            case 12:  // ADD Rd, PC / SP
                return static_cast<uint16_t>(0xA000 | (Below(2) << 11) | (rd << 8) | Below(256));
            case 13:  // STMIA R7! / LDMIA R7!
                if (Chance(50)) return static_cast<uint16_t>(0xC700 | List(0x7F));
                return static_cast<uint16_t>(0xCF00 | List(0x3F));
            case 14:  // ADD SP, #+-imm7 x 4, kept small
                return static_cast<uint16_t>(0xB000 | (Below(2) << 7) | Below(17));
            case 15:  // PUSH {list} with or without LR
                if (Chance(30)) return static_cast<uint16_t>(0xB500 | (Below(256)));
                return static_cast<uint16_t>(0xB400 | List(0xFF));
            default:  // POP {list} of R0-R5
                return static_cast<uint16_t>(0xBC00 | List(0x3F));
        }
    }

  private:
    std::mt19937 rng_;
};

// One program: a main body with branches and calls, a B . at its end, and two
// routines (PUSH {LR} .. POP {PC}, and a leaf returning with MOV PC, LR).
struct Program {
    std::vector<uint16_t> code;
    uint32_t end = 0;  // offset of the closing B .
};

Program MakeProgram(Generator& g) {
    enum Kind { kPlain, kCond, kBranch, kCall };
    struct Item {
        Kind kind;
        uint16_t half;
        uint32_t target;  // item index, or routine number for calls
        uint32_t offset;
    };
    const uint32_t count = 20 + g.Below(30);
    std::vector<Item> items;
    uint32_t offset = 0;
    for (uint32_t i = 0; i < count; ++i) {
        Item it{kPlain, 0, 0, offset};
        const uint32_t roll = g.Below(100);
        if (roll < 12) {
            it.kind = kCond;
            it.half = static_cast<uint16_t>(0xD000 | (g.Below(14) << 8));
            it.target =
                g.Chance(80) ? i + 1 + g.Below(count - i) : i - g.Below(std::min(i, 6u) + 1);
        } else if (roll < 15) {
            it.kind = kBranch;
            it.target = i + 1 + g.Below(count - i);
        } else if (roll < 22) {
            it.kind = kCall;
            it.target = g.Below(2);
        } else {
            it.half = g.Plain(true);
        }
        offset += it.kind == kCall ? 4 : 2;
        items.push_back(it);
    }
    Program p;
    p.end = offset;
    // Routines after the closing B .
    std::vector<uint16_t> routine0{0xB500};  // PUSH {LR}
    if (g.Chance(50)) routine0[0] = 0xB510;  // PUSH {R4, LR}
    for (uint32_t k = g.Below(6); k > 0; --k) routine0.push_back(g.Plain(false));
    routine0.push_back(routine0[0] == 0xB510 ? 0xBD10 : 0xBD00);
    std::vector<uint16_t> routine1;
    for (uint32_t k = g.Below(6); k > 0; --k) routine1.push_back(g.Plain(false));
    routine1.push_back(0x46F7);  // MOV PC, LR
    const uint32_t routineAt[2] = {p.end + 2,
                                   p.end + 2 + 2 * static_cast<uint32_t>(routine0.size())};

    auto offsetOf = [&](uint32_t index) { return index < count ? items[index].offset : p.end; };
    for (const Item& it : items) {
        const uint32_t to = it.kind == kCall ? routineAt[it.target] : offsetOf(it.target);
        const int32_t delta = (static_cast<int32_t>(to) - static_cast<int32_t>(it.offset) - 4) / 2;
        if (it.kind == kPlain) p.code.push_back(it.half);
        if (it.kind == kCond) p.code.push_back(static_cast<uint16_t>(it.half | (delta & 0xFF)));
        if (it.kind == kBranch) p.code.push_back(static_cast<uint16_t>(0xE000 | (delta & 0x7FF)));
        if (it.kind == kCall) {
            p.code.push_back(static_cast<uint16_t>(0xF000 | ((delta >> 11) & 0x7FF)));
            p.code.push_back(static_cast<uint16_t>(0xF800 | (delta & 0x7FF)));
        }
    }
    p.code.push_back(0xE7FE);
    p.code.insert(p.code.end(), routine0.begin(), routine0.end());
    p.code.insert(p.code.end(), routine1.begin(), routine1.end());
    return p;
}

struct UnicornMachine {
    uc_engine* uc = nullptr;
    std::string error;

    UnicornMachine() {
        uc_err err =
            uc_open(UC_ARCH_ARM, static_cast<uc_mode>(UC_MODE_THUMB | UC_MODE_BIG_ENDIAN), &uc);
        if (err == UC_ERR_OK) err = uc_ctl_set_cpu_model(uc, UC_CPU_ARM_TI925T);
        if (err == UC_ERR_OK) err = uc_mem_map(uc, kFlash, CEmulator::kFlashWindow, UC_PROT_ALL);
        if (err == UC_ERR_OK) err = uc_mem_map(uc, kRam, CEmulator::kStackSize, UC_PROT_ALL);
        if (err != UC_ERR_OK) error = uc_strerror(err);
    }
    ~UnicornMachine() {
        if (uc) uc_close(uc);
    }
    uint32_t Reg(int id) const {
        uint32_t v = 0;
        uc_reg_read(uc, id, &v);
        return v;
    }
    void SetReg(int id, uint32_t v) { uc_reg_write(uc, id, &v); }
};

constexpr int kUcRegs[15] = {UC_ARM_REG_R0,  UC_ARM_REG_R1, UC_ARM_REG_R2,  UC_ARM_REG_R3,
                             UC_ARM_REG_R4,  UC_ARM_REG_R5, UC_ARM_REG_R6,  UC_ARM_REG_R7,
                             UC_ARM_REG_R8,  UC_ARM_REG_R9, UC_ARM_REG_R10, UC_ARM_REG_R11,
                             UC_ARM_REG_R12, UC_ARM_REG_SP, UC_ARM_REG_LR};

std::string Dump(const char* who, const uint32_t (&regs)[16], uint32_t flags) {
    std::string text = std::string("\n") + who + ":";
    char part[32];
    for (int i = 0; i < 16; ++i)
        std::snprintf(part, sizeof part, " R%d=%.8X", i, regs[i]), text += part;
    std::snprintf(part, sizeof part, " NZCV=%X T=%u", flags >> 28, (flags >> 5) & 1);
    return text + part;
}

// Runs one program on both; returns an empty string or the mismatch report.
std::string RunOne(uint32_t seed, UnicornMachine& u, uint64_t& steps) {
    Generator g(seed);
    const Program program = MakeProgram(g);
    EmulatorHarness h({}, kImageSize);
    for (uint32_t i = 0; i < kImageSize; ++i) h.flash[i] = static_cast<uint8_t>(g.Below(256));
    for (size_t i = 0; i < program.code.size(); ++i) h.PutHalf(2 * i, program.code[i]);
    for (uint8_t& b : h.ram) b = static_cast<uint8_t>(g.Below(256));

    h.Start();
    for (int i = 0; i < 15; ++i) h.emu.r[i] = g.Value();
    h.emu.r[6] = 4 * g.Below(64);
    h.emu.r[7] = kDataBase + 4 * g.Below(256);
    h.emu.r[13] = kStackStart;
    h.SetFlags(g.Chance(50), g.Chance(50), g.Chance(50), g.Chance(50));

    uc_mem_write(u.uc, kFlash, h.flash.data(), h.flash.size());
    uc_mem_write(u.uc, kRam, h.ram.data(), h.ram.size());
    uc_ctl_remove_cache(u.uc, kFlash, kFlash + kImageSize);
    // Only the flags change: the rest of Unicorn's CPSR holds its mode and its data
    // byte order.
    u.SetReg(UC_ARM_REG_CPSR, (h.emu.cpsr & 0xF0000000u) | (u.Reg(UC_ARM_REG_CPSR) & 0x0FFFFFFFu));
    for (int i = 0; i < 15; ++i) u.SetReg(kUcRegs[i], h.emu.r[i]);
    u.SetReg(UC_ARM_REG_PC, kFlash);

    std::vector<uint8_t> theirRam(CEmulator::kStackSize);
    const uint32_t limit = 4 * static_cast<uint32_t>(program.code.size());
    for (uint32_t step = 0; step < limit && h.Current() != kFlash + program.end; ++step) {
        const uint32_t pc = h.Current();
        const uint16_t half = h.emu.thumbInstruction;
        h.emu.Step();
        ++steps;
        // Unicorn, like this emulator, runs a BL pair as one instruction.
        const uc_err err = uc_emu_start(u.uc, pc | 1, kFlash + 0xFFFFF, 0, 1);

        uint32_t ours[16], theirs[16];
        for (int i = 0; i < 16; ++i) ours[i] = h.emu.r[i];
        ours[15] -= 4;
        for (int i = 0; i < 15; ++i) theirs[i] = u.Reg(kUcRegs[i]);
        theirs[15] = u.Reg(UC_ARM_REG_PC);
        const uint32_t ourFlags = h.emu.cpsr & 0xF0000020u;
        const uint32_t theirFlags = u.Reg(UC_ARM_REG_CPSR) & 0xF0000020u;
        uc_mem_read(u.uc, kRam, theirRam.data(), theirRam.size());

        std::string problem;
        if (err != UC_ERR_OK) problem = std::string("Unicorn: ") + uc_strerror(err);
        if (std::memcmp(ours, theirs, sizeof ours) != 0 || ourFlags != theirFlags)
            problem += " registers or flags differ";
        const bool ramDiffers = std::memcmp(h.ram.data(), theirRam.data(), theirRam.size()) != 0;
        for (uint32_t a = 0; ramDiffers && a < CEmulator::kStackSize && problem.empty(); ++a) {
            if (h.ram[a] != theirRam[a]) {
                char text[96];
                std::snprintf(text, sizeof text, "RAM differs at %.8X: ours %.2X, Unicorn %.2X",
                              kRam + a, h.ram[a], theirRam[a]);
                problem = text;
            }
        }
        if (problem.empty() && !h.warnings.empty()) problem = "warning: " + h.warnings[0];
        if (!problem.empty()) {
            char head[128];
            std::snprintf(head, sizeof head, "seed %u, step %u: %.4X at %.8X: ", seed, step,
                          half, pc);
            std::string code = "\nprogram:";
            char w[8];
            for (uint16_t c : program.code) std::snprintf(w, sizeof w, " %.4X", c), code += w;
            return head + problem + Dump("ours", ours, ourFlags) +
                   Dump("Unicorn", theirs, theirFlags) + code;
        }
    }
    return {};
}

TEST(UnicornDifferential, RandomSequencesAgreeAfterEveryInstruction) {
    UnicornMachine u;
    ASSERT_TRUE(u.error.empty()) << u.error;
    uint32_t base = 20260601;
    if (const char* env = std::getenv("TRAVIK_DIFF_SEED")) base = std::strtoul(env, nullptr, 10);
    uint32_t programs = 3000;
    if (const char* env = std::getenv("TRAVIK_DIFF_COUNT"))
        programs = std::strtoul(env, nullptr, 10);
    uint64_t steps = 0;
    int failures = 0;
    for (uint32_t i = 0; i < programs && failures < 3; ++i) {
        const std::string problem = RunOne(base + i, u, steps);
        if (!problem.empty()) {
            ADD_FAILURE() << problem;
            ++failures;
        }
    }
    EXPECT_GT(steps, uint64_t{programs} * 10);
    std::printf("%u programs, %" PRIu64 " instructions compared\n", programs, steps);
}

// The compiled C workloads (bench/workloads), run to the start-up code's B . with the
// repeat count in R0: their results must be those of the same C compiled for the host,
// and registers, flags and the whole stack RAM must end as on Unicorn running free.
TEST(CompiledWorkloads, EndWithTheHostBuildsResultsAndInUnicornsState) {
    constexpr uint32_t kHalt = kFlash + 2, kRepeat = 3;
    const struct {
        const char* name;
        void (*host)(uint32_t*, uint32_t);
    } workloads[] = {{"list", wl_list}, {"matrix", wl_matrix}, {"fsm", wl_fsm},
                     {"crc", wl_crc},   {"memops", wl_memops}, {"recurse", wl_recurse}};
    for (const auto& w : workloads) {
        uint32_t expected[8] = {};
        w.host(expected, kRepeat);
        for (const char* level : {"-O2", "-Os"}) {
            SCOPED_TRACE(std::string(w.name) + level);
            std::ifstream in(std::string(TRAVIK_WORKLOAD_DIR) + "/" + w.name + level + ".fls",
                             std::ios::binary);
            const std::vector<uint8_t> image{std::istreambuf_iterator<char>(in), {}};
            ASSERT_FALSE(image.empty()) << "workload image not built";
            EmulatorHarness h({}, 0);
            h.flash = image;
            h.Start();
            h.emu.r[0] = kRepeat;
            ASSERT_TRUE(h.emu.RunUntil(kHalt, 200'000'000).reached);
            EXPECT_TRUE(h.warnings.empty()) << h.warnings.front();
            for (int i = 0; i < 8; ++i) EXPECT_EQ(h.emu.r[i], expected[i]) << "R" << i;

            UnicornMachine u;
            ASSERT_TRUE(u.error.empty()) << u.error;
            uc_mem_write(u.uc, kFlash, image.data(), image.size());
            u.SetReg(UC_ARM_REG_R0, kRepeat);
            u.SetReg(UC_ARM_REG_SP, CEmulator::kInitialStackPointer);
            EXPECT_EQ(uc_emu_start(u.uc, kFlash | 1, kHalt, 0, 0), UC_ERR_OK);
            for (int i = 0; i < 15; ++i) EXPECT_EQ(h.emu.r[i], u.Reg(kUcRegs[i])) << "R" << i;
            EXPECT_EQ(h.Current(), u.Reg(UC_ARM_REG_PC));
            EXPECT_EQ(h.emu.ComposeCpsr() & 0xF0000020u, u.Reg(UC_ARM_REG_CPSR) & 0xF0000020u);
            std::vector<uint8_t> theirs(CEmulator::kStackSize);
            uc_mem_read(u.uc, kRam, theirs.data(), theirs.size());
            EXPECT_TRUE(theirs == h.ram) << "stack RAM differs";
        }
    }
}

}  // namespace
