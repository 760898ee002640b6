#pragma once

#include <cstdint>

// Which executor runs a THUMB halfword. The choice depends on the top ten bits only,
// so the emulator builds its 1,024-entry dispatch table from this one function, and
// tests can compare it with the disassembler's choice of format.
enum class ThumbOp : uint8_t {
    kLslImm,
    kLsrImm,
    kAsrImm,
    kAddReg,
    kSubReg,
    kAddImm3,
    kSubImm3,
    kMovImm8,
    kCmpImm8,
    kAddImm8,
    kSubImm8,
    kAlu,    // op in bits 6-9
    kHiAdd,  // ADD with a high register
    kHiCmp,  // CMP with a high register
    kHiMov,  // MOV with a high register
    kBx,     // BX Rs / BX Hs
    kLdrPc,
    kStrReg,
    kStrbReg,
    kLdrReg,
    kLdrbReg,
    kStrhReg,
    kLdsbReg,
    kLdrhReg,
    kLdshReg,
    kStrImm,
    kLdrImm,
    kStrbImm,
    kLdrbImm,
    kStrhImm,
    kLdrhImm,
    kStrSp,
    kLdrSp,
    kAddPc,
    kAddSp,
    kAdjustSp,
    kPush,
    kPop,
    kStmia,
    kLdmia,
    kCondBranch,
    kBranch,
    kBranchLink,  // the prefix; the suffix is consumed by the same step
    kNothing,     // BLX suffix or BL suffix on its own: no effect at all
    kUnknown,
};

constexpr ThumbOp DecodeThumb(uint16_t half) {
    const uint32_t h = half;
    const uint32_t b1112 = (h >> 11) & 3;
    const uint32_t b1011 = (h >> 10) & 3;
    const bool bit9 = (h >> 9) & 1;
    const bool bit10 = (h >> 10) & 1;
    const bool bit11 = (h >> 11) & 1;
    switch (h & 0xF000) {
        case 0x0000:
        case 0x1000:
            if (b1112 == 0) return ThumbOp::kLslImm;
            if (b1112 == 1) return ThumbOp::kLsrImm;
            if (b1112 == 2) return ThumbOp::kAsrImm;
            if (!bit10) return bit9 ? ThumbOp::kSubReg : ThumbOp::kAddReg;
            return bit9 ? ThumbOp::kSubImm3 : ThumbOp::kAddImm3;
        case 0x2000:
        case 0x3000: {
            constexpr ThumbOp kOps[4] = {ThumbOp::kMovImm8, ThumbOp::kCmpImm8, ThumbOp::kAddImm8,
                                         ThumbOp::kSubImm8};
            return kOps[b1112];
        }
        case 0x4000: {
            // All sixteen ALU operations are emulated, SBC and ROR included.
            if (b1011 == 0) return ThumbOp::kAlu;
            if (b1011 == 1) {
                switch ((h >> 6) & 0xF) {
                    case 1:
                    case 2:
                    case 3:
                        return ThumbOp::kHiAdd;
                    case 5:
                    case 6:
                    case 7:
                        return ThumbOp::kHiCmp;
                    case 9:
                    case 10:
                    case 11:
                        return ThumbOp::kHiMov;
                    case 12:
                    case 13:
                        return ThumbOp::kBx;
                    default:
                        return ThumbOp::kUnknown;
                }
            }
            return ThumbOp::kLdrPc;
        }
        case 0x5000: {
            constexpr ThumbOp kPlain[4] = {ThumbOp::kStrReg, ThumbOp::kStrbReg, ThumbOp::kLdrReg,
                                           ThumbOp::kLdrbReg};
            constexpr ThumbOp kSigned[4] = {ThumbOp::kStrhReg, ThumbOp::kLdsbReg, ThumbOp::kLdrhReg,
                                            ThumbOp::kLdshReg};
            return bit9 ? kSigned[b1011] : kPlain[b1011];
        }
        case 0x6000:
        case 0x7000: {
            constexpr ThumbOp kOps[4] = {ThumbOp::kStrImm, ThumbOp::kLdrImm, ThumbOp::kStrbImm,
                                         ThumbOp::kLdrbImm};
            return kOps[b1112];
        }
        case 0x8000:
            return bit11 ? ThumbOp::kLdrhImm : ThumbOp::kStrhImm;
        case 0x9000:
            return bit11 ? ThumbOp::kLdrSp : ThumbOp::kStrSp;
        case 0xA000:
            return bit11 ? ThumbOp::kAddSp : ThumbOp::kAddPc;
        case 0xB000:
            if (!bit10) return ThumbOp::kAdjustSp;
            return bit11 ? ThumbOp::kPop : ThumbOp::kPush;
        case 0xC000:
            return bit11 ? ThumbOp::kLdmia : ThumbOp::kStmia;
        case 0xD000:
            // 0xDF is the software interrupt, which is not emulated.
            return (h >> 8) == 0xDF ? ThumbOp::kUnknown : ThumbOp::kCondBranch;
        case 0xE000:
            return bit11 ? ThumbOp::kNothing : ThumbOp::kBranch;
        default:  // 0xF000
            return bit11 ? ThumbOp::kNothing : ThumbOp::kBranchLink;
    }
}

// A short name of the executor, for test messages.
const char* ThumbOpName(ThumbOp op);
