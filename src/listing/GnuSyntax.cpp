#include "listing/GnuSyntax.h"

#include "document/CTravikDoc.h"

using namespace textformat;

namespace {

constexpr const char* kRegisters[16] = {"r0", "r1", "r2", "r3",  "r4",  "r5", "r6", "r7",
                                        "r8", "r9", "r10", "r11", "r12", "sp", "lr", "pc"};
constexpr const char* kShifts[] = {"lsls", "lsrs", "asrs"};
constexpr const char* kAddSub[] = {"adds", "subs"};
constexpr const char* kImmediateOps[] = {"movs", "cmp", "adds", "subs"};
constexpr const char* kAluOps[] = {"ands", "eors", "lsls", "lsrs", "asrs", "adcs", "sbcs", "rors",
                                   "tst",  "negs", "cmp",  "cmn",  "orrs", "muls", "bics", "mvns"};
constexpr const char* kHighOps[] = {"add", "cmp", "mov", "bx"};
constexpr const char* kRegisterOffset[] = {"str", "strb", "ldr", "ldrb"};
constexpr const char* kSigned[] = {"strh", "ldrsb", "ldrh", "ldrsh"};
constexpr const char* kImmediateOffset[] = {"str", "ldr", "strb", "ldrb"};
constexpr const char* kHalf[] = {"strh", "ldrh"};
constexpr const char* kSp[] = {"str", "ldr"};
constexpr const char* kMultiple[] = {"stmia", "ldmia"};
constexpr const char* kConditions[] = {"beq", "bne", "bcs", "bcc", "bmi", "bpl", "bvs",
                                       "bvc", "bhi", "bls", "bge", "blt", "bgt", "ble"};

// Room for the longest fixed text (a full register list with its comment).
constexpr size_t kRoom = 96;

char* Put(char* p, const char* text) {
    while (*text) *p++ = *text++;
    return p;
}
char* PutReg(char* p, unsigned r) {
    return Put(p, kRegisters[r & 15]);
}
char* PutRegs(char* p, unsigned a, unsigned b) {
    p = PutReg(p, a);
    p = Put(p, ", ");
    return PutReg(p, b);
}
char* PutNumber(char* p, uint32_t v) {
    return PutDecimal(p, static_cast<int32_t>(v));
}
// objdump gives an immediate above 32 again in hex, as a comment.
char* PutImmediateComment(char* p, uint32_t v) {
    if (v <= 32) return p;
    p = Put(p, " @ 0x");
    return PutHex(p, v, 1);
}
char* PutHexAddress(char* p, uint32_t address) {
    p = Put(p, "0x");
    return PutHex(p, address, 1);
}
// "{r0, r1, lr}": the low registers of the list, then `extra` for bit 8.
char* PutList(char* p, unsigned list, const char* extra) {
    *p++ = '{';
    bool first = true;
    for (unsigned r = 0; r < 9; ++r) {
        if (!(list & (1u << r))) continue;
        if (!first) p = Put(p, ", ");
        p = r == 8 ? Put(p, extra) : PutReg(p, r);
        first = false;
    }
    *p++ = '}';
    return p;
}

}  // namespace

bool GnuUndefined(const ThumbInstruction& insn, uint16_t h) {
    switch (insn.form) {
        case ThumbForm::kError13:
        case ThumbForm::kError18:
        case ThumbForm::kBadCall:
            return true;
        case ThumbForm::kPush:
        case ThumbForm::kPop:
            return (h & 0x200) != 0;  // B6xx, B7xx, BExx, BFxx
        case ThumbForm::kHighRegister:
            // BX with H1 set (BLX on later processors) or with bits 0..2 not zero.
            return insn.op == 3 && (h & 0x87) != 0;
        default:
            return false;
    }
}

