// The THUMB executors, their dispatch table and the run loop that uses it.
//
// Each executor is instantiated for one value of the halfword's top ten bits, so
// the operation and every operand field in bits 6-15 are constants in its body;
// dispatch is one indexed call. Flags and shifts follow ARMv4T.
#include <array>
#include <cstddef>
#include <utility>

#include "emulator/CEmulator.h"
#include "emulator/ThumbDecode.h"

namespace {

using Executor = void (*)(CEmulator&);

#define FORCE_INLINE [[gnu::always_inline]] inline

// --- endings -----------------------------------------------------------------------

// The next instruction is at R15 - 2.
FORCE_INLINE void Next(CEmulator& e) {
    e.thumbInstruction = e.FetchThumb(e.r[15] - 2);
    e.r[15] += 2;
}

FORCE_INLINE void BranchTo(CEmulator& e, uint32_t target) {
    e.thumbInstruction = e.FetchThumb(target);
    e.r[15] = target + 4;
}

// --- flags -------------------------------------------------------------------------

FORCE_INLINE void SetNZ(CEmulator& e, uint32_t value) {
    e.negativeFlag = value >> 31;
    e.zeroFlag = value == 0;
    e.ComposeCpsr();
}

// a + b + carry with all four flags; subtraction is a + NOT b + 1 (carry = no borrow).
FORCE_INLINE uint32_t AddWithFlags(CEmulator& e, uint32_t a, uint32_t b, uint32_t carry) {
    const uint64_t wide = uint64_t{a} + b + carry;
    const uint32_t result = static_cast<uint32_t>(wide);
    e.carryFlag = static_cast<uint32_t>(wide >> 32);
    e.overflowFlag = ((a ^ result) & (b ^ result)) >> 31;
    SetNZ(e, result);
    return result;
}

FORCE_INLINE uint32_t SubWithFlags(CEmulator& e, uint32_t a, uint32_t b) {
    return AddWithFlags(e, a, ~b, 1);
}

FORCE_INLINE uint32_t Asr(uint32_t value, uint32_t amount) {
    return static_cast<uint32_t>(static_cast<int32_t>(value) >> amount);
}

// Condition codes: bit n of kConditionMasks[cond] tells whether the condition holds
// when the flags N Z C V read as the four-bit number n.
constexpr std::array<uint16_t, 16> BuildConditionMasks() {
    std::array<uint16_t, 16> masks{};
    for (uint32_t cond = 0; cond < 16; ++cond) {
        uint16_t mask = 0;
        for (uint32_t f = 0; f < 16; ++f) {
            const bool n = f & 8, z = f & 4, c = f & 2, v = f & 1;
            bool taken = false;
            switch (cond) {
                case 0:
                    taken = z;
                    break;
                case 1:
                    taken = !z;
                    break;
                case 2:
                    taken = c;
                    break;
                case 3:
                    taken = !c;
                    break;
                case 4:
                    taken = n;
                    break;
                case 5:
                    taken = !n;
                    break;
                case 6:
                    taken = v;
                    break;
                case 7:
                    taken = !v;
                    break;
                case 8:
                    taken = c && !z;
                    break;
                case 9:
                    taken = !c || z;
                    break;
                case 10:
                    taken = n == v;
                    break;
                case 11:
                    taken = n != v;
                    break;
                case 12:
                    taken = !z && n == v;
                    break;
                case 13:
                    taken = z || n != v;
                    break;
                case 14:
                    taken = true;
                    break;
                default:
                    taken = false;
                    break;
            }
            if (taken) mask = static_cast<uint16_t>(mask | (1u << f));
        }
        masks[cond] = mask;
    }
    return masks;
}
constexpr std::array<uint16_t, 16> kConditionMasks = BuildConditionMasks();

// Operand fields that lie in the low six bits vary at run time.
FORCE_INLINE uint32_t Field0(const CEmulator& e) {
    return e.thumbInstruction & 7;
}
FORCE_INLINE uint32_t Field3(const CEmulator& e) {
    return (e.thumbInstruction >> 3) & 7;
}

// --- executors -----------------------------------------------------------------------
// kH is the halfword with its low six bits clear.

template <uint32_t kH>
FORCE_INLINE void ExecShiftImm(CEmulator& e) {
    constexpr uint32_t kOp = (kH >> 11) & 3;
    constexpr uint32_t kAmount = (kH >> 6) & 31;
    const uint32_t v = e.r[Field3(e)];
    uint32_t result;
    if constexpr (kOp == 0) {  // LSL; #0 leaves C
        result = v << kAmount;
        if constexpr (kAmount != 0) e.carryFlag = (v >> (32 - kAmount)) & 1;
    } else if constexpr (kOp == 1) {  // LSR; #0 means #32
        if constexpr (kAmount == 0) {
            e.carryFlag = v >> 31;
            result = 0;
        } else {
            e.carryFlag = (v >> (kAmount - 1)) & 1;
            result = v >> kAmount;
        }
    } else {  // ASR; #0 means #32
        if constexpr (kAmount == 0) {
            e.carryFlag = v >> 31;
            result = Asr(v, 31);
        } else {
            e.carryFlag = (v >> (kAmount - 1)) & 1;
            result = Asr(v, kAmount);
        }
    }
    e.r[Field0(e)] = result;
    SetNZ(e, result);
    Next(e);
}

template <uint32_t kH>
FORCE_INLINE void ExecAddSub3(CEmulator& e) {
    constexpr bool kSub = (kH >> 9) & 1;
    constexpr bool kImmediate = (kH >> 10) & 1;
    constexpr uint32_t kField = (kH >> 6) & 7;
    const uint32_t a = e.r[Field3(e)];
    const uint32_t b = kImmediate ? kField : e.r[kField];
    e.r[Field0(e)] = kSub ? SubWithFlags(e, a, b) : AddWithFlags(e, a, b, 0);
    Next(e);
}

template <uint32_t kH>
FORCE_INLINE void ExecImm8(CEmulator& e) {
    constexpr uint32_t kOp = (kH >> 11) & 3;
    constexpr uint32_t kRd = (kH >> 8) & 7;
    const uint32_t imm = e.thumbInstruction & 0xFF;
    if constexpr (kOp == 0) {
        e.r[kRd] = imm;
        SetNZ(e, imm);
    } else if constexpr (kOp == 1) {
        SubWithFlags(e, e.r[kRd], imm);
    } else if constexpr (kOp == 2) {
        e.r[kRd] = AddWithFlags(e, e.r[kRd], imm, 0);
    } else {
        e.r[kRd] = SubWithFlags(e, e.r[kRd], imm);
    }
    Next(e);
}

// Register-specified shifts use the bottom byte of Rs: 0 leaves value and C, 32 and
// more shift everything out.
template <uint32_t kOp>
FORCE_INLINE uint32_t ShiftByRegister(CEmulator& e, uint32_t v, uint32_t amount) {
    if (amount == 0) return v;
    if constexpr (kOp == 2) {  // LSL
        if (amount < 32) {
            e.carryFlag = (v >> (32 - amount)) & 1;
            return v << amount;
        }
        e.carryFlag = amount == 32 ? (v & 1) : 0;
        return 0;
    } else if constexpr (kOp == 3) {  // LSR
        if (amount < 32) {
            e.carryFlag = (v >> (amount - 1)) & 1;
            return v >> amount;
        }
        e.carryFlag = amount == 32 ? (v >> 31) : 0;
        return 0;
    } else if constexpr (kOp == 4) {  // ASR
        if (amount < 32) {
            e.carryFlag = (v >> (amount - 1)) & 1;
            return Asr(v, amount);
        }
        e.carryFlag = v >> 31;
        return Asr(v, 31);
    } else {  // ROR
        const uint32_t rotate = amount & 31;
        if (rotate == 0) {
            e.carryFlag = v >> 31;
            return v;
        }
        e.carryFlag = (v >> (rotate - 1)) & 1;
        return (v >> rotate) | (v << (32 - rotate));
    }
}

template <uint32_t kH>
FORCE_INLINE void ExecAlu(CEmulator& e) {
    constexpr uint32_t kOp = (kH >> 6) & 15;
    uint32_t& rd = e.r[Field0(e)];
    const uint32_t rs = e.r[Field3(e)];
    if constexpr (kOp == 0) {
        rd &= rs;
        SetNZ(e, rd);
    } else if constexpr (kOp == 1) {
        rd ^= rs;
        SetNZ(e, rd);
    } else if constexpr (kOp >= 2 && kOp <= 4) {
        rd = ShiftByRegister<kOp>(e, rd, rs & 0xFF);
        SetNZ(e, rd);
    } else if constexpr (kOp == 5) {
        rd = AddWithFlags(e, rd, rs, e.carryFlag != 0);
    } else if constexpr (kOp == 6) {  // SBC
        rd = AddWithFlags(e, rd, ~rs, e.carryFlag != 0);
    } else if constexpr (kOp == 7) {
        rd = ShiftByRegister<7>(e, rd, rs & 0xFF);
        SetNZ(e, rd);
    } else if constexpr (kOp == 8) {
        SetNZ(e, rd & rs);
    } else if constexpr (kOp == 9) {
        rd = SubWithFlags(e, 0, rs);
    } else if constexpr (kOp == 10) {
        SubWithFlags(e, rd, rs);
    } else if constexpr (kOp == 11) {
        AddWithFlags(e, rd, rs, 0);
    } else if constexpr (kOp == 12) {
        rd |= rs;
        SetNZ(e, rd);
    } else if constexpr (kOp == 13) {
        rd *= rs;
        SetNZ(e, rd);
    } else if constexpr (kOp == 14) {
        rd &= ~rs;
        SetNZ(e, rd);
    } else {
        rd = ~rs;
        SetNZ(e, rd);
    }
    Next(e);
}

// High-register operations: bit 7 makes the destination high, bit 6 the source.
template <uint32_t kH>
FORCE_INLINE void ExecHiAdd(CEmulator& e) {
    const uint32_t d = Field0(e) + ((kH >> 4) & 8);
    const uint32_t value = e.r[d] + e.r[Field3(e) + ((kH >> 3) & 8)];
    if (d == 15) return BranchTo(e, value & ~1u);
    e.r[d] = value;
    Next(e);
}

template <uint32_t kH>
FORCE_INLINE void ExecHiCmp(CEmulator& e) {
    SubWithFlags(e, e.r[Field0(e) + ((kH >> 4) & 8)], e.r[Field3(e) + ((kH >> 3) & 8)]);
    Next(e);
}

template <uint32_t kH>
FORCE_INLINE void ExecHiMov(CEmulator& e) {
    constexpr bool kBothHigh = ((kH >> 6) & 3) == 3;
    const uint32_t d = Field0(e) + ((kH >> 4) & 8);
    const uint32_t value = e.r[Field3(e) + ((kH >> 3) & 8)];
    if (d != 15) {
        e.r[d] = value;
        return Next(e);
    }
    const uint32_t target = value & ~1u;
    if constexpr (kBothHigh) {  // MOV PC, LR and the like: a return
        e.r[15] = target;
        e.CheckReturn();
    }
    BranchTo(e, target);
}

template <uint32_t kH>
FORCE_INLINE void ExecBx(CEmulator& e) {
    const uint32_t source = e.r[Field3(e) + ((kH >> 3) & 8)];
    const uint32_t target = source & ~1u;
    e.r[15] = target;
    if (source & 1) return BranchTo(e, target);
    e.cpsr &= ~CEmulator::kThumbBit;
    e.armInstruction = e.ReadWord(target);
    e.r[15] = target + 8;
}

template <uint32_t kH>
FORCE_INLINE void ExecLdrPc(CEmulator& e) {
    constexpr uint32_t kRd = (kH >> 8) & 7;
    e.r[kRd] = e.ReadWord((e.r[15] & ~2u) + (e.thumbInstruction & 0xFF) * 4);
    Next(e);
}

template <uint32_t kH>
FORCE_INLINE void ExecRegOffset(CEmulator& e) {
    constexpr ThumbOp kOp = DecodeThumb(kH);
    constexpr uint32_t kRo = (kH >> 6) & 7;
    const uint32_t address = e.r[Field3(e)] + e.r[kRo];
    uint32_t& rd = e.r[Field0(e)];
    if constexpr (kOp == ThumbOp::kStrReg) {
        e.WriteWord(address, rd);
    } else if constexpr (kOp == ThumbOp::kStrbReg) {
        e.WriteByte(address, static_cast<uint8_t>(rd));
    } else if constexpr (kOp == ThumbOp::kLdrReg) {
        rd = e.ReadWord(address);
    } else if constexpr (kOp == ThumbOp::kLdrbReg) {
        rd = e.ReadByte(address);
    } else if constexpr (kOp == ThumbOp::kStrhReg) {
        e.WriteHalf(address, static_cast<uint16_t>(rd));
    } else if constexpr (kOp == ThumbOp::kLdsbReg) {
        rd = static_cast<uint32_t>(static_cast<int8_t>(e.ReadByte(address)));
    } else if constexpr (kOp == ThumbOp::kLdrhReg) {
        rd = e.ReadHalf(address, false);
    } else {
        rd = static_cast<uint32_t>(static_cast<int16_t>(e.ReadHalf(address, false)));
    }
    Next(e);
}

template <uint32_t kH>
FORCE_INLINE void ExecImmOffset(CEmulator& e) {
    constexpr ThumbOp kOp = DecodeThumb(kH);
    constexpr uint32_t kImm = (kH >> 6) & 31;
    const uint32_t base = e.r[Field3(e)];
    uint32_t& rd = e.r[Field0(e)];
    if constexpr (kOp == ThumbOp::kStrImm) {
        e.WriteWord(base + kImm * 4, rd);
    } else if constexpr (kOp == ThumbOp::kLdrImm) {
        rd = e.ReadWord(base + kImm * 4);
    } else if constexpr (kOp == ThumbOp::kStrbImm) {
        e.WriteByte(base + kImm, static_cast<uint8_t>(rd));
    } else if constexpr (kOp == ThumbOp::kLdrbImm) {
        rd = e.ReadByte(base + kImm);
    } else if constexpr (kOp == ThumbOp::kStrhImm) {
        e.WriteHalf(base + kImm * 2, static_cast<uint16_t>(rd));
    } else {
        rd = e.ReadHalf(base + kImm * 2, false);
    }
    Next(e);
}

template <uint32_t kH>
FORCE_INLINE void ExecSpRelative(CEmulator& e) {
    constexpr bool kLoad = (kH >> 11) & 1;
    constexpr uint32_t kRd = (kH >> 8) & 7;
    const uint32_t address = e.r[13] + (e.thumbInstruction & 0xFF) * 4;
    if constexpr (kLoad)
        e.r[kRd] = e.ReadWord(address);
    else
        e.WriteWord(address, e.r[kRd]);
    Next(e);
}

template <uint32_t kH>
FORCE_INLINE void ExecLoadAddress(CEmulator& e) {
    constexpr bool kSp = (kH >> 11) & 1;
    constexpr uint32_t kRd = (kH >> 8) & 7;
    const uint32_t base = kSp ? e.r[13] : (e.r[15] & ~2u);
    e.r[kRd] = base + (e.thumbInstruction & 0xFF) * 4;
    Next(e);
}

FORCE_INLINE void ExecAdjustSp(CEmulator& e) {
    const uint32_t amount = (e.thumbInstruction & 0x7F) * 4;
    if (e.thumbInstruction & 0x80)
        e.r[13] -= amount;
    else
        e.r[13] += amount;
    Next(e);
}

template <uint32_t kH>
FORCE_INLINE void ExecPush(CEmulator& e) {
    constexpr bool kWithLr = (kH >> 8) & 1;
    const uint32_t list = e.thumbInstruction & 0xFF;
    if constexpr (kWithLr) {
        e.r[13] -= 4;
        e.WriteWord(e.r[13], e.r[14]);
    }
    for (int i = 7; i >= 0; --i) {
        if (list & (1u << i)) {
            e.r[13] -= 4;
            e.WriteWord(e.r[13], e.r[i]);
        }
    }
    Next(e);
}

template <uint32_t kH>
FORCE_INLINE void ExecPop(CEmulator& e) {
    constexpr bool kWithPc = (kH >> 8) & 1;
    const uint32_t list = e.thumbInstruction & 0xFF;
    for (int i = 0; i < 8; ++i) {
        if (list & (1u << i)) {
            e.r[i] = e.ReadWord(e.r[13]);
            e.r[13] += 4;
        }
    }
    if constexpr (kWithPc) {
        // ARMv4T: POP {PC} ignores bit 0 and stays in THUMB state.
        const uint32_t target = e.ReadWord(e.r[13]) & ~1u;
        e.r[15] = target;
        e.r[13] += 4;
        e.CheckReturn();
        BranchTo(e, target);
    } else {
        Next(e);
    }
}

// The base advances after each register, so a base in the list is stored or loaded
// with its value at that moment.
template <uint32_t kH>
FORCE_INLINE void ExecMultiple(CEmulator& e) {
    constexpr bool kLoad = (kH >> 11) & 1;
    constexpr uint32_t kRb = (kH >> 8) & 7;
    const uint32_t list = e.thumbInstruction & 0xFF;
    for (int i = 0; i < 8; ++i) {
        if (list & (1u << i)) {
            if constexpr (kLoad)
                e.r[i] = e.ReadWord(e.r[kRb]);
            else
                e.WriteWord(e.r[kRb], e.r[i]);
            e.r[kRb] += 4;
        }
    }
    Next(e);
}

template <uint32_t kH>
FORCE_INLINE void ExecCondBranch(CEmulator& e) {
    constexpr uint16_t kMask = kConditionMasks[(kH >> 8) & 15];
    if ((kMask >> (e.cpsr >> 28)) & 1) {
        const int32_t offset = static_cast<int8_t>(e.thumbInstruction & 0xFF);
        return BranchTo(e, e.r[15] + static_cast<uint32_t>(offset * 2));
    }
    Next(e);
}

FORCE_INLINE void ExecBranch(CEmulator& e) {
    const uint32_t off11 = e.thumbInstruction & 0x7FF;
    const int32_t offset = static_cast<int32_t>(off11 << 21) >> 20;  // sign-extended, x 2
    BranchTo(e, e.r[15] + static_cast<uint32_t>(offset));
}

// Both halves of BL in one step; the suffix is consumed whatever its bit 11.
FORCE_INLINE void ExecBranchLink(CEmulator& e) {
    const uint32_t prefixAddress = e.r[15] - 4;
    const uint32_t high = static_cast<uint32_t>(
        static_cast<int32_t>(uint32_t{e.thumbInstruction & 0x7FFu} << 21) >> 9);
    e.r[14] = e.r[15] + high;
    Next(e);
    const uint32_t target = e.r[14] + (e.thumbInstruction & 0x7FFu) * 2;
    e.r[15] = target;
    e.r[14] = (prefixAddress + 4) | 1;
    e.PushCallRecord(prefixAddress, target, 1);
    if (e.callTrackSink) e.NotifyCallTrack();
    BranchTo(e, target);
}

FORCE_INLINE void ExecNothing(CEmulator&) {}

FORCE_INLINE void ExecUnknown(CEmulator& e) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string line = "Unknown instruction ....";
    for (int i = 0; i < 4; ++i) line[20 + i] = kHex[(e.thumbInstruction >> (12 - 4 * i)) & 15];
    e.ReportWarning(line);
    Next(e);
}

