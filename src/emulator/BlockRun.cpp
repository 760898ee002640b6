// The run loop: code runs as blocks of decoded instructions.
//
// A block is decoded once from the read-only flash: each instruction becomes an
// operation with its register fields, immediates and PC-relative constants worked
// out, and the loop jumps from operation to operation through their label addresses
// without fetching, decoding or touching R15. A block ends at the first instruction
// that may branch (or before a breakpoint, which always starts a block), which
// leaves R15 and the fetched next instruction exactly as a step does. Between blocks
// the loop checks what a step-by-step run checks after every instruction, or, when
// nothing can stop the run there, goes straight on into the next block, which the
// block's header keeps once found. Whatever a block cannot hold exactly runs one step
// at a time:
//   - an instruction whose next halfword is not plainly in the flash window (its
//     fetch may warn), and code outside the window;
//   - a block holding the run's address, or starting at a breakpoint;
//   - a block longer than what is left of the run's instruction bound;
//   - rare forms (PC operands of CMP, BX, POP {PC}, MOV PC, unknown halfwords), which
//     run through the step executors from inside the block.
// Memory operations set R15 before a slow path, so warnings and watchpoints name the
// instruction; when one asks the run to stop, the block is left right after it.
#include "emulator/MemoryPaths.h"
#include "emulator/ThumbDecode.h"
#include "emulator/ThumbSemantics.h"

namespace {

using namespace thumb;

// The operations of a block, in the order of the run loop's label table.
namespace uop {
enum Kind : uint8_t {
    kMovs,      // d = s, N and Z (LSL #0)
    kLsl,       // d = s LSL n (1-31)
    kLsr,       // d = s LSR n (0: 32)
    kAsr,       // d = s ASR n (0: 32)
    kAddReg,    // d = s + n, flags
    kSubReg,    // d = s - n, flags
    kAddImm,    // d = s + imm, flags
    kSubImm,    // d = s - imm, flags
    kCmpImm,    // s - imm, flags
    kMovImm,    // d = imm, N and Z
    kAlu,       // 16 operations from here on: d op= s
    kAddNoFlags = kAlu + 16,  // d = s + imm
    kAddHigh,   // d = d + s
    kMovHigh,   // d = s
    kMovConst,  // d = imm
    kStrReg,    // register offset: [s + n]
    kStrbReg,
    kStrhReg,
    kLdrReg,
    kLdrbReg,
    kLdrhReg,
    kLdsbReg,
    kLdshReg,
    kStrImm,  // immediate offset: [s + imm]
    kStrbImm,
    kStrhImm,
    kLdrImm,
    kLdrbImm,
    kLdrhImm,
    kPush,   // imm: list, d: with LR
    kPop,    // imm: list
    kStmia,  // s: base, imm: list
    kLdmia,
    kStep,  // the step executor, imm: the halfword; the block goes on
    // Block endings:
    kStepEnd,     // the step executor, which leaves R15 as it should be
    kCondBranch,  // 15 of them, by condition (EQ to AL); imm: target
    kBranch = kCondBranch + 15,  // imm: target
    kBranchLink,  // imm: target
    kFall,        // imm: the next instruction's address
    // A CMP and the conditional branch after it, in one: 14 conditions each (EQ to LE).
    kCmpImmBranch,
    kCmpRegBranch = kCmpImmBranch + 14,
    kCount = kCmpRegBranch + 14,
};
}  // namespace uop

constexpr uint32_t kMaxBlockInstructions = 64;
// When the decoded operations of all blocks reach this many, they are dropped and
// decoded again as the code runs.
constexpr size_t kMaxDecoded = size_t{1} << 20;

}  // namespace

