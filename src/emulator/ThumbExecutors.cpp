// The THUMB executors of a single step and their dispatch table.
//
// Each executor is instantiated for one value of the halfword's top ten bits, so
// the operation and every operand field in bits 6-15 are constants in its body;
// dispatch is one indexed call.
#include <array>
#include <cstddef>
#include <utility>

#include "emulator/MemoryPaths.h"
#include "emulator/ThumbDecode.h"
#include "emulator/ThumbSemantics.h"

namespace {

using Executor = void (*)(CEmulator&);
using namespace thumb;

#define FORCE_INLINE THUMB_INLINE

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
    e.r[Field0(e)] = ShiftImmediate<(kH >> 11) & 3>(e, e.r[Field3(e)], (kH >> 6) & 31);
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

template <uint32_t kH>
FORCE_INLINE void ExecAlu(CEmulator& e) {
    Alu<(kH >> 6) & 15>(e, e.r[Field0(e)], e.r[Field3(e)]);
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
    e.CheckBxReturn();
    if (source & 1) return BranchTo(e, target);
    e.cpsr &= ~CEmulator::kThumbBit;
    e.armInstruction = e.ReadWord(target);
    e.r[15] = target + 8;
}

template <uint32_t kH>
FORCE_INLINE void ExecLdrPc(CEmulator& e) {
    constexpr uint32_t kRd = (kH >> 8) & 7;
    e.r[kRd] = e.ReadWord(LiteralAddress(e.r[15], e.thumbInstruction));
    Next(e);
}

template <uint32_t kH>
FORCE_INLINE void ExecRegOffset(CEmulator& e) {
    Transfer<DecodeThumb(kH)>(e, e.r[Field3(e)] + e.r[(kH >> 6) & 7], e.r[Field0(e)]);
    Next(e);
}

template <uint32_t kH>
FORCE_INLINE void ExecImmOffset(CEmulator& e) {
    constexpr ThumbOp kOp = DecodeThumb(kH);
    constexpr uint32_t kImm = (kH >> 6) & 31;
    constexpr uint32_t kScale = kOp == ThumbOp::kStrImm || kOp == ThumbOp::kLdrImm   ? 4
                                : kOp == ThumbOp::kStrhImm || kOp == ThumbOp::kLdrhImm ? 2
                                                                                       : 1;
    Transfer<kOp>(e, e.r[Field3(e)] + kImm * kScale, e.r[Field0(e)]);
    Next(e);
}

template <uint32_t kH>
FORCE_INLINE void ExecSpRelative(CEmulator& e) {
    Transfer<DecodeThumb(kH)>(e, e.r[13] + (e.thumbInstruction & 0xFF) * 4, e.r[(kH >> 8) & 7]);
    Next(e);
}

template <uint32_t kH>
FORCE_INLINE void ExecLoadAddress(CEmulator& e) {
    constexpr bool kSp = (kH >> 11) & 1;
    constexpr uint32_t kRd = (kH >> 8) & 7;
    e.r[kRd] = kSp ? e.r[13] + (e.thumbInstruction & 0xFF) * 4
                   : LiteralAddress(e.r[15], e.thumbInstruction);
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
    Push(e, e.thumbInstruction & 0xFF, (kH >> 8) & 1);
    Next(e);
}

template <uint32_t kH>
FORCE_INLINE void ExecPop(CEmulator& e) {
    constexpr bool kWithPc = (kH >> 8) & 1;
    Pop(e, e.thumbInstruction & 0xFF);
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

template <uint32_t kH>
FORCE_INLINE void ExecMultiple(CEmulator& e) {
    Multiple<(kH >> 11) & 1>(e, (kH >> 8) & 7, e.thumbInstruction & 0xFF);
    Next(e);
}

template <uint32_t kH>
FORCE_INLINE void ExecCondBranch(CEmulator& e) {
    if (ConditionHolds(e, (kH >> 8) & 15))
        return BranchTo(e, CondBranchTarget(e.r[15], e.thumbInstruction));
    Next(e);
}

FORCE_INLINE void ExecBranch(CEmulator& e) {
    BranchTo(e, BranchTarget(e.r[15], e.thumbInstruction));
}

// Both halves of BL in one step; the suffix is consumed whatever its bit 11.
FORCE_INLINE void ExecBranchLink(CEmulator& e) {
    const uint32_t prefixAddress = e.r[15] - 4;
    e.r[14] = e.r[15] + static_cast<uint32_t>(BlHighOffset(e.thumbInstruction));
    Next(e);
    const uint32_t target = e.r[14] + BlLowOffset(e.thumbInstruction);
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

void thumb::Execute(CEmulator& e) {
    kThumbTable[e.thumbInstruction >> 6](e);
}

void CEmulator::StepThumb() {
    thumb::Execute(*this);
    ComposeCpsr();
}

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
