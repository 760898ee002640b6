#include "listing/Disassembler.h"

#include "document/CTravikDoc.h"
#include "shell/Bits.h"

using namespace textformat;

namespace {

// Mnemonic tables. Every register name has two characters.
constexpr char kRegisterNames[16][3] = {"R0", "R1", "R2", "R3", "R4", "R5", "R6", "R7",
                                        "H0", "H1", "H2", "H3", "H4", "SP", "LR", "PC"};

// Names are kept in eight bytes so that copying one is a single store.
struct Name {
    char text[8];
    uint8_t size;
};
template <size_t N>
constexpr Name N_(const char (&text)[N]) {
    static_assert(N <= 8);
    Name name{};
    for (size_t i = 0; i + 1 < N; ++i) name.text[i] = text[i];
    name.size = static_cast<uint8_t>(N - 1);
    return name;
}

constexpr Name kShiftNames[] = {N_("LSL"), N_("LSR"), N_("ASR")};
constexpr Name kAddSubNames[] = {N_("ADD"), N_("SUB")};
constexpr Name kImmediateNames[] = {N_("MOV"), N_("CMP"), N_("ADD"), N_("SUB")};
constexpr Name kAluNames[] = {N_("AND"), N_("EOR"), N_("LSL"), N_("LSR"), N_("ASR"), N_("ADC"),
                              N_("SBC"), N_("ROR"), N_("TST"), N_("NEG"), N_("CMP"), N_("CMN"),
                              N_("ORR"), N_("MUL"), N_("BIC"), N_("MVN")};
constexpr Name kHighNames[] = {N_("ADD"), N_("CMP"), N_("MOV"), N_("BX ")};
constexpr Name kRegisterOffsetNames[] = {N_("STR"), N_("STRB"), N_("LDR"), N_("LDRB")};
constexpr Name kSignedNames[] = {N_("STRH"), N_("LDSB"), N_("LDRH"), N_("LDSH")};
constexpr Name kImmediateOffsetNames[] = {N_("STR"), N_("LDR"), N_("STRB"), N_("LDRB")};
constexpr Name kHalfNames[] = {N_("STRH"), N_("LDRH")};
constexpr Name kSpNames[] = {N_("STR"), N_("LDR")};
constexpr Name kMultipleNames[] = {N_("STMIA"), N_("LDMIA")};
constexpr Name kConditionNames[] = {N_("BEQ"), N_("BNE"), N_("BCS"), N_("BCC"), N_("BMI"),
                                    N_("BPL"), N_("BVS"), N_("BVC"), N_("BHI"), N_("BLS"),
                                    N_("BGE"), N_("BLT"), N_("BGT"), N_("BLE"), N_("***")};

// The fixed part of an instruction text (without names and strings) fits in this.
constexpr size_t kFixedRoom = 128;

inline char* PutName(char* p, const Name& name) {
    std::memcpy(p, name.text, 8);
    return p + name.size;
}
inline char* PutRegister(char* p, unsigned r) {
    std::memcpy(p, kRegisterNames[r], 2);
    return p + 2;
}
// "%s, " of a register.
inline char* PutRegisterComma(char* p, unsigned r) {
    p = PutRegister(p, r);
    p[0] = ',';
    p[1] = ' ';
    return p + 2;
}
// Registers 0..7 of the list, each followed by a comma, no blanks.
inline char* PutRegisterList(char* p, unsigned list) {
    for (unsigned r = 0; r < 8; ++r) {
        if (list & (1u << r)) {
            p = PutRegister(p, r);
            *p++ = ',';
        }
    }
    return p;
}

bool NextIsContinuation(const CTravikDoc& doc, uint32_t offset) {
    const uint32_t next = offset / 2 + 1;
    return next < doc.HalfwordCount() && (doc.Flags()[next] & flagbits::kContinuation);
}

// The halfword after a format 1 shift that the analysis (or the info file) joined to
// it. Only an LSL/LSR or LSR/LSL pair has a mask; any other joined pair keeps the
// plain text of its first shift.
bool DecodeMergedPair(const CTravikDoc& doc, uint32_t offset, uint32_t first,
                      ThumbInstruction& insn) {
    const uint32_t second = doc.HalfwordAt(offset + 2);
    const uint32_t firstOp = (first >> 11) & 3;
    const uint32_t secondOp = (second >> 11) & 3;
    const uint32_t n = (first >> 6) & 31;
    uint32_t mask;
    if (firstOp == 0 && secondOp == 1) {
        mask = n == 0 ? 0 : (1u << (32 - n)) - 1;
    } else if (firstOp == 1 && secondOp == 0) {
        mask = ~((1u << n) - 1);
    } else {
        return false;
    }
    const uint32_t source = (first >> 3) & 7;
    const uint32_t destination = second & 7;
    insn.format = 1;
    insn.imm = mask;
    insn.rd = static_cast<uint8_t>(destination);
    if (source == destination) {
        insn.form = ThumbForm::kMergedAnd;
    } else {
        insn.form = ThumbForm::kMergedAnd3;
        insn.rs = static_cast<uint8_t>(source);
    }
    return true;
}

// Decoding and formatting are inlined into DisassembleThumb, the listing's hot path.
[[gnu::always_inline]] inline ThumbInstruction Decode(const CTravikDoc& doc, uint32_t offset,
                                                      bool joinShiftPair = true) {
    const uint32_t h = doc.HalfwordAt(offset);
    ThumbInstruction insn;
    const uint8_t low3 = h & 7;
    const uint8_t mid3 = (h >> 3) & 7;
    const uint8_t high3 = (h >> 8) & 7;
    switch (h >> 12) {
        case 0x0:
        case 0x1: {
            const uint8_t op = (h >> 11) & 3;
            insn.rd = low3;
            insn.rs = mid3;
            if (op == 3) {
                insn.format = 2;
                insn.op = (h >> 9) & 1;
                const uint8_t field = (h >> 6) & 7;
                if (h & 0x400) {
                    insn.form = insn.op == 0 && field == 0 ? ThumbForm::kMovRegister
                                                           : ThumbForm::kAddSubImmediate;
                    insn.imm = field;
                } else {
                    insn.form = ThumbForm::kAddSubRegister;
                    insn.rn = field;
                }
                return insn;
            }
            if (joinShiftPair && NextIsContinuation(doc, offset) &&
                DecodeMergedPair(doc, offset, h, insn)) {
                return insn;
            }
            insn.form = ThumbForm::kShift;
            insn.format = 1;
            insn.op = op;
            insn.imm = (h >> 6) & 31;
            return insn;
        }
        case 0x2:
        case 0x3:
            insn.form = ThumbForm::kImmediate;
            insn.format = 3;
            insn.op = (h >> 11) & 3;
            insn.rd = high3;
            insn.imm = h & 0xFF;
            return insn;
        case 0x4:
            switch ((h >> 10) & 3) {
                case 0:
                    insn.form = ThumbForm::kAlu;
                    insn.format = 4;
                    insn.op = (h >> 6) & 15;
                    insn.rd = low3;
                    insn.rs = mid3;
                    return insn;
                case 1: {
                    insn.format = 5;
                    insn.op = (h >> 8) & 3;
                    const uint8_t h1 = (h >> 7) & 1;
                    const uint8_t h2 = (h >> 6) & 1;
                    insn.rd = low3 + 8 * h1;
                    insn.rs = mid3 + 8 * h2;
                    insn.form = insn.op == 2 && insn.rd == insn.rs ? ThumbForm::kNop
                                                                   : ThumbForm::kHighRegister;
                    return insn;
                }
                default: {
                    insn.format = 6;
                    insn.rd = high3;
                    insn.imm = (h & 0xFF) * 4;
                    const int64_t literal = LiteralAddress(int64_t{offset} + 4, h);
                    insn.target = literal;
                    // The whole word must lie inside the image.
                    if (literal + 4 > int64_t{doc.ImageSize()}) {
                        insn.form = ThumbForm::kLoadLiteralAbsent;
                    } else {
                        insn.form = ThumbForm::kLoadLiteral;
                        insn.literal = doc.WordAt(static_cast<uint32_t>(literal));
                    }
                    return insn;
                }
            }
        case 0x5:
            insn.format = (h & 0x200) ? 8 : 7;
            insn.form = (h & 0x200) ? ThumbForm::kLoadStoreSigned : ThumbForm::kLoadStoreRegister;
            insn.op = (h >> 10) & 3;
            insn.rd = low3;
            insn.rs = mid3;
            insn.rn = (h >> 6) & 7;
            return insn;
        case 0x6:
        case 0x7:
            insn.form = ThumbForm::kLoadStoreImmediate;
            insn.format = 9;
            insn.op = (h >> 11) & 3;
            insn.rd = low3;
            insn.rs = mid3;
            insn.imm = ((h >> 6) & 31) * ((h & 0x1000) ? 1 : 4);
            return insn;
        case 0x8:
            insn.form = ThumbForm::kLoadStoreHalf;
            insn.format = 10;
            insn.op = (h >> 11) & 1;
            insn.rd = low3;
            insn.rs = mid3;
            insn.imm = ((h >> 6) & 31) * 2;
            return insn;
        case 0x9:
            insn.form = ThumbForm::kLoadStoreSp;
            insn.format = 11;
            insn.op = (h >> 11) & 1;
            insn.rd = high3;
            insn.imm = (h & 0xFF) * 4;
            return insn;
        case 0xA:
            insn.format = 12;
            insn.rd = high3;
            insn.imm = (h & 0xFF) * 4;
            if (h & 0x800) {
                insn.form = ThumbForm::kAddSpAddress;
            } else {
                insn.form = ThumbForm::kPcAddress;
                insn.target = LiteralAddress(int64_t{offset} + 4, h);
            }
            return insn;
        case 0xB:
            if (!(h & 0x400)) {
                if ((h >> 8) == 0xB0) {
                    insn.form = ThumbForm::kAdjustSp;
                    insn.format = 13;
                    insn.op = (h >> 7) & 1;
                    insn.imm = (h & 0x7F) * 4;
                } else {
                    insn.form = ThumbForm::kError13;
                }
                return insn;
            }
            insn.format = 14;
            insn.form = (h & 0x800) ? ThumbForm::kPop : ThumbForm::kPush;
            insn.registers = h & 0x1FF;
            return insn;
        case 0xC:
            insn.form = ThumbForm::kMultiple;
            insn.format = 15;
            insn.op = (h >> 11) & 1;
            insn.rd = high3;
            insn.registers = h & 0xFF;
            return insn;
        case 0xD:
            if ((h >> 8) == 0xDF) {
                insn.form = ThumbForm::kSwi;
                insn.format = 17;
                insn.imm = h & 0xFF;
            } else {
                insn.form = ThumbForm::kConditionalBranch;
                insn.format = 16;
                insn.op = (h >> 8) & 15;
                insn.target = CondBranchTarget(int64_t{offset} + 4, h);
            }
            return insn;
        case 0xE:
            if (h & 0x800) {
                insn.form = ThumbForm::kError18;
            } else {
                insn.form = ThumbForm::kBranch;
                insn.format = 18;
                insn.target = BranchTarget(int64_t{offset} + 4, h);
            }
            return insn;
        default: {
            insn.format = 19;
            insn.form = ThumbForm::kBadCall;
            // The second half must be inside the image and be the H = 1 half.
            if ((h & 0x800) || uint64_t{offset} + 4 > doc.ImageSize()) return insn;
            const uint32_t second = doc.HalfwordAt(offset + 2);
            if (!(second & 0x800)) return insn;
            insn.form = ThumbForm::kCall;
            insn.target = BlTarget(int64_t{offset} + 4, h, second);
            return insn;
        }
    }
}

// " (name)" or " (name+xx)" for a name found at a target.
void AppendName(LineBuffer& out, const std::string& name, uint32_t distance) {
    char* p = out.Reserve(name.size() + 16);
    *p++ = ' ';
    *p++ = '(';
    p = PutText(p, name);
    if (distance != 0) {
        *p++ = '+';
        p = PutHex(p, distance, 2);
    }
    *p++ = ')';
    out.Commit(p);
}

// The suffix of a literal load: the name or string behind the word it loads.
void AppendLiteralSuffix(const CTravikDoc& doc, const ThumbInstruction& insn, LineBuffer& out) {
    const uint32_t w = insn.literal;
    if (doc.Options().viewSystemStrings && w >= systemstrings::kPointerFirst &&
        w <= systemstrings::kPointerLast) {
        char text[kSystemStringMax + 1];
        if (GetSystemString(doc, int64_t{w} - kFlashBase, text)) {
            const size_t n = std::strlen(text);
            char* p = out.Reserve(n + 8);
            p = PutLiteral(p, " ('");
            p = PutText(p, {text, n});
            p = PutLiteral(p, "')");
            out.Commit(p);
            return;
        }
    }
    if (w - doc.RamBase() < doc.RamSize()) {
        const uint32_t i = w - doc.RamBase();
        uint32_t start = 0;
        if (const std::string* name = doc.RamNames().Owner(i, start))
            AppendName(out, *name, i - start);
        return;
    }
    const int64_t t = int64_t{w} - kFlashBase;
    if (t < 0 || t > int64_t{doc.ImageSize()}) return;
    const uint32_t start = doc.ItemStart(static_cast<uint32_t>(t));
    if (start / 2 < doc.HalfwordCount()) {
        if (const std::string* header = doc.Headers().Find(start / 2)) {
            AppendName(out, *header, static_cast<uint32_t>(t) - start);
        }
    }
    if (doc.Options().viewSystemStrings) {
        char text[kPrintableStringMax + 1];
        if (GetPrintableString(doc, t, text)) {
            const size_t n = std::strlen(text);
            char* p = out.Reserve(n + 4);
            p = PutLiteral(p, " '");
            p = PutText(p, {text, n});
            *p++ = '\'';
            out.Commit(p);
        }
    }
}

[[gnu::always_inline]] inline void Format(const CTravikDoc& doc, const ThumbInstruction& insn,
                                          LineBuffer& out) {
    char* p = out.Reserve(kFixedRoom);
    switch (insn.form) {
        case ThumbForm::kShift:
            p = PutName(p, kShiftNames[insn.op]);
            *p++ = ' ';
            p = PutRegisterComma(p, insn.rd);
            p = PutRegisterComma(p, insn.rs);
            p = PutLiteral(p, "#.");
            p = PutDecimal(p, static_cast<int32_t>(insn.imm));
            break;
        case ThumbForm::kMergedAnd:
            p = PutLiteral(p, "AND ");
            p = PutRegisterComma(p, insn.rd);
            *p++ = '#';
            p = PutHex(p, insn.imm, 8);
            break;
        case ThumbForm::kMergedAnd3:
            p = PutLiteral(p, "AND ");
            p = PutRegisterComma(p, insn.rd);
            p = PutRegisterComma(p, insn.rs);
            *p++ = '#';
            p = PutHex(p, insn.imm, 8);
            break;
        case ThumbForm::kMovRegister:
            p = PutLiteral(p, "MOV ");
            p = PutRegisterComma(p, insn.rd);
            p = PutRegister(p, insn.rs);
            break;
        case ThumbForm::kAddSubImmediate:
            p = PutName(p, kAddSubNames[insn.op]);
            *p++ = ' ';
            p = PutRegisterComma(p, insn.rd);
            p = PutRegisterComma(p, insn.rs);
            *p++ = '#';
            p = PutHex(p, insn.imm, 1);
            break;
        case ThumbForm::kAddSubRegister:
            p = PutName(p, kAddSubNames[insn.op]);
            *p++ = ' ';
            p = PutRegisterComma(p, insn.rd);
            p = PutRegisterComma(p, insn.rs);
            p = PutRegister(p, insn.rn);
            break;
        case ThumbForm::kImmediate:
            p = PutName(p, kImmediateNames[insn.op]);
            *p++ = ' ';
            p = PutRegisterComma(p, insn.rd);
            *p++ = '#';
            p = PutHex(p, insn.imm, 1);
            break;
        case ThumbForm::kAlu:
            p = PutName(p, kAluNames[insn.op]);
            *p++ = ' ';
            p = PutRegisterComma(p, insn.rd);
            p = PutRegister(p, insn.rs);
            break;
        case ThumbForm::kNop:
            p = PutLiteral(p, "NOP");
            break;
        case ThumbForm::kHighRegister:
            p = PutName(p, kHighNames[insn.op]);
            *p++ = ' ';
            p = PutRegisterComma(p, insn.rd);
            p = PutRegister(p, insn.rs);
            break;
        case ThumbForm::kLoadLiteral: {
            p = PutLiteral(p, "LDR ");
            p = PutRegisterComma(p, insn.rd);
            *p++ = '#';
            p = PutHex(p, insn.literal, 8);
            out.Commit(p);
            AppendLiteralSuffix(doc, insn, out);
            return;
        }
        case ThumbForm::kLoadLiteralAbsent:
            p = PutLiteral(p, "LDR ");
            p = PutRegisterComma(p, insn.rd);
            p = PutLiteral(p, "[PC, #");
            p = PutHex(p, insn.imm, 1);
            p = PutLiteral(p, "] (");
            p = PutHex(p, static_cast<uint32_t>(insn.target), 6);
            p = PutLiteral(p, "=??]");
            break;
        case ThumbForm::kLoadStoreRegister:
        case ThumbForm::kLoadStoreSigned:
            p = PutName(p, insn.form == ThumbForm::kLoadStoreRegister
                               ? kRegisterOffsetNames[insn.op]
                               : kSignedNames[insn.op]);
            *p++ = ' ';
            p = PutRegisterComma(p, insn.rd);
            *p++ = '[';
            p = PutRegisterComma(p, insn.rs);
            p = PutRegister(p, insn.rn);
            *p++ = ']';
            break;
        case ThumbForm::kLoadStoreImmediate:
        case ThumbForm::kLoadStoreHalf:
            p = PutName(p, insn.form == ThumbForm::kLoadStoreImmediate
                               ? kImmediateOffsetNames[insn.op]
                               : kHalfNames[insn.op]);
            *p++ = ' ';
            p = PutRegisterComma(p, insn.rd);
            *p++ = '[';
            p = PutRegisterComma(p, insn.rs);
            *p++ = '#';
            p = PutHex(p, insn.imm, 1);
            *p++ = ']';
            break;
        case ThumbForm::kLoadStoreSp:
            p = PutName(p, kSpNames[insn.op]);
            *p++ = ' ';
            p = PutRegisterComma(p, insn.rd);
            p = PutLiteral(p, "[SP, #");
            p = PutHex(p, insn.imm, 1);
            *p++ = ']';
            break;
        case ThumbForm::kAddSpAddress:
            p = PutLiteral(p, "ADD  ");
            p = PutRegisterComma(p, insn.rd);
            p = PutLiteral(p, "SP, #");
            p = PutHex(p, insn.imm, 4);
            break;
        case ThumbForm::kPcAddress: {
            p = PutLiteral(p, "MOV  ");
            p = PutRegisterComma(p, insn.rd);
            *p++ = '#';
            p = PutHex(p, doc.DisplayedAddress(insn.target), 8);
            out.Commit(p);
            if (doc.Options().viewSystemStrings) {
                char text[kPrintableStringMax + 1];
                if (GetPrintableString(doc, insn.target, text)) {
                    const size_t n = std::strlen(text);
                    p = out.Reserve(n + 4);
                    p = PutLiteral(p, " '");
                    p = PutText(p, {text, n});
                    *p++ = '\'';
                    out.Commit(p);
                }
            }
            return;
        }
        case ThumbForm::kAdjustSp:
            p = PutLiteral(p, "ADD SP, #");
            if (insn.op) *p++ = '-';
            p = PutHex(p, insn.imm, 4);
            break;
        case ThumbForm::kPush:
        case ThumbForm::kPop:
            if (insn.form == ThumbForm::kPush) {
                p = PutLiteral(p, "PUSH { ");
            } else {
                p = PutLiteral(p, "POP { ");
            }
            p = PutRegisterList(p, insn.registers);
            if (insn.registers & 0x100) {
                p = PutLiteral(p, " ");
                p = PutLiteral(p, insn.form == ThumbForm::kPush ? "LR" : "PC");
            }
            p = PutLiteral(p, " }");
            break;
        case ThumbForm::kMultiple:
            p = PutName(p, kMultipleNames[insn.op]);
            *p++ = ' ';
            p = PutRegister(p, insn.rd);
            p = PutLiteral(p, "!, {");
            p = PutRegisterList(p, insn.registers);
            *p++ = '}';
            break;
        case ThumbForm::kSwi:
            p = PutLiteral(p, "SWI ");
            p = PutDecimal(p, static_cast<int32_t>(insn.imm));
            break;
        case ThumbForm::kConditionalBranch:
            p = PutName(p, kConditionNames[insn.op]);
            *p++ = ' ';
            p = PutHex(p, doc.DisplayedAddress(insn.target), 1);
            break;
        case ThumbForm::kBranch:
            p = PutLiteral(p, "B ");
            p = PutHex(p, doc.DisplayedAddress(insn.target), 1);
            break;
        case ThumbForm::kCall: {
            p = PutLiteral(p, "BL ");
            p = PutHex(p, doc.DisplayedAddress(insn.target), 1);
            const std::string* header = nullptr;
            if (insn.target >= 0 && insn.target <= int64_t{doc.ImageSize()}) {
                header = doc.Headers().Find(static_cast<uint32_t>(insn.target / 2));
            }
            if (header == nullptr) {
                *p++ = ' ';
                break;
            }
            out.Commit(p);
            AppendName(out, *header, 0);
            return;
        }
        case ThumbForm::kBadCall:
            p = PutLiteral(p, "BL ...?");
            break;
        case ThumbForm::kError13:
            p = PutLiteral(p, "Error bit 8-11==1 instruction type 13");
            break;
        case ThumbForm::kError18:
            p = PutLiteral(p, "Error bit 12==1 instruction type 18");
            break;
    }
    out.Commit(p);
}

}  // namespace

