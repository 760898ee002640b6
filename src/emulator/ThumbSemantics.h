#pragma once
// What each THUMB operation does, shared by the two ways of running code: the
// per-halfword executors of a single step (ThumbExecutors.cpp) and the decoded
// blocks of a run (BlockRun.cpp). Flags and shifts follow ARMv4T.
//
// The four flag fields are the truth while code steps (inside a run's blocks N and Z
// are Processor::nzValue); the CPSR's top bits are composed from them when a step or
// a run ends (Processor::ComposeCpsr).
#include <array>
#include <cstdint>

#include "emulator/MemoryPaths.h"
#include "emulator/ThumbDecode.h"

#define THUMB_INLINE [[gnu::always_inline]] inline

namespace thumb {

// Runs the current THUMB instruction through the per-halfword executors, leaving
// R15 and the fetched next instruction as a step does (the CPSR is not composed).
void Execute(CEmulator& e);

// Where an operation leaves N and Z: in their flag fields (a step), or as the one
// result whose sign and zeroness they are (Processor::nzValue, inside a run's blocks).
struct FieldNZ {
    static void Set(CEmulator& e, uint32_t value) {
        e.negativeFlag = value >> 31;
        e.zeroFlag = value == 0;
    }
};
struct ValueNZ {
    static void Set(CEmulator& e, uint32_t value) { e.nzValue = value; }
};

template <class NZ = FieldNZ>
THUMB_INLINE void SetNZ(CEmulator& e, uint32_t value) {
    NZ::Set(e, value);
}

// a + b + carry with all four flags; subtraction is a + NOT b + 1 (carry = no borrow).
// Without a carry in, the host's own overflow checks give C and V.
template <class NZ = FieldNZ>
THUMB_INLINE uint32_t AddWithFlags(CEmulator& e, uint32_t a, uint32_t b, uint32_t carry) {
    uint32_t result;
    if (__builtin_constant_p(carry) && carry == 0) {
        int32_t ignored;
        e.carryFlag = __builtin_add_overflow(a, b, &result);
        e.overflowFlag = __builtin_add_overflow(static_cast<int32_t>(a), static_cast<int32_t>(b),
                                                &ignored);
    } else {
        const uint64_t wide = uint64_t{a} + b + carry;
        result = static_cast<uint32_t>(wide);
        e.carryFlag = static_cast<uint32_t>(wide >> 32);
        e.overflowFlag = ((a ^ result) & (b ^ result)) >> 31;
    }
    SetNZ<NZ>(e, result);
    return result;
}

template <class NZ = FieldNZ>
THUMB_INLINE uint32_t SubWithFlags(CEmulator& e, uint32_t a, uint32_t b) {
    int32_t ignored;
    e.carryFlag = a >= b;
    e.overflowFlag =
        __builtin_sub_overflow(static_cast<int32_t>(a), static_cast<int32_t>(b), &ignored);
    SetNZ<NZ>(e, a - b);
    return a - b;
}

THUMB_INLINE uint32_t Asr(uint32_t value, uint32_t amount) {
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
            const bool taken[16] = {z,      !z,     c,       !c,     n,
                                    !n,     v,      !v,      c && !z, !c || z,
                                    n == v, n != v, !z && n == v,     z || n != v,
                                    true,   false};
            if (taken[cond]) mask = static_cast<uint16_t>(mask | (1u << f));
        }
        masks[cond] = mask;
    }
    return masks;
}
inline constexpr std::array<uint16_t, 16> kConditionMasks = BuildConditionMasks();

THUMB_INLINE bool ConditionHolds(const CEmulator& e, uint32_t cond) {
    const uint32_t flags = ((e.negativeFlag != 0) << 3) | ((e.zeroFlag != 0) << 2) |
                           ((e.carryFlag != 0) << 1) | (e.overflowFlag != 0);
    return (kConditionMasks[cond] >> flags) & 1;
}

// LSL, LSR, ASR by an immediate (op 0, 1, 2 as in bits 11-12): LSL #0 leaves C,
// LSR #0 and ASR #0 mean #32.
template <uint32_t kOp, class NZ = FieldNZ>
THUMB_INLINE uint32_t ShiftImmediate(CEmulator& e, uint32_t v, uint32_t amount) {
    uint32_t result;
    if constexpr (kOp == 0) {
        result = v << amount;
        if (amount != 0) e.carryFlag = (v >> (32 - amount)) & 1;
    } else if (amount == 0) {
        e.carryFlag = v >> 31;
        result = kOp == 1 ? 0 : Asr(v, 31);
    } else {
        e.carryFlag = (v >> (amount - 1)) & 1;
        result = kOp == 1 ? v >> amount : Asr(v, amount);
    }
    SetNZ<NZ>(e, result);
    return result;
}

