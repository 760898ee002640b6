// Our THUMB decoding against capstone, field by field. capstone decodes the later
// Thumb instruction sets too, so only encodings that ARMv4T defines are compared, and
// the places where our listing deliberately reads differently are mapped first.
#include <capstone/capstone.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "listing/Disassembler.h"
#include "listing/ListingFixture.h"

namespace {

// Operation, registers in operand order, the first immediate and the memory operand,
// in the same terms for both decoders.
struct View {
    unsigned id = 0;
    std::vector<int> regs;
    std::optional<int64_t> imm;
    int memBase = -1;
    int memIndex = -1;
    int64_t memDisp = 0;
    int cc = ARM_CC_AL;

    bool operator==(const View&) const = default;
    std::string Describe() const {
        std::string s = "id " + std::to_string(id) + " regs";
        for (int r : regs) s += ' ' + std::to_string(r);
        return s + (imm ? " imm " + std::to_string(*imm) : "") + " mem " + std::to_string(memBase) + "," +
               std::to_string(memIndex) + "," + std::to_string(memDisp) + " cc " + std::to_string(cc);
    }
};

int RegisterNumber(unsigned reg) {
    if (reg >= ARM_REG_R0 && reg <= ARM_REG_R12) return static_cast<int>(reg - ARM_REG_R0);
    if (reg == ARM_REG_SP) return 13;
    if (reg == ARM_REG_LR) return 14;
    if (reg == ARM_REG_PC) return 15;
    return -100 - static_cast<int>(reg);
}

View FromCapstone(const cs_insn& insn) {
    View v;
    v.id = insn.id;
    const cs_arm& arm = insn.detail->arm;
    v.cc = arm.cc;
    for (int i = 0; i < arm.op_count; ++i) {
        const cs_arm_op& op = arm.operands[i];
        if (op.type == ARM_OP_REG) {
            v.regs.push_back(RegisterNumber(op.reg));
        } else if (op.type == ARM_OP_IMM && !v.imm) {
            // Branch targets come as 32-bit addresses.
            v.imm = static_cast<uint32_t>(op.imm);
        } else if (op.type == ARM_OP_MEM) {
            v.memBase = RegisterNumber(op.mem.base);
            v.memIndex = op.mem.index == ARM_REG_INVALID ? -1 : RegisterNumber(op.mem.index);
            v.memDisp = op.mem.disp;
        }
    }
    return v;
}

std::vector<int> ListRegisters(uint16_t list, int last) {
    std::vector<int> regs;
    for (int r = 0; r < 8; ++r) {
        if (list & (1u << r)) regs.push_back(r);
    }
    if (list & 0x100) regs.push_back(last);
    return regs;
}

// What capstone should report for our decoding; none where the two cannot agree by
// design (our error texts, our two-operand BX, BLX, empty register lists, encodings
// of later processors that our table reads as ARMv4T ones).
std::optional<View> Expected(const ThumbInstruction& t, uint16_t h, uint32_t address) {
    static constexpr unsigned kAlu[16] = {ARM_INS_AND, ARM_INS_EOR, ARM_INS_LSL, ARM_INS_LSR,
                                          ARM_INS_ASR, ARM_INS_ADC, ARM_INS_SBC, ARM_INS_ROR,
                                          ARM_INS_TST, ARM_INS_RSB, ARM_INS_CMP, ARM_INS_CMN,
                                          ARM_INS_ORR, ARM_INS_MUL, ARM_INS_BIC, ARM_INS_MVN};
    static constexpr unsigned kShift[3] = {ARM_INS_LSL, ARM_INS_LSR, ARM_INS_ASR};
    static constexpr unsigned kImmediate[4] = {ARM_INS_MOV, ARM_INS_CMP, ARM_INS_ADD, ARM_INS_SUB};
    static constexpr unsigned kHigh[3] = {ARM_INS_ADD, ARM_INS_CMP, ARM_INS_MOV};
    static constexpr unsigned kRegisterOffset[4] = {ARM_INS_STR, ARM_INS_STRB, ARM_INS_LDR,
                                                    ARM_INS_LDRB};
    static constexpr unsigned kSigned[4] = {ARM_INS_STRH, ARM_INS_LDRSB, ARM_INS_LDRH,
                                            ARM_INS_LDRSH};
    static constexpr unsigned kImmediateOffset[4] = {ARM_INS_STR, ARM_INS_LDR, ARM_INS_STRB,
                                                     ARM_INS_LDRB};
    const int64_t pcWord = int64_t{address & ~3u} + 4;
    // An operation on registers with an optional immediate, or a memory operand.
    auto op = [](unsigned id, std::vector<int> regs, std::optional<int64_t> imm = {}) {
        View v;
        v.id = id, v.regs = std::move(regs), v.imm = imm;
        return v;
    };
    auto mem = [](unsigned id, int rd, int base, int index, int64_t disp) {
        View v;
        v.id = id, v.regs = {rd}, v.memBase = base, v.memIndex = index, v.memDisp = disp;
        return v;
    };
    switch (t.form) {
        case ThumbForm::kShift:  // LSL #0 is a move; LSR and ASR #0 shift by 32 (our text shows the field)
            if (t.op == 0 && t.imm == 0) return op(ARM_INS_MOV, {t.rd, t.rs});
            return op(kShift[t.op], {t.rd, t.rs}, t.imm == 0 ? 32 : t.imm);
        case ThumbForm::kMovRegister:
            return op(ARM_INS_ADD, {t.rd, t.rs}, 0);
        case ThumbForm::kAddSubImmediate:
            return op(t.op ? ARM_INS_SUB : ARM_INS_ADD, {t.rd, t.rs}, t.imm);
        case ThumbForm::kAddSubRegister:
            return op(t.op ? ARM_INS_SUB : ARM_INS_ADD, {t.rd, t.rs, t.rn});
        case ThumbForm::kImmediate:
            return op(kImmediate[t.op], {t.rd}, t.imm);
        case ThumbForm::kAlu:  // NEG is RSB Rd, Rs, #0; MUL is MUL Rd, Rs, Rd
            if (t.op == 13) return op(ARM_INS_MUL, {t.rd, t.rs, t.rd});
            return op(kAlu[t.op], {t.rd, t.rs}, t.op == 9 ? std::optional<int64_t>(0) : std::nullopt);
        case ThumbForm::kNop:
            return op(ARM_INS_MOV, {t.rd, t.rs});
        case ThumbForm::kHighRegister:
            if (t.op == 3) {
                if (t.rd >= 8) return std::nullopt;  // BLX on later processors
                return op(ARM_INS_BX, {t.rs});
            }
            // capstone spells ADD Rd, SP as ADD Rd, SP, Rd.
            if (t.op == 0 && t.rs == 13) return op(ARM_INS_ADD, {t.rd, 13, t.rd});
            return op(kHigh[t.op], {t.rd, t.rs});
        case ThumbForm::kLoadLiteral:
        case ThumbForm::kLoadLiteralAbsent:
            if (t.target != pcWord + t.imm) return View{};  // fails the comparison
            return mem(ARM_INS_LDR, t.rd, 15, -1, t.imm);
        case ThumbForm::kLoadStoreRegister:
            return mem(kRegisterOffset[t.op], t.rd, t.rs, t.rn, 0);
        case ThumbForm::kLoadStoreSigned:
            return mem(kSigned[t.op], t.rd, t.rs, t.rn, 0);
        case ThumbForm::kLoadStoreImmediate:
            return mem(kImmediateOffset[t.op], t.rd, t.rs, -1, t.imm);
        case ThumbForm::kLoadStoreHalf:
            return mem(t.op ? ARM_INS_LDRH : ARM_INS_STRH, t.rd, t.rs, -1, t.imm);
        case ThumbForm::kLoadStoreSp:
            return mem(t.op ? ARM_INS_LDR : ARM_INS_STR, t.rd, 13, -1, t.imm);
        case ThumbForm::kAddSpAddress:
            return op(ARM_INS_ADD, {t.rd, 13}, t.imm);
        case ThumbForm::kPcAddress:
            return op(ARM_INS_ADR, {t.rd}, t.target - pcWord);
        case ThumbForm::kAdjustSp:
            return op(t.op ? ARM_INS_SUB : ARM_INS_ADD, {13}, t.imm);
        case ThumbForm::kPush:
        case ThumbForm::kPop:
            // Bit 9 is not looked at: B6, B7, BE and BF are other instructions later.
            if ((h & 0x0200) || t.registers == 0) return std::nullopt;
            if (t.form == ThumbForm::kPush) return op(ARM_INS_PUSH, ListRegisters(t.registers, 14));
            return op(ARM_INS_POP, ListRegisters(t.registers, 15));
        case ThumbForm::kMultiple: {
            if (t.registers == 0) return std::nullopt;
            std::vector<int> regs = ListRegisters(t.registers, 0);
            regs.insert(regs.begin(), t.rd);
            return op(t.op ? ARM_INS_LDM : ARM_INS_STM, regs);
        }
        case ThumbForm::kSwi:
            return op(ARM_INS_SVC, {}, t.imm);
        case ThumbForm::kConditionalBranch: {
            if (t.op == 14) return std::nullopt;  // undefined: our "***"
            View v = op(ARM_INS_B, {}, static_cast<uint32_t>(t.target));
            v.cc = ARM_CC_EQ + t.op;
            return v;
        }
        case ThumbForm::kBranch:
        case ThumbForm::kCall:
            return op(t.form == ThumbForm::kBranch ? ARM_INS_B : ARM_INS_BL, {}, static_cast<uint32_t>(t.target));
        default:
            return std::nullopt;
    }
}

class Capstone {
  public:
    Capstone() {
        ok_ = cs_open(CS_ARCH_ARM, static_cast<cs_mode>(CS_MODE_THUMB | CS_MODE_BIG_ENDIAN),
                      &handle_) == CS_ERR_OK;
        if (ok_) cs_option(handle_, CS_OPT_DETAIL, CS_OPT_ON);
    }
    ~Capstone() {
        if (ok_) cs_close(&handle_);
    }
    bool Ok() const { return ok_; }
    std::optional<View> Decode(const uint8_t* bytes, size_t size, uint32_t address) {
        cs_insn* insn = nullptr;
        const size_t n = cs_disasm(handle_, bytes, size, address, 1, &insn);
        if (n == 0) return std::nullopt;
        std::optional<View> v;
        if (insn[0].size == size) v = FromCapstone(insn[0]);
        cs_free(insn, n);
        return v;
    }