uint32_t CEmulator::BuildBlock(uint32_t address, const void* const* labels) {
    const uint32_t start = address - kFlashBase;
    auto plain = [this](uint32_t offset) { return offset < flashHalfLimit_ && !(offset & 1); };
    auto half = [this](uint32_t offset) {
        return uint32_t{BigEndianHalf(flashMemory, offset)};
    };
    if (!plain(start) || !plain(start + 2)) return 0;
    if (decoded_.size() > kMaxDecoded) FlushBlocks();

    const size_t header = decoded_.size();
    decoded_.push_back({});
    uint32_t count = 0;
    uint32_t offset = start;
    bool ended = false;
    while (count < kMaxBlockInstructions && plain(offset) && plain(offset + 2)) {
        // A breakpoint starts a block of its own, where the loop looks for it.
        if (count > 0 && IsBreakpoint(kFlashBase + offset)) break;
        const uint32_t h = half(offset);
        const uint32_t pc = kFlashBase + offset + 4;  // R15 while it runs
        const auto lo0 = static_cast<uint8_t>(h & 7);
        const auto lo3 = static_cast<uint8_t>((h >> 3) & 7);
        const auto mid6 = static_cast<uint8_t>((h >> 6) & 7);
        const auto hi8 = static_cast<uint8_t>((h >> 8) & 7);
        const uint32_t imm8 = h & 0xFF;
        DecodedOp op{{nullptr}, 0, 0, 0, 0, static_cast<uint8_t>((offset - start) / 2)};
        uint8_t kind = uop::kStep;
        auto set = [&](uint8_t k, uint8_t d, uint8_t s, uint8_t n, uint32_t imm) {
            kind = k;
            op.d = d;
            op.s = s;
            op.n = n;
            op.imm = imm;
        };
        using enum ThumbOp;
        switch (const ThumbOp decoded = DecodeThumb(static_cast<uint16_t>(h))) {
            case kLslImm:
            case kLsrImm:
            case kAsrImm:
                set(static_cast<uint8_t>(h < 0x40 ? uint32_t{uop::kMovs} : uop::kLsl + (h >> 11)), lo0, lo3,
                    (h >> 6) & 31, 0);
                break;
            case kAddReg:
            case kSubReg:
                set(decoded == kAddReg ? uop::kAddReg : uop::kSubReg, lo0, lo3, mid6, 0);
                break;
            case kAddImm3:
            case kSubImm3:
                set(decoded == kAddImm3 ? uop::kAddImm : uop::kSubImm, lo0, lo3, 0, mid6);
                break;
            case kMovImm8:
                set(uop::kMovImm, hi8, 0, 0, imm8);
                break;
            case kCmpImm8:
                set(uop::kCmpImm, 0, hi8, 0, imm8);
                break;
            case kAddImm8:
            case kSubImm8:
                set(decoded == kAddImm8 ? uop::kAddImm : uop::kSubImm, hi8, hi8, 0, imm8);
                break;
            case kAlu:
                set(static_cast<uint8_t>(uop::kAlu + ((h >> 6) & 15)), lo0, lo3, 0, 0);
                break;
            case kHiAdd:
            case kHiCmp:
            case kHiMov: {
                const auto d = static_cast<uint8_t>(lo0 | ((h >> 4) & 8));
                const auto s = static_cast<uint8_t>(((h >> 3) & 15));
                if (d == 15) {
                    if (decoded != kHiCmp) kind = uop::kStepEnd;
                } else if (decoded == kHiCmp) {
                    if (s != 15) set(uop::kAlu + 10, d, s, 0, 0);
                } else if (s == 15) {
                    set(decoded == kHiAdd ? uop::kAddNoFlags : uop::kMovConst, d, d, 0, pc);
                } else {
                    set(decoded == kHiAdd ? uop::kAddHigh : uop::kMovHigh, d, s, 0, 0);
                }
                break;
            }
            case kLdrPc: {
                const uint32_t literal = LiteralAddress(pc, h) - kFlashBase;
                if (literal < flashDataWordLimit_ && !(literal & 3)) {
                    const uint32_t word = (half(literal) << 16) | half(literal + 2);
                    set(uop::kMovConst, hi8, 0, 0, word);
                }
                break;
            }
            case kStrReg:
            case kStrbReg:
            case kLdrReg:
            case kLdrbReg:
            case kStrhReg:
            case kLdsbReg:
            case kLdrhReg:
            case kLdshReg: {
                constexpr uint8_t kKinds[] = {uop::kStrReg,  uop::kStrbReg, uop::kLdrReg,
                                              uop::kLdrbReg, uop::kStrhReg, uop::kLdsbReg,
                                              uop::kLdrhReg, uop::kLdshReg};
                set(kKinds[static_cast<int>(decoded) - static_cast<int>(kStrReg)], lo0, lo3, mid6,
                    0);
                break;
            }
            case kStrImm:
            case kLdrImm:
            case kStrbImm:
            case kLdrbImm:
            case kStrhImm:
            case kLdrhImm: {
                constexpr uint8_t kKinds[] = {uop::kStrImm,  uop::kLdrImm,  uop::kStrbImm,
                                              uop::kLdrbImm, uop::kStrhImm, uop::kLdrhImm};
                constexpr uint32_t kScale[] = {4, 4, 1, 1, 2, 2};
                const int i = static_cast<int>(decoded) - static_cast<int>(kStrImm);
                set(kKinds[i], lo0, lo3, 0, ((h >> 6) & 31) * kScale[i]);
                break;
            }
            case kStrSp:
            case kLdrSp:
                set(decoded == kStrSp ? uop::kStrImm : uop::kLdrImm, hi8, 13, 0, imm8 * 4);
                break;
            case kAddPc:
                set(uop::kMovConst, hi8, 0, 0, LiteralAddress(pc, h));
                break;
            case kAddSp:
                set(uop::kAddNoFlags, hi8, 13, 0, imm8 * 4);
                break;
            case kAdjustSp: {
                const uint32_t amount = (h & 0x7F) * 4;
                set(uop::kAddNoFlags, 13, 13, 0, (h & 0x80) ? 0u - amount : amount);
                break;
            }
            case kPush:
                set(uop::kPush, (h >> 8) & 1, 0, 0, imm8);
                break;
            case kPop:
                if (!(h & 0x100)) set(uop::kPop, 0, 0, 0, imm8);
                else kind = uop::kStepEnd;
                break;
            case kStmia:
            case kLdmia:
                set(decoded == kStmia ? uop::kStmia : uop::kLdmia, 0, hi8, 0, imm8);
                break;
            case kCondBranch:
                set(static_cast<uint8_t>(uop::kCondBranch + ((h >> 8) & 15)), 0, 0, 0,
                    CondBranchTarget(pc, h));
                break;
            case kBranch:
                set(uop::kBranch, 0, 0, 0, BranchTarget(pc, h));
                break;
            case kBranchLink:
                set(uop::kBranchLink, 0, 0, 0, BlTarget(pc, h, half(offset + 2)));
                break;
            default:  // BX, a lone BL suffix, unknown halfwords
                kind = uop::kStepEnd;
                break;
        }
        if (kind == uop::kStep || kind == uop::kStepEnd) op.imm = h;
        op.handler = labels[kind];
        // A compare right before a conditional branch decides the branch itself.
        const uint32_t condition = kind - uop::kCondBranch;
        if (condition < 14 && count > 0) {
            DecodedOp& compare = decoded_.back();
            if (compare.handler == labels[uop::kCmpImm])
                compare.handler = labels[uop::kCmpImmBranch + condition];
            else if (compare.handler == labels[uop::kAlu + 10])
                compare.handler = labels[uop::kCmpRegBranch + condition];
        }
        decoded_.push_back(op);
        ++count;
        offset += 2;
        if (kind >= uop::kStepEnd) {
            ended = true;
            break;
        }
    }
    if (!ended)
        decoded_.push_back({{labels[uop::kFall]}, kFlashBase + offset, 0, 0, 0,
                            static_cast<uint8_t>((offset - start) / 2)});
    // The header: instructions, bytes covered, whether a breakpoint is on the first.
    decoded_[header] = {{nullptr}, count, static_cast<uint8_t>(offset - start),
                        static_cast<uint8_t>(IsBreakpoint(address)), 0, 0};
    blockAt_[start / 2] = static_cast<uint32_t>(header + 1);
    return static_cast<uint32_t>(header + 1);
}