// Register-specified shifts (ALU ops 2, 3, 4, 7) use the bottom byte of Rs: 0
// leaves value and C, 32 and more shift everything out.
template <uint32_t kOp>
THUMB_INLINE uint32_t ShiftByRegister(CEmulator& e, uint32_t v, uint32_t amount) {
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

// The sixteen ALU operations (bits 6-9 of the 0x4000 format).
template <uint32_t kOp, class NZ = FieldNZ>
THUMB_INLINE void Alu(CEmulator& e, uint32_t& rd, uint32_t rs) {
    if constexpr (kOp == 0) {
        rd &= rs;
        SetNZ<NZ>(e, rd);
    } else if constexpr (kOp == 1) {
        rd ^= rs;
        SetNZ<NZ>(e, rd);
    } else if constexpr ((kOp >= 2 && kOp <= 4) || kOp == 7) {
        rd = ShiftByRegister<kOp>(e, rd, rs & 0xFF);
        SetNZ<NZ>(e, rd);
    } else if constexpr (kOp == 5) {
        rd = AddWithFlags<NZ>(e, rd, rs, e.carryFlag != 0);
    } else if constexpr (kOp == 6) {  // SBC
        rd = AddWithFlags<NZ>(e, rd, ~rs, e.carryFlag != 0);
    } else if constexpr (kOp == 8) {
        SetNZ<NZ>(e, rd & rs);
    } else if constexpr (kOp == 9) {
        rd = SubWithFlags<NZ>(e, 0, rs);
    } else if constexpr (kOp == 10) {
        SubWithFlags<NZ>(e, rd, rs);
    } else if constexpr (kOp == 11) {
        AddWithFlags<NZ>(e, rd, rs, 0);
    } else if constexpr (kOp == 12) {
        rd |= rs;
        SetNZ<NZ>(e, rd);
    } else if constexpr (kOp == 13) {
        rd *= rs;
        SetNZ<NZ>(e, rd);
    } else if constexpr (kOp == 14) {
        rd &= ~rs;
        SetNZ<NZ>(e, rd);
    } else {
        rd = ~rs;
        SetNZ<NZ>(e, rd);
    }
}

// A load or store of one register (the ThumbOp of the register- or
// immediate-offset formats; the scaling of an immediate is the caller's).
template <ThumbOp kOp, class Hook = CEmulator::NoHook>
THUMB_INLINE void Transfer(CEmulator& e, uint32_t address, uint32_t& rd, Hook hook = {}) {
    using enum ThumbOp;
    if constexpr (kOp == kStrReg || kOp == kStrImm || kOp == kStrSp) {
        e.WriteWord(address, rd, hook);
    } else if constexpr (kOp == kStrbReg || kOp == kStrbImm) {
        e.WriteByte(address, static_cast<uint8_t>(rd), hook);
    } else if constexpr (kOp == kStrhReg || kOp == kStrhImm) {
        e.WriteHalf(address, static_cast<uint16_t>(rd), hook);
    } else if constexpr (kOp == kLdrReg || kOp == kLdrImm || kOp == kLdrSp) {
        rd = e.ReadWord(address, hook);
    } else if constexpr (kOp == kLdrbReg || kOp == kLdrbImm) {
        rd = e.ReadByte(address, hook);
    } else if constexpr (kOp == kLdsbReg) {
        rd = static_cast<uint32_t>(SignExtend(e.ReadByte(address, hook), 8));
    } else if constexpr (kOp == kLdrhReg || kOp == kLdrhImm) {
        rd = e.ReadHalf(address, false, hook);
    } else {
        static_assert(kOp == kLdshReg);
        rd = static_cast<uint32_t>(SignExtend(e.ReadHalf(address, false, hook), 16));
    }
}

// PUSH: LR first (highest address), then the list from R7 down.
template <class Hook = CEmulator::NoHook>
THUMB_INLINE void Push(CEmulator& e, uint32_t list, bool withLr, Hook hook = {}) {
    if (withLr) {
        e.r[13] -= 4;
        e.WriteWord(e.r[13], e.r[14], hook);
    }
    for (int i = 7; i >= 0; --i) {
        if (list & (1u << i)) {
            e.r[13] -= 4;
            e.WriteWord(e.r[13], e.r[i], hook);
        }
    }
}

// POP of R0-R7 (a POP with PC adds the return after this).
template <class Hook = CEmulator::NoHook>
THUMB_INLINE void Pop(CEmulator& e, uint32_t list, Hook hook = {}) {
    for (; list; list &= list - 1) {
        e.r[__builtin_ctz(list)] = e.ReadWord(e.r[13], hook);
        e.r[13] += 4;
    }
}

// STMIA / LDMIA: the base advances after each register, so a base in the list is
// stored or loaded with its value at that moment.
template <bool kLoad, class Hook = CEmulator::NoHook>
THUMB_INLINE void Multiple(CEmulator& e, uint32_t rb, uint32_t list, Hook hook = {}) {
    for (; list; list &= list - 1) {
        const int i = __builtin_ctz(list);
        if constexpr (kLoad)
            e.r[i] = e.ReadWord(e.r[rb], hook);
        else
            e.WriteWord(e.r[rb], e.r[i], hook);
        e.r[rb] += 4;
    }
}

}  // namespace thumb