  private:
    csh handle_ = 0;
    bool ok_ = false;
};

// Encodings ARMv4T defines outside the BL prefixes; the rest are undefined there.
bool DefinedOnArmV4T(uint16_t h) {
    const unsigned top = h >> 8;
    if (top >= 0xE8) return false;  // BL halves, BLX
    if (top == 0xDE) return false;  // undefined condition
    if (top >= 0xB0 && top <= 0xBF) {
        return top == 0xB0 || top == 0xB4 || top == 0xB5 || top == 0xBC || top == 0xBD;
    }
    return true;
}

constexpr uint32_t kAddress = 0x8000;

// Every halfword alone, then every BL prefix with four suffixes (both extremes and two
// random ones) as a pair.
TEST(CapstoneDifferential, EveryHalfwordAndCallPairAgrees) {
    Capstone cs;
    ASSERT_TRUE(cs.Ok());
    ListingFixture f(0x10000);
    std::mt19937 rnd(20240611);
    int compared = 0, failures = 0;
    for (uint32_t i = 0; i < 0x10000 + 4 * 0x800; ++i) {
        const bool pair = i >= 0x10000;
        const uint16_t h = pair ? static_cast<uint16_t>(0xF000 | ((i - 0x10000) >> 2)) : static_cast<uint16_t>(i);
        const uint32_t lows[4] = {0, 0x7FF, static_cast<uint32_t>(rnd()), static_cast<uint32_t>(rnd())};
        const uint16_t low = static_cast<uint16_t>(0xF800 | (lows[i & 3] & 0x7FF));
        f.Half(kAddress, h);
        f.Half(kAddress + 2, pair ? low : 0);
        const ThumbInstruction ours = DecodeThumb(*f.doc, kAddress);
        if (!pair && !DefinedOnArmV4T(h)) {
            // Our table reads these as errors or as the format its bits name; capstone
            // has nothing to compare. The error texts stand exactly where ARMv4T has
            // no instruction in their groups.
            const unsigned top = h >> 8;
            if ((ours.form == ThumbForm::kError13) != (top >= 0xB1 && top <= 0xBB && !(top & 4)) ||
                (ours.form == ThumbForm::kError18) != (top >= 0xE8 && top <= 0xEF))
                ADD_FAILURE() << std::hex << "0x" << h << " error text classification";
            continue;
        }
        const std::optional<View> expected = Expected(ours, h, kAddress);
        if (!expected && !pair) continue;
        const uint8_t bytes[4] = {static_cast<uint8_t>(h >> 8), static_cast<uint8_t>(h),
                                  static_cast<uint8_t>(low >> 8), static_cast<uint8_t>(low)};
        const std::optional<View> theirs = cs.Decode(bytes, pair ? 4 : 2, kAddress);
        ++compared;
        if ((pair && ours.form != ThumbForm::kCall) || !expected || !theirs || !(*theirs == *expected)) {
            if (++failures <= 20) {
                ADD_FAILURE() << std::hex << "0x" << h << (pair ? " 0x" + std::to_string(low) : "") << " ("
                              << DisassembleThumb(*f.doc, kAddress) << "): ours "
                              << (expected ? expected->Describe() : "none") << ", capstone "
                              << (theirs ? theirs->Describe() : std::string("none"));
            }
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_GT(compared, 55000 + 8000);  // nearly every ARMv4T encoding is compared
}

}  // namespace