void FormatGnu(const CTravikDoc& doc, const ThumbInstruction& insn, uint16_t h, LineBuffer& out,
               std::string_view targetLabel) {
    char* p = out.Reserve(kRoom + targetLabel.size());
    if (GnuUndefined(insn, h)) {
        p = Put(p, ".short 0x");
        p = PutHex(p, h, 4);
        out.Commit(p);
        return;
    }
    // A branch target: the label when given, else the displayed address.
    auto putTarget = [&](char* q) {
        if (!targetLabel.empty()) return PutText(q, targetLabel);
        return PutHexAddress(q, doc.DisplayedAddress(insn.target));
    };
    switch (insn.form) {
        case ThumbForm::kMergedAnd:
        case ThumbForm::kMergedAnd3:
            break;  // two halfwords: the caller formats each
        case ThumbForm::kShift:
            // LSL #0 is objdump's MOVS, and a shift right by 0 shifts by 32.
            if (insn.op == 0 && insn.imm == 0) {
                p = Put(p, "movs ");
                p = PutRegs(p, insn.rd, insn.rs);
                break;
            }
            p = Put(p, kShifts[insn.op]);
            *p++ = ' ';
            p = PutRegs(p, insn.rd, insn.rs);
            p = Put(p, ", #");
            p = PutNumber(p, insn.imm == 0 ? 32 : insn.imm);
            break;
        case ThumbForm::kMovRegister:
        case ThumbForm::kAddSubImmediate:
            p = Put(p, kAddSub[insn.op]);
            *p++ = ' ';
            p = PutRegs(p, insn.rd, insn.rs);
            p = Put(p, ", #");
            p = PutNumber(p, insn.imm);
            break;
        case ThumbForm::kAddSubRegister:
            p = Put(p, kAddSub[insn.op]);
            *p++ = ' ';
            p = PutRegs(p, insn.rd, insn.rs);
            p = Put(p, ", ");
            p = PutReg(p, insn.rn);
            break;
        case ThumbForm::kImmediate:
            p = Put(p, kImmediateOps[insn.op]);
            *p++ = ' ';
            p = PutReg(p, insn.rd);
            p = Put(p, ", #");
            p = PutNumber(p, insn.imm);
            p = PutImmediateComment(p, insn.imm);
            break;
        case ThumbForm::kAlu:
            p = Put(p, kAluOps[insn.op]);
            *p++ = ' ';
            p = PutRegs(p, insn.rd, insn.rs);
            break;
        case ThumbForm::kNop:
            if (insn.rd == 8) {
                p = Put(p, "nop @ (mov r8, r8)");
            } else {
                p = Put(p, "mov ");
                p = PutRegs(p, insn.rd, insn.rs);
            }
            break;
        case ThumbForm::kHighRegister:
            p = Put(p, kHighOps[insn.op]);
            *p++ = ' ';
            p = insn.op == 3 ? PutReg(p, insn.rs) : PutRegs(p, insn.rd, insn.rs);
            break;
        case ThumbForm::kLoadLiteral:
        case ThumbForm::kLoadLiteralAbsent:
            p = Put(p, "ldr ");
            p = PutReg(p, insn.rd);
            p = Put(p, ", [pc, #");
            p = PutNumber(p, insn.imm);
            p = Put(p, "] @ (");
            p = PutHexAddress(p, doc.DisplayedAddress(insn.target));
            *p++ = ')';
            // The word it loads, which objdump leaves to the reader.
            if (insn.form == ThumbForm::kLoadLiteral) {
                p = Put(p, " = 0x");
                p = PutHex(p, insn.literal, 8);
            }
            break;
        case ThumbForm::kLoadStoreRegister:
        case ThumbForm::kLoadStoreSigned:
            p = Put(p, insn.form == ThumbForm::kLoadStoreRegister ? kRegisterOffset[insn.op]
                                                                  : kSigned[insn.op]);
            *p++ = ' ';
            p = PutReg(p, insn.rd);
            p = Put(p, ", [");
            p = PutRegs(p, insn.rs, insn.rn);
            *p++ = ']';
            break;
        case ThumbForm::kLoadStoreImmediate:
        case ThumbForm::kLoadStoreHalf:
            p = Put(p, insn.form == ThumbForm::kLoadStoreImmediate ? kImmediateOffset[insn.op]
                                                                   : kHalf[insn.op]);
            *p++ = ' ';
            p = PutReg(p, insn.rd);
            p = Put(p, ", [");
            p = PutReg(p, insn.rs);
            p = Put(p, ", #");
            p = PutNumber(p, insn.imm);
            *p++ = ']';
            p = PutImmediateComment(p, insn.imm);
            break;
        case ThumbForm::kLoadStoreSp:
            p = Put(p, kSp[insn.op]);
            *p++ = ' ';
            p = PutReg(p, insn.rd);
            p = Put(p, ", [sp, #");
            p = PutNumber(p, insn.imm);
            *p++ = ']';
            p = PutImmediateComment(p, insn.imm);
            break;
        case ThumbForm::kAddSpAddress:
            p = Put(p, "add ");
            p = PutReg(p, insn.rd);
            p = Put(p, ", sp, #");
            p = PutNumber(p, insn.imm);
            p = PutImmediateComment(p, insn.imm);
            break;
        case ThumbForm::kPcAddress:
            p = Put(p, "add ");
            p = PutReg(p, insn.rd);
            p = Put(p, ", pc, #");
            p = PutNumber(p, insn.imm);
            p = Put(p, " @ (adr ");
            p = PutReg(p, insn.rd);
            p = Put(p, ", ");
            p = PutHexAddress(p, doc.DisplayedAddress(insn.target));
            *p++ = ')';
            break;
        case ThumbForm::kAdjustSp:
            p = Put(p, insn.op ? "sub sp, #" : "add sp, #");
            p = PutNumber(p, insn.imm);
            p = PutImmediateComment(p, insn.imm);
            break;
        case ThumbForm::kPush:
            p = Put(p, "push ");
            p = PutList(p, insn.registers, "lr");
            break;
        case ThumbForm::kPop:
            p = Put(p, "pop ");
            p = PutList(p, insn.registers, "pc");
            break;
        case ThumbForm::kMultiple:
            p = Put(p, kMultiple[insn.op]);
            *p++ = ' ';
            p = PutReg(p, insn.rd);
            // A load into its own base register does not write the base back.
            if (!(insn.op == 1 && (insn.registers & (1u << insn.rd)))) *p++ = '!';
            p = Put(p, ", ");
            p = PutList(p, insn.registers & 0xFF, "");
            break;
        case ThumbForm::kSwi:
            p = Put(p, "svc ");
            p = PutNumber(p, insn.imm);
            p = PutImmediateComment(p, insn.imm);
            break;
        case ThumbForm::kConditionalBranch:
            if (insn.op == 14) {  // condition "always" is no branch: UDF
                p = Put(p, "udf #");
                p = PutNumber(p, h & 0xFF);
                p = PutImmediateComment(p, h & 0xFF);
                break;
            }
            p = Put(p, kConditions[insn.op]);
            p = Put(p, ".n ");
            p = putTarget(p);
            break;
        case ThumbForm::kBranch:
            p = Put(p, "b.n ");
            p = putTarget(p);
            break;
        case ThumbForm::kCall:
            p = Put(p, "bl ");
            p = putTarget(p);
            break;
        case ThumbForm::kBadCall:
        case ThumbForm::kError13:
        case ThumbForm::kError18:
            break;  // undefined, above
    }
    out.Commit(p);
}