RunResult CEmulator::Run(uint32_t address, uint64_t maxInstructions, bool stopOnWarning,
                         bool breakOnFirst) {
    static constexpr const void* kLabels[uop::kCount] = {
        &&movs,     &&lsl,     &&lsr,     &&asr,     &&add_reg, &&sub_reg, &&add_imm,  &&sub_imm,
        &&cmp_imm,  &&mov_imm, &&alu0,    &&alu1,    &&alu2,    &&alu3,     &&alu4,
        &&alu5,     &&alu6,    &&alu7,    &&alu8,    &&alu9,    &&alu10,    &&alu11,
        &&alu12,    &&alu13,   &&alu14,   &&alu15,   &&add_nf,  &&add_high, &&mov_high,
        &&mov_const, &&str_reg, &&strb_reg, &&strh_reg, &&ldr_reg, &&ldrb_reg, &&ldrh_reg,
        &&ldsb_reg, &&ldsh_reg, &&str_imm, &&strb_imm, &&strh_imm, &&ldr_imm, &&ldrb_imm,
        &&ldrh_imm, &&push,    &&pop,     &&stmia,   &&ldmia,   &&step,     &&step_end,
        &&b_eq,     &&b_ne,    &&b_cs,    &&b_cc,    &&b_mi,    &&b_pl,     &&b_vs,
        &&b_vc,     &&b_hi,    &&b_ls,    &&b_ge,    &&b_lt,    &&b_gt,     &&b_le,
        &&b_al,     &&branch, &&branch_link, &&fall,
#define FUSED_LABELS(p) \
    &&p##eq, &&p##ne, &&p##cs, &&p##cc, &&p##mi, &&p##pl, &&p##vs, &&p##vc, &&p##hi, &&p##ls, \
        &&p##ge, &&p##lt, &&p##gt, &&p##le
        FUSED_LABELS(cmp_imm_b_), FUSED_LABELS(cmp_reg_b_)};
#undef FUSED_LABELS
    uint64_t left = maxInstructions;  // instructions the run may still execute
    RunStop stop = RunStop::kNone;
    // Breakpoints, observers and warnings cost one test of this flag while none is set.
    const bool stopChecks = HasObservers() || stopOnWarning;  // pendingStop_ may be set
    const bool checks = breakCount_ != 0 || stopChecks;
    if (maxInstructions == 0) return {};
    if (breakOnFirst && (cpsr & kThumbBit) && breakCount_ != 0 && IsBreakpoint(r[15] - 4))
        return {false, 0, RunStop::kBreakpoint};
    inRun_ = true;
    stopOnWarning_ = stopOnWarning;
    pendingStop_ = RunStop::kNone;

    const DecodedOp* op = nullptr;
    uint32_t blockStart = 0;
    uint32_t blockCount = 0;
    uint32_t blockHeader = 0;  // the current block's header in decoded_
    uint32_t target = 0;
    uint32_t slot = 0;  // how the block ends: 0 to its branch target, 1 to the next halfword
    // Blocks keep N and Z in nzValue; out of them they are in their fields. N and Z
    // both set (only ever edited in) cannot be a value: that state steps.
    auto NzToValue = [this]() {
        if (negativeFlag && zeroFlag) return false;
        nzValue = zeroFlag ? 0 : negativeFlag ? 0x80000000u : 1;
        return true;
    };
    auto NzToFields = [this]() { thumb::FieldNZ::Set(*this, nzValue); };
    // The block at `start` (1 + its header index), built when it is new; 0 when none
    // can start there.
    auto FindBlock = [&](uint32_t start) __attribute__((always_inline)) {
        const uint32_t offset = start - kFlashBase;
        if (offset >= flashHalfLimit_ || (offset & 1)) return 0u;
        const uint32_t at = blockAt_[offset / 2];
        return at != 0 ? at : BuildBlock(start, kLabels);
    };
    // Starts the block at `start` when it can run whole.
    auto EnterBlock = [&](uint32_t start, uint32_t at) __attribute__((always_inline)) {
        const DecodedOp* header = &decoded_[at - 1];
        // A block on a breakpoint is left to the checks between instructions.
        if (header->imm > left || address - start < uint32_t{header->d} || header->s) return false;
        blockStart = start;
        blockCount = header->imm;
        blockHeader = at - 1;
        left -= blockCount;
        op = header + 1;
        return true;
    };
    // The block the current one ends in, looked up once and then kept in its header.
    auto NextBlock = [&]() {
        const uint32_t flushes = flushes_;
        const uint32_t at = FindBlock(target);
        if (at != 0 && flushes == flushes_) decoded_[blockHeader].next[slot] = at;
        return at;
    };
    // The address of the current operation's instruction, and R15 while it runs.
#define ADDRESS() (blockStart + 2 * uint32_t{op->index})
#define SET_R15() (r[15] = ADDRESS() + 4)
    // Memory operations set R15 only on their way into the slow paths.
    // They also number the instruction for the observers the slow paths may call.
    const uint64_t counted = instructionCount_ + maxInstructions;  // minus `left`: run so far
#define NUMBER_IN_BLOCK() (accessNumber_ = counted - left - blockCount + op->index + 1)
#define NUMBER_STEP() (accessNumber_ = counted - left + 1)
    const auto setR15 = [&]() __attribute__((always_inline)) {
        SET_R15();
        NUMBER_IN_BLOCK();
    };
#define NEXT()               \
    do {                     \
        ++op;                \
        goto* op->handler;   \
    } while (0)
    // After a memory access: a watchpoint or warning may end the run here.
#define NEXT_CHECKED()                                                   \
    do {                                                                 \
        if (stopChecks && pendingStop_ != RunStop::kNone) [[unlikely]] goto leave_block; \
        NEXT();                                                          \
    } while (0)
#define OP(label, ...) \
    label : {          \
        __VA_ARGS__;   \
        NEXT();        \
    }
#define MEMORY_OP(label, ...) \
    label : {                 \
        __VA_ARGS__;          \
        NEXT_CHECKED();       \
    }

    goto first;
between:
    // Between instructions, exactly as after every step.
    if (r[15] - 4 == address) {
        stop = RunStop::kArrived;
        goto done;
    }
    if (checks) {
        if (pendingStop_ != RunStop::kNone) {
            stop = pendingStop_;
            goto done;
        }
        if ((cpsr & kThumbBit) && IsBreakpoint(r[15] - 4)) {
            stop = RunStop::kBreakpoint;
            goto done;
        }
    }
    if (left == 0) goto done;
first:
    if (stopChecks) NUMBER_STEP();
    if (!(cpsr & kThumbBit)) {
        StepArm();
        --left;
        goto between;
    }
    target = r[15] - 4;
    if (NzToValue()) {
        const uint32_t at = FindBlock(target);
        if (at != 0 && EnterBlock(target, at)) goto* op->handler;
    }
    thumb::Execute(*this);
    --left;
    goto between;

leave_block:
    // The run stops after the current operation: give back the instructions of the
    // block it did not run, and fetch the next one as a step would.
    left += blockCount - (op->index + 1u);
    target = ADDRESS() + 2;
    goto fetch;

    OP(movs, r[op->d] = r[op->s]; SetNZ<ValueNZ>(*this, r[op->d]))
    OP(lsl, r[op->d] = ShiftImmediate<0, ValueNZ>(*this, r[op->s], op->n))
    OP(lsr, r[op->d] = ShiftImmediate<1, ValueNZ>(*this, r[op->s], op->n))
    OP(asr, r[op->d] = ShiftImmediate<2, ValueNZ>(*this, r[op->s], op->n))
    OP(add_reg, r[op->d] = AddWithFlags<ValueNZ>(*this, r[op->s], r[op->n], 0))
    OP(sub_reg, r[op->d] = SubWithFlags<ValueNZ>(*this, r[op->s], r[op->n]))
    OP(add_imm, r[op->d] = AddWithFlags<ValueNZ>(*this, r[op->s], op->imm, 0))
    OP(sub_imm, r[op->d] = SubWithFlags<ValueNZ>(*this, r[op->s], op->imm))
    OP(cmp_imm, SubWithFlags<ValueNZ>(*this, r[op->s], op->imm))
    OP(mov_imm, r[op->d] = op->imm; SetNZ<ValueNZ>(*this, op->imm))
    OP(alu0, Alu<0, ValueNZ>(*this, r[op->d], r[op->s]))
    OP(alu1, Alu<1, ValueNZ>(*this, r[op->d], r[op->s]))
    OP(alu2, Alu<2, ValueNZ>(*this, r[op->d], r[op->s]))
    OP(alu3, Alu<3, ValueNZ>(*this, r[op->d], r[op->s]))
    OP(alu4, Alu<4, ValueNZ>(*this, r[op->d], r[op->s]))
    OP(alu5, Alu<5, ValueNZ>(*this, r[op->d], r[op->s]))
    OP(alu6, Alu<6, ValueNZ>(*this, r[op->d], r[op->s]))
    OP(alu7, Alu<7, ValueNZ>(*this, r[op->d], r[op->s]))
    OP(alu8, Alu<8, ValueNZ>(*this, r[op->d], r[op->s]))
    OP(alu9, Alu<9, ValueNZ>(*this, r[op->d], r[op->s]))
    OP(alu10, Alu<10, ValueNZ>(*this, r[op->d], r[op->s]))
    OP(alu11, Alu<11, ValueNZ>(*this, r[op->d], r[op->s]))
    OP(alu12, Alu<12, ValueNZ>(*this, r[op->d], r[op->s]))
    OP(alu13, Alu<13, ValueNZ>(*this, r[op->d], r[op->s]))
    OP(alu14, Alu<14, ValueNZ>(*this, r[op->d], r[op->s]))
    OP(alu15, Alu<15, ValueNZ>(*this, r[op->d], r[op->s]))
    OP(add_nf, r[op->d] = r[op->s] + op->imm)
    OP(add_high, r[op->d] += r[op->s])
    OP(mov_high, r[op->d] = r[op->s])
    OP(mov_const, r[op->d] = op->imm)
    MEMORY_OP(str_reg, Transfer<ThumbOp::kStrReg>(*this, r[op->s] + r[op->n], r[op->d], setR15))
    MEMORY_OP(strb_reg, Transfer<ThumbOp::kStrbReg>(*this, r[op->s] + r[op->n], r[op->d], setR15))
    MEMORY_OP(strh_reg, Transfer<ThumbOp::kStrhReg>(*this, r[op->s] + r[op->n], r[op->d], setR15))
    MEMORY_OP(ldr_reg, Transfer<ThumbOp::kLdrReg>(*this, r[op->s] + r[op->n], r[op->d], setR15))
    MEMORY_OP(ldrb_reg, Transfer<ThumbOp::kLdrbReg>(*this, r[op->s] + r[op->n], r[op->d], setR15))
    MEMORY_OP(ldrh_reg, Transfer<ThumbOp::kLdrhReg>(*this, r[op->s] + r[op->n], r[op->d], setR15))
    MEMORY_OP(ldsb_reg, Transfer<ThumbOp::kLdsbReg>(*this, r[op->s] + r[op->n], r[op->d], setR15))
    MEMORY_OP(ldsh_reg, Transfer<ThumbOp::kLdshReg>(*this, r[op->s] + r[op->n], r[op->d], setR15))
    MEMORY_OP(str_imm, Transfer<ThumbOp::kStrImm>(*this, r[op->s] + op->imm, r[op->d], setR15))
    MEMORY_OP(strb_imm, Transfer<ThumbOp::kStrbImm>(*this, r[op->s] + op->imm, r[op->d], setR15))
    MEMORY_OP(strh_imm, Transfer<ThumbOp::kStrhImm>(*this, r[op->s] + op->imm, r[op->d], setR15))
    MEMORY_OP(ldr_imm, Transfer<ThumbOp::kLdrImm>(*this, r[op->s] + op->imm, r[op->d], setR15))
    MEMORY_OP(ldrb_imm, Transfer<ThumbOp::kLdrbImm>(*this, r[op->s] + op->imm, r[op->d], setR15))
    MEMORY_OP(ldrh_imm, Transfer<ThumbOp::kLdrhImm>(*this, r[op->s] + op->imm, r[op->d], setR15))
    MEMORY_OP(push, Push(*this, op->imm, op->d != 0, setR15))
    MEMORY_OP(pop, Pop(*this, op->imm, setR15))
    MEMORY_OP(stmia, Multiple<false>(*this, op->s, op->imm, setR15))
    MEMORY_OP(ldmia, Multiple<true>(*this, op->s, op->imm, setR15))

step:
    // The step executor fetches the next instruction itself, so leaving here needs
    // only the count.
    SET_R15();
    if (stopChecks) NUMBER_IN_BLOCK();
    thumbInstruction = static_cast<uint16_t>(op->imm);
    NzToFields();
    thumb::Execute(*this);
    NzToValue();
    if (pendingStop_ != RunStop::kNone) [[unlikely]] {
        left += blockCount - (op->index + 1u);
        goto between;
    }
    NEXT();
step_end:
    SET_R15();
    if (stopChecks) NUMBER_IN_BLOCK();
    thumbInstruction = static_cast<uint16_t>(op->imm);
    NzToFields();
    thumb::Execute(*this);
    goto between;
#define Negative() (static_cast<int32_t>(nzValue) < 0)
#define CONDITIONAL(label, holds) \
    label:                        \
    if (holds) goto branch;       \
    goto not_taken;
    CONDITIONAL(b_eq, nzValue == 0)
    CONDITIONAL(b_ne, nzValue != 0)
    CONDITIONAL(b_cs, carryFlag)
    CONDITIONAL(b_cc, !carryFlag)
    CONDITIONAL(b_mi, Negative())
    CONDITIONAL(b_pl, !Negative())
    CONDITIONAL(b_vs, overflowFlag)
    CONDITIONAL(b_vc, !overflowFlag)
    CONDITIONAL(b_hi, carryFlag && nzValue != 0)
    CONDITIONAL(b_ls, !carryFlag || nzValue == 0)
    CONDITIONAL(b_ge, Negative() == (overflowFlag != 0))
    CONDITIONAL(b_lt, Negative() != (overflowFlag != 0))
    CONDITIONAL(b_gt, nzValue != 0 && Negative() == (overflowFlag != 0))
    CONDITIONAL(b_le, nzValue == 0 || Negative() != (overflowFlag != 0))
#undef CONDITIONAL
#undef Negative
b_al:
branch:
    target = op->imm;
    slot = 0;
    goto chain;
not_taken:
    target = ADDRESS() + 2;
    slot = 1;
    goto chain;

    // The compare sets every flag as it would alone; the branch after it (op + 1) is
    // decided from the operands.
#define FUSED(label, x, y, holds)                         \
    label : {                                             \
        const uint32_t a = x, b = y;                      \
        SubWithFlags<ValueNZ>(*this, a, b);               \
        ++op;                                             \
        if (holds) goto branch;                           \
        goto not_taken;                                   \
    }
#define FUSED_ALL(p, x, y)                                                              \
    FUSED(p##eq, x, y, a == b)                                                          \
    FUSED(p##ne, x, y, a != b)                                                          \
    FUSED(p##cs, x, y, a >= b)                                                          \
    FUSED(p##cc, x, y, a < b)                                                           \
    FUSED(p##mi, x, y, static_cast<int32_t>(a - b) < 0)                                 \
    FUSED(p##pl, x, y, static_cast<int32_t>(a - b) >= 0)                                \
    FUSED(p##vs, x, y, overflowFlag)                                                    \
    FUSED(p##vc, x, y, !overflowFlag)                                                   \
    FUSED(p##hi, x, y, a > b)                                                           \
    FUSED(p##ls, x, y, a <= b)                                                          \
    FUSED(p##ge, x, y, static_cast<int32_t>(a) >= static_cast<int32_t>(b))              \
    FUSED(p##lt, x, y, static_cast<int32_t>(a) < static_cast<int32_t>(b))               \
    FUSED(p##gt, x, y, static_cast<int32_t>(a) > static_cast<int32_t>(b))               \
    FUSED(p##le, x, y, static_cast<int32_t>(a) <= static_cast<int32_t>(b))
    FUSED_ALL(cmp_imm_b_, r[op->s], op->imm)
    FUSED_ALL(cmp_reg_b_, r[op->d], r[op->s])
#undef FUSED_ALL
#undef FUSED
branch_link: {
    const uint32_t callSite = ADDRESS();
    target = op->imm;
    r[15] = target;
    r[14] = (callSite + 4) | 1;
    PushCallRecord(callSite, target, 1);
    if (callTrackSink) NotifyCallTrack();
    goto fetch;
}
fall:
    target = op->imm;
    slot = 1;
chain:
    // Straight into the next block when nothing between the two needs a look; R15 and
    // the fetched instruction are then brought up to date when the run ends.
    if (!stopChecks || pendingStop_ == RunStop::kNone) {
        uint32_t at = decoded_[blockHeader].next[slot];
        if (at == 0) {
            // Building a block may move the decoded operations, `op` with them.
            SET_R15();
            at = NextBlock();
            if (at != 0 && EnterBlock(target, at)) goto* op->handler;
            goto fetch;
        }
        if (EnterBlock(target, at)) goto* op->handler;
    }
    SET_R15();  // a branch target outside the flash warns with the branch's address
fetch:
    NzToFields();
    thumbInstruction = FetchThumb(target);
    r[15] = target + 4;
    goto between;

done:
    instructionCount_ += maxInstructions - left;
    inRun_ = false;
    stopOnWarning_ = false;
    pendingStop_ = RunStop::kNone;
    ComposeCpsr();
    TrimCallTrack();
    return {stop == RunStop::kArrived, maxInstructions - left, stop};
#undef MEMORY_OP
#undef OP
#undef NEXT_CHECKED
#undef NEXT
#undef SET_R15
#undef NUMBER_IN_BLOCK
#undef NUMBER_STEP
#undef ADDRESS
}
