#include "document/CaseTables.h"

#include "document/CTravikDoc.h"
#include "listing/Disassembler.h"

namespace {
constexpr uint8_t kLr = 14;
constexpr uint8_t kPc = 15;
constexpr int kHelperLength = 16;  // instructions looked at
constexpr int kGuardDistance = 4;  // instructions before the call searched for the CMP
constexpr uint32_t kMaxCases = 1024;

// High-register operations (ADD, CMP, MOV, BX) and the immediate ones (MOV, CMP, ...).
enum : uint8_t { kHighAdd = 0, kHighMov = 2, kHighBx = 3 };
constexpr uint8_t kImmediateCmp = 1;

bool IsBit(uint32_t set, uint8_t reg) { return reg < 8 && (set >> reg) & 1; }

// The table entry a register-offset load reads, when `insn` is one.
std::optional<CaseHelper> TableLoad(const ThumbInstruction& insn) {
    if (insn.form == ThumbForm::kLoadStoreRegister && insn.op >= 2)
        return CaseHelper{static_cast<uint8_t>(insn.op == 2 ? 4 : 1), false};  // LDR, LDRB
    if (insn.form == ThumbForm::kLoadStoreSigned && insn.op >= 1)  // LDSB, LDRH, LDSH
        return CaseHelper{static_cast<uint8_t>(insn.op == 1 ? 1 : 2), insn.op != 2};
    return std::nullopt;
}

// Whether one of the halfwords the helper is looked for in is a MOV Rd, LR to a low
// register: without one no value is made from LR.
bool CopiesLr(const CTravikDoc& doc, uint32_t offset) {
    for (int k = 0; k < kHelperLength && uint64_t{offset} + 2 <= doc.ImageSize(); ++k, offset += 2) {
        if ((doc.HalfwordAt(offset) & 0xFFF8) == 0x4670) return true;
    }
    return false;
}
}  // namespace

std::optional<CaseHelper> RecogniseCaseHelper(const CTravikDoc& doc, uint32_t offset) {
    if (!CopiesLr(doc, offset)) return std::nullopt;
    // Follows the low registers that hold a value made from LR: the table is read through
    // one of them, then LR is changed, then the routine returns through LR.
    uint32_t fromLr = 0;
    std::optional<CaseHelper> load;
    bool lrMoved = false;
    for (int k = 0; k < kHelperLength && uint64_t{offset} + 2 <= doc.ImageSize(); ++k, offset += 2) {
        const ThumbInstruction insn = DecodeThumb(doc, offset);
        switch (insn.form) {
            case ThumbForm::kHighRegister:
                if (insn.op == kHighMov && insn.rs == kLr && insn.rd < 8) fromLr |= 1u << insn.rd;
                if ((insn.op == kHighAdd || insn.op == kHighMov) && insn.rd == kLr) lrMoved = !!load;
                if ((insn.op == kHighBx && insn.rs == kLr) ||
                    (insn.op == kHighMov && insn.rd == kPc && insn.rs == kLr))
                    return load && lrMoved ? load : std::nullopt;
                if (insn.op == kHighBx || insn.rd == kPc) return std::nullopt;
                break;
            case ThumbForm::kShift:
            case ThumbForm::kMovRegister:
            case ThumbForm::kAddSubImmediate:
                fromLr = IsBit(fromLr, insn.rs) ? fromLr | 1u << insn.rd : fromLr & ~(1u << insn.rd);
                break;
            case ThumbForm::kLoadStoreRegister:
            case ThumbForm::kLoadStoreSigned:
                if (auto entry = TableLoad(insn); entry && (IsBit(fromLr, insn.rs) || IsBit(fromLr, insn.rn)))
                    load = entry;
                break;
            case ThumbForm::kPush:
            case ThumbForm::kImmediate:
            case ThumbForm::kAlu:
            case ThumbForm::kAddSubRegister:
            case ThumbForm::kNop:
                break;
            case ThumbForm::kPop:
                if (insn.registers & 0x100) return std::nullopt;
                break;
            default:  // branches, calls and anything else: no helper of this kind
                return std::nullopt;
        }
    }
    return std::nullopt;
}

CaseTable ReadCaseTable(const CTravikDoc& doc, uint32_t call, const CaseHelper& helper) {
    const uint64_t size = doc.ImageSize();
    const uint64_t after = uint64_t{call} + 4;  // where the call returns to
    const uint64_t first = helper.entryBytes == 4 ? (after + 3) & ~uint64_t{3} : after;
    uint32_t limit = kMaxCases;
    for (int k = 1; k <= kGuardDistance && call >= 2u * k; ++k) {
        const ThumbInstruction insn = DecodeThumb(doc, call - 2 * k);
        if (insn.form == ThumbForm::kImmediate && insn.op == kImmediateCmp) {
            limit = insn.imm + 1;
            break;
        }
    }
    CaseTable table;
    table.first = static_cast<uint32_t>(after);  // with the padding before a word table
    uint64_t end = first;     // of the entries read
    uint64_t nearest = size;  // the nearest case after the table
    const uint8_t* image = doc.Image();
    for (uint32_t k = 0; k < limit; ++k) {
        const uint64_t at = first + uint64_t{k} * helper.entryBytes;
        if (at + helper.entryBytes > nearest) break;
        int64_t entry = 0;
        switch (helper.entryBytes) {
            case 1:
                entry = helper.isSigned ? static_cast<int8_t>(image[at]) : image[at];
                break;
            case 2: {
                const uint16_t h = BigEndianHalf(image + at);
                entry = helper.isSigned ? static_cast<int16_t>(h) : h;
                break;
            }
            default:
                entry = static_cast<int32_t>(BigEndianWord(image + at));
                break;
        }
        const int64_t target = helper.entryBytes == 4 ? (static_cast<int64_t>(first) + entry) & ~int64_t{1}
                                                      : static_cast<int64_t>(after) + 2 * entry;
        // A case inside the table or outside the image ends it.
        if (target < 0 || uint64_t(target) + 2 > size ||
            (uint64_t(target) >= first && uint64_t(target) < at + helper.entryBytes))
            break;
        if (uint64_t(target) > first && uint64_t(target) < nearest) nearest = uint64_t(target);
        table.targets.push_back(static_cast<uint32_t>(target));
        end = at + helper.entryBytes;
    }
    if (!table.targets.empty()) table.bytes = static_cast<uint32_t>(((end - after) + 1) & ~uint64_t{1});
    return table;
}