// --- the dispatch table ------------------------------------------------------------------

template <uint32_t kIndex>
constexpr Executor Select() {
    constexpr uint32_t kH = kIndex << 6;
    constexpr ThumbOp kOp = DecodeThumb(static_cast<uint16_t>(kH));
    using enum ThumbOp;
    if constexpr (kOp == kLslImm || kOp == kLsrImm || kOp == kAsrImm)
        return &ExecShiftImm<kH>;
    else if constexpr (kOp == kAddReg || kOp == kSubReg || kOp == kAddImm3 || kOp == kSubImm3)
        return &ExecAddSub3<kH>;
    else if constexpr (kOp == kMovImm8 || kOp == kCmpImm8 || kOp == kAddImm8 || kOp == kSubImm8)
        return &ExecImm8<kH>;
    else if constexpr (kOp == kAlu)
        return &ExecAlu<kH>;
    else if constexpr (kOp == kHiAdd)
        return &ExecHiAdd<kH>;
    else if constexpr (kOp == kHiCmp)
        return &ExecHiCmp<kH>;
    else if constexpr (kOp == kHiMov)
        return &ExecHiMov<kH>;
    else if constexpr (kOp == kBx)
        return &ExecBx<kH>;
    else if constexpr (kOp == kLdrPc)
        return &ExecLdrPc<kH>;
    else if constexpr (kOp >= kStrReg && kOp <= kLdshReg)
        return &ExecRegOffset<kH>;
    else if constexpr (kOp >= kStrImm && kOp <= kLdrhImm)
        return &ExecImmOffset<kH>;
    else if constexpr (kOp == kStrSp || kOp == kLdrSp)
        return &ExecSpRelative<kH>;
    else if constexpr (kOp == kAddPc || kOp == kAddSp)
        return &ExecLoadAddress<kH>;
    else if constexpr (kOp == kAdjustSp)
        return &ExecAdjustSp;
    else if constexpr (kOp == kPush)
        return &ExecPush<kH>;
    else if constexpr (kOp == kPop)
        return &ExecPop<kH>;
    else if constexpr (kOp == kStmia || kOp == kLdmia)
        return &ExecMultiple<kH>;
    else if constexpr (kOp == kCondBranch)
        return &ExecCondBranch<kH>;
    else if constexpr (kOp == kBranch)
        return &ExecBranch;
    else if constexpr (kOp == kBranchLink)
        return &ExecBranchLink;
    else if constexpr (kOp == kNothing)
        return &ExecNothing;
    else
        return &ExecUnknown;
}