ThumbInstruction DecodeThumb(const CTravikDoc& doc, uint32_t offset) {
    return Decode(doc, offset);
}

ThumbInstruction DecodeThumbHalfword(const CTravikDoc& doc, uint32_t offset) {
    return Decode(doc, offset, false);
}

void FormatThumbInstruction(const CTravikDoc& doc, const ThumbInstruction& insn, LineBuffer& out) {
    Format(doc, insn, out);
}

void DisassembleThumb(const CTravikDoc& doc, uint32_t offset, LineBuffer& out) {
    Format(doc, Decode(doc, offset), out);
}

std::string DisassembleThumb(const CTravikDoc& doc, uint32_t offset) {
    LineBuffer out;
    DisassembleThumb(doc, offset, out);
    return out.Str();
}

bool GetSystemString(const CTravikDoc& doc, int64_t offset, char (&out)[kSystemStringMax + 1]) {
    using namespace systemstrings;
    out[0] = '\0';
    const int64_t size = doc.ImageSize();
    if (offset < 0 || offset + 3 > size || doc.Image()[offset] != 4) return false;
    const uint32_t k = BigEndianHalf(doc.Image() + offset + 1);
    uint32_t table, count, entry;
    if (k < kFirstCount) {
        table = kFirstTable;
        count = kFirstCount;
        entry = k;
    } else {
        table = kSecondTable;
        count = kSecondCount;
        entry = k - kFirstCount;
    }
    // A number beyond its table, or a table or text that the image does not hold
    // wholly, has no text.
    if (entry >= count || int64_t{table} + count > size) return false;
    const uint8_t* lengths = doc.Image() + table;
    int64_t start = int64_t{table} + count;
    for (uint32_t i = 0; i < entry; ++i) start += lengths[i];
    const uint32_t length = lengths[entry];
    if (start + length > size) return false;
    const uint8_t* text = doc.Image() + start;
    for (uint32_t i = 0; i < length; ++i) {
        out[i] = text[i] == '\n' ? '~' : static_cast<char>(text[i]);
    }
    out[length] = '\0';
    return true;
}

namespace {
constexpr bool IsPrintable(uint8_t b) {
    return b == '\n' || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= 0x20 && b <= '9');
}
}  // namespace

bool GetPrintableString(const CTravikDoc& doc, int64_t offset,
                        char (&out)[kPrintableStringMax + 1]) {
    size_t n = 0;
    if (offset >= 0) {
        const int64_t size = doc.ImageSize();
        while (offset + static_cast<int64_t>(n) < size && n < kPrintableStringMax) {
            const uint8_t b = doc.Image()[offset + static_cast<int64_t>(n)];
            if (!IsPrintable(b)) break;
            out[n++] = b == '\n' ? '~' : static_cast<char>(b);
        }
    }
    out[n] = '\0';
    return n >= 3;
}