bool GnuAssemblesBack(const ThumbInstruction& insn, uint16_t h) {
    if (GnuUndefined(insn, h)) return false;
    switch (insn.form) {
        case ThumbForm::kMovRegister:
        case ThumbForm::kAddSubImmediate:
            // "adds r0, r0, #1" is read as the eight-bit form.
            return insn.rd != insn.rs;
        case ThumbForm::kNop:
            return insn.rd >= 8;  // MOV of two low registers is refused
        case ThumbForm::kHighRegister:
            if (insn.op == 3) return true;
            // The high-register forms need a high register, and CMP takes no pc.
            if (insn.rd < 8 && insn.rs < 8) return false;
            return !(insn.op == 1 && (insn.rd == 15 || insn.rs == 15));
        case ThumbForm::kPush:
        case ThumbForm::kPop:
        case ThumbForm::kMultiple:
            return (insn.registers & 0x1FF) != 0;  // an empty list is refused
        case ThumbForm::kMergedAnd:
        case ThumbForm::kMergedAnd3:
            return false;  // two halfwords: split by the caller
        default:
            return true;
    }
}

void FormatGnuInstruction(const CTravikDoc& doc, uint32_t offset, LineBuffer& out) {
    const ThumbInstruction insn = DecodeThumb(doc, offset);
    if (insn.form == ThumbForm::kMergedAnd || insn.form == ThumbForm::kMergedAnd3) {
        FormatGnu(doc, DecodeThumbHalfword(doc, offset),
                  static_cast<uint16_t>(doc.HalfwordAt(offset)), out);
        out.Append("; ");
        FormatGnu(doc, DecodeThumbHalfword(doc, offset + 2),
                  static_cast<uint16_t>(doc.HalfwordAt(offset + 2)), out);
        return;
    }
    FormatGnu(doc, insn, static_cast<uint16_t>(doc.HalfwordAt(offset)), out);
}

std::string GnuInstruction(const CTravikDoc& doc, uint32_t offset) {
    LineBuffer out;
    FormatGnuInstruction(doc, offset, out);
    return out.Str();
}