template <size_t... kIndex>
constexpr std::array<Executor, sizeof...(kIndex)> BuildTable(std::index_sequence<kIndex...>) {
    return {{Select<kIndex>()...}};
}

constexpr std::array<Executor, 1024> kThumbTable = BuildTable(std::make_index_sequence<1024>{});

}  // namespace

void CEmulator::StepThumb() {
    kThumbTable[thumbInstruction >> 6](*this);
}

// The run loop is threaded: each of the 1,024 executors is inlined behind its own
// label and jumps straight to the next one through the label table, so every
// executor has its own indirect branch for the processor to predict. The stop
// conditions are checked after every instruction, as one Step at a time would.
#define TRAVIK_OP(index) &&op_##index,
#define TRAVIK_CASE(index)                          \
    op_##index : {                                  \
        constexpr Executor kExec = Select<index>(); \
        kExec(*this);                               \
        TRAVIK_DISPATCH();                          \
    }
#define TRAVIK_ROW(m, a, b)                                                                       \
    m(0x##a##b##0) m(0x##a##b##1) m(0x##a##b##2) m(0x##a##b##3) m(0x##a##b##4) m(0x##a##b##5)     \
        m(0x##a##b##6) m(0x##a##b##7) m(0x##a##b##8) m(0x##a##b##9) m(0x##a##b##A) m(0x##a##b##B) \
            m(0x##a##b##C) m(0x##a##b##D) m(0x##a##b##E) m(0x##a##b##F)
#define TRAVIK_BLOCK(m, a)                                                                  \
    TRAVIK_ROW(m, a, 0)                                                                     \
    TRAVIK_ROW(m, a, 1) TRAVIK_ROW(m, a, 2) TRAVIK_ROW(m, a, 3) TRAVIK_ROW(m, a, 4)         \
        TRAVIK_ROW(m, a, 5) TRAVIK_ROW(m, a, 6) TRAVIK_ROW(m, a, 7) TRAVIK_ROW(m, a, 8)     \
            TRAVIK_ROW(m, a, 9) TRAVIK_ROW(m, a, A) TRAVIK_ROW(m, a, B) TRAVIK_ROW(m, a, C) \
                TRAVIK_ROW(m, a, D) TRAVIK_ROW(m, a, E) TRAVIK_ROW(m, a, F)
#define TRAVIK_ALL(m) TRAVIK_BLOCK(m, 0) TRAVIK_BLOCK(m, 1) TRAVIK_BLOCK(m, 2) TRAVIK_BLOCK(m, 3)

RunResult CEmulator::Run(uint32_t address, uint64_t maxInstructions, bool stopOnWarning,
                         bool breakOnFirst) {
    static constexpr void* kLabels[1024] = {TRAVIK_ALL(TRAVIK_OP)};
    uint64_t executed = 0;
    RunStop stop = RunStop::kNone;
    // Breakpoints, watchpoints and warnings cost one test of this flag while none is set.
    const bool checks = breakCount_ != 0 || watchCount_ != 0 || stopOnWarning;
    if (breakOnFirst && (cpsr & kThumbBit) && breakCount_ != 0 && IsBreakpoint(r[15] - 4))
        return {false, 0, RunStop::kBreakpoint};
    inRun_ = true;
    stopOnWarning_ = stopOnWarning;
    pendingStop_ = RunStop::kNone;
#define TRAVIK_DISPATCH()                                                             \
    do {                                                                              \
        ++executed;                                                                   \
        if (r[15] - 4 == address) goto arrived;                                       \
        if (checks) goto check;                                                       \
        if (executed >= maxInstructions) goto done;                                   \
        if (!(cpsr & kThumbBit)) goto arm;                                            \
        goto* kLabels[thumbInstruction >> 6];                                         \
    } while (0)
    while (executed < maxInstructions) {
        if (cpsr & kThumbBit) goto* kLabels[thumbInstruction >> 6];
    arm:
        StepArm();
        ++executed;
        if (r[15] - 4 == address) goto arrived;
        if (!checks) continue;
    check:
        if (pendingStop_ != RunStop::kNone) {
            stop = pendingStop_;
            goto done;
        }
        if ((cpsr & kThumbBit) && IsBreakpoint(r[15] - 4)) {
            stop = RunStop::kBreakpoint;
            goto done;
        }
        continue;
        TRAVIK_ALL(TRAVIK_CASE)
    }
    goto done;
arrived:
    stop = RunStop::kArrived;
done:
    inRun_ = false;
    stopOnWarning_ = false;
    pendingStop_ = RunStop::kNone;
    TrimCallTrack();
    return {stop == RunStop::kArrived, executed, stop};
#undef TRAVIK_DISPATCH
}

#undef TRAVIK_ALL
#undef TRAVIK_BLOCK
#undef TRAVIK_ROW
#undef TRAVIK_CASE
#undef TRAVIK_OP

const char* ThumbOpName(ThumbOp op) {
    static constexpr const char* kNames[] = {
        "LSL imm",   "LSR imm",  "ASR imm",  "ADD reg",  "SUB reg",  "ADD imm3", "SUB imm3",
        "MOV imm8",  "CMP imm8", "ADD imm8", "SUB imm8", "ALU",      "hi ADD",   "hi CMP",
        "hi MOV",    "BX",       "LDR PC",   "STR reg",  "STRB reg", "LDR reg",  "LDRB reg",
        "STRH reg",  "LDSB reg", "LDRH reg", "LDSH reg", "STR imm",  "LDR imm",  "STRB imm",
        "LDRB imm",  "STRH imm", "LDRH imm", "STR SP",   "LDR SP",   "ADD PC",   "ADD SP",
        "SP adjust", "PUSH",     "POP",      "STMIA",    "LDMIA",    "B cond",   "B",
        "BL",        "nothing",  "unknown"};
    const auto index = static_cast<size_t>(op);
    return index < sizeof kNames / sizeof kNames[0] ? kNames[index] : "?";
}
