#include "document/MoreAnalysis.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <vector>

#include "document/CTravikDoc.h"
#include "document/CaseTables.h"
#include "document/ItemType.h"
#include "listing/Disassembler.h"

namespace {
// What the walk learnt of a halfword.
enum : uint8_t {
    kCode = 1,    // reached by the walk
    kInsn = 2,    // an instruction starts here (reached)
    kData = 4,    // made or kept as data by this analysis
    kTarget = 8,  // a branch, case or data pointer leads here
};
constexpr int kMaxRounds = 64;
constexpr uint32_t kMaxLeafLength = 512;  // halfwords a routine found after an end may take
constexpr uint32_t kMinString = 4;

enum class Why { kPointer, kPrologue, kBranch, kAfterEnd };

const char* HeaderFor(Why why) {
    switch (why) {
        case Why::kPointer:
            return "Routine (pointer)";
        case Why::kPrologue:
            return "Routine (prologue)";
        case Why::kBranch:
            return "Routine (branch)";
        default:
            return "Routine (after end)";
    }
}

bool IsTerminal(const ThumbInstruction& insn) {
    switch (insn.form) {
        case ThumbForm::kBranch:
            return true;
        case ThumbForm::kPop:
            return (insn.registers & 0x100) != 0;
        case ThumbForm::kHighRegister:
            return insn.op == 3 || (insn.rd == 15 && insn.op != 1);  // BX, or ADD/MOV to PC
        default:
            return false;
    }
}

bool IsInvalid(const ThumbInstruction& insn) {
    return insn.form == ThumbForm::kError13 || insn.form == ThumbForm::kError18 ||
           insn.form == ThumbForm::kBadCall || insn.form == ThumbForm::kLoadLiteralAbsent ||
           (insn.form == ThumbForm::kConditionalBranch && insn.op == 14);
}

constexpr bool IsLatin1Text(uint8_t b) {
    return b == '\t' || b == '\n' || b == '\r' || (b >= 0x20 && b < 0x7F) || b >= 0xA0;
}

class MoreAnalysis {
  public:
    explicit MoreAnalysis(const CTravikDoc& doc)
        : doc_(doc),
          size_(doc.ImageSize()),
          count_(doc.HalfwordCount()),
          old_(doc.Flags()),
          flags_(old_, old_ + count_),
          seen_(count_, 0) {}

    DocEdit Run(MoreReport& report);

  private:
    uint8_t Type(uint32_t i) const { return flags_[i] & flagbits::kTypeMask; }
    bool IsItemStart(uint32_t i) const { return !(flags_[i] & flagbits::kContinuation); }
    bool IsUsers(uint32_t i) const { return (old_[i] & flagbits::kUserMark) != 0; }
    bool IsDataType(uint32_t i) const { return Type(i) >= itemtype::kData2 && Type(i) <= itemtype::kData16; }
    bool IsFreeCode(uint32_t i) const {
        return !(seen_[i] & (kCode | kData)) && Type(i) == itemtype::kThumb && IsItemStart(i) && !IsUsers(i);
    }
    // A zero or NOP (MOV R8, R8) halfword that aligns what follows.
    bool IsPadding(uint32_t i) const {
        const uint16_t h = doc_.HalfwordAt(2 * i);
        return h == 0 || h == 0x46C0;
    }
    bool IsRoutineStart(uint32_t i) const { return (flags_[i] & flagbits::kRoutineStart) != 0; }

    void Walk();
    void WalkFrom(uint32_t o);
    bool TakeBackData(uint32_t i);
    bool MakeData(uint32_t first, uint32_t bytes, uint32_t itemBytes);
    bool AddRoutine(uint32_t offset, Why why);
    bool FollowPointers();
    bool FollowJumpTables();
    bool FindPrologues(bool afterEndToo);
    bool FindTailBranches();
    bool FindStrings();
    void MarkPadding();
    bool FollowsEnd(uint32_t i) const;
    bool LooksLikeRoutine(uint32_t i) const;
    DocEdit MakeEdit() const;

    const CTravikDoc& doc_;
    const uint32_t size_;
    const uint32_t count_;
    const uint8_t* old_;
    std::vector<uint8_t> flags_;  // as the edit leaves them
    std::vector<uint8_t> seen_;
    std::vector<uint32_t> work_;  // offsets to walk from
    std::vector<std::pair<uint32_t, uint32_t>> branches_;  // unconditional B reached: at, to
    std::vector<std::pair<uint32_t, const char*>> headers_;
    std::vector<std::pair<uint32_t, uint32_t>> loads_;  // literal loads reached: at, word
    std::vector<uint32_t> computedJumps_;                 // MOV PC, Rn and ADD PC, Rn reached
    std::unordered_map<uint32_t, std::optional<CaseHelper>> helpers_;
    MoreReport report_;
};

void MoreAnalysis::Walk() {
    while (!work_.empty()) {
        const uint32_t o = work_.back();
        work_.pop_back();
        WalkFrom(o);
    }
}

void MoreAnalysis::WalkFrom(uint32_t o) {
    for (; o % 2 == 0 && uint64_t{o} + 2 <= size_; o += 2) {
        const uint32_t i = o / 2;
        if ((seen_[i] & (kCode | kData)) || !IsItemStart(i)) return;
        if (Type(i) != itemtype::kThumb && !TakeBackData(i)) return;
        const ThumbInstruction insn = DecodeThumb(doc_, o);
        if (IsInvalid(insn)) return;
        seen_[i] |= kCode | kInsn;
        if ((insn.form == ThumbForm::kMergedAnd || insn.form == ThumbForm::kMergedAnd3) && i + 1 < count_) {
            seen_[i + 1] |= kCode;  // the second shift of the pair
            o += 2;
            continue;
        }
        const int64_t t = insn.target;
        const bool inImage = t >= 0 && t + 2 <= int64_t{size_};
        switch (insn.form) {
            case ThumbForm::kCall: {
                if (i + 1 < count_) {
                    seen_[i + 1] |= kCode;
                    if (!IsUsers(i + 1) && flags_[i + 1] == itemtype::kThumb)
                        flags_[i + 1] |= flagbits::kContinuation;
                }
                if (!inImage) return;
                const uint32_t callee = static_cast<uint32_t>(t);
                work_.push_back(callee);
                auto [it, added] = helpers_.try_emplace(callee);
                if (added) it->second = RecogniseCaseHelper(doc_, callee);
                if (it->second) {
                    // The case table follows the call: the code goes on at its cases.
                    const CaseTable table = ReadCaseTable(doc_, o, *it->second);
                    MakeData(table.first, table.bytes, it->second->entryBytes == 4 ? 4 : 2);
                    for (uint32_t c : table.targets) {
                        seen_[c / 2] |= kTarget;
                        work_.push_back(c);
                    }
                    return;
                }
                o += 2;
                break;
            }
            case ThumbForm::kConditionalBranch:
                if (inImage) {
                    seen_[t / 2] |= kTarget;
                    work_.push_back(static_cast<uint32_t>(t));
                }
                break;
            case ThumbForm::kLoadLiteral:
                if (t % 4 == 0) MakeData(static_cast<uint32_t>(t), 4, 4);
                loads_.emplace_back(o, insn.literal);
                break;
            default:
                if (!IsTerminal(insn)) break;
                if (insn.form == ThumbForm::kHighRegister && insn.rd == 15 && insn.rs != 14)
                    computedJumps_.push_back(o);
                if (insn.form == ThumbForm::kBranch && inImage) {
                    seen_[t / 2] |= kTarget;
                    work_.push_back(static_cast<uint32_t>(t));
                    branches_.emplace_back(o, static_cast<uint32_t>(t));
                }
                return;
        }
    }
}

// Code runs into a data item the open made from what only looked like a literal load:
// it becomes THUMB code again, unless it is the user's.
bool MoreAnalysis::TakeBackData(uint32_t i) {
    if (!IsDataType(i) || IsUsers(i)) return false;
    uint32_t k = i;
    do {
        if (IsUsers(k)) return false;
        ++k;
    } while (k < count_ && (flags_[k] & flagbits::kContinuation));
    for (uint32_t j = i; j < k; ++j)
        flags_[j] = itemtype::kThumb | (flags_[j] & (flagbits::kRoutineStart | flagbits::kRoutineEnd));
    return true;
}

// Makes the bytes first.. (even, whole halfwords) data items of `itemBytes` each (the
// last one as long as what is left allows), unless a halfword there is code the walk
// reached or carries the user mark.
bool MoreAnalysis::MakeData(uint32_t first, uint32_t bytes, uint32_t itemBytes) {
    const uint32_t begin = first / 2;
    const uint32_t end = static_cast<uint32_t>(std::min<uint64_t>((uint64_t{first} + bytes) / 2, count_));
    if (first % 2 != 0 || begin >= end) return false;
    for (uint32_t i = begin; i < end; ++i) {
        if ((seen_[i] & kCode) || IsUsers(i)) return false;
    }
    auto at = [&](uint32_t k) -> uint8_t& { return flags_[k]; };
    bool changed = false;
    for (uint32_t i = begin; i < end;) {
        uint32_t n = std::min(itemBytes, 2 * (end - i));
        if (n > 4 && n != 8 && n != 12 && n != 16) n = n > 12 ? 12 : n > 8 ? 8 : 4;
        const uint8_t type = n == 2 ? itemtype::kData2 : n == 4 ? itemtype::kData4 : n == 8 ? itemtype::kData8
                             : n == 12 ? itemtype::kData12 : itemtype::kData16;
        const bool same = flags_[i] == type && (n == 2 || flags_[i + 1] == (type | flagbits::kContinuation));
        if (!same) {
            // The leftover of a longer item may reach past `end`: it must not be the user's.
            uint32_t k = i + n / 2;
            while (k < count_ && (flags_[k] & flagbits::kContinuation)) {
                if (IsUsers(k)) return changed;
                ++k;
            }
            RetypeItem(at, i, count_, n / 2 - 1, type, 0);
            ++report_.dataItems;
            changed = true;
        }
        for (uint32_t k = i; k < i + n / 2; ++k) seen_[k] |= kData;
        i += n / 2;
    }
    return changed;
}

bool MoreAnalysis::AddRoutine(uint32_t offset, Why why) {
    const uint32_t i = offset / 2;
    if (offset % 2 != 0 || i >= count_ || Type(i) != itemtype::kThumb || !IsItemStart(i) ||
        (seen_[i] & kData) || ((seen_[i] & kCode) && !(seen_[i] & kInsn)))
        return false;
    work_.push_back(offset);
    if (IsRoutineStart(i) || IsUsers(i)) return false;
    flags_[i] |= flagbits::kRoutineStart;
    if (doc_.Headers().Find(i) == nullptr) headers_.emplace_back(i, HeaderFor(why));
    switch (why) {
        case Why::kPointer: ++report_.pointerRoutines; break;
        case Why::kPrologue: ++report_.prologueRoutines; break;
        case Why::kBranch: ++report_.branchRoutines; break;
        case Why::kAfterEnd: ++report_.afterEndRoutines; break;
    }
    return true;
}

// Words that point into the flash: in data, an odd one starts a routine and an even one
// marks its target; outside the code, two or more in a row are a table of them.
bool MoreAnalysis::FollowPointers() {
    bool changed = false;
    const uint8_t* image = doc_.Image();
    auto pointer = [&](uint32_t o) -> int64_t {
        const uint32_t w = BigEndianWord(image + o);
        return w - kFlashBase < size_ ? int64_t{w - kFlashBase} : -1;
    };
    for (uint32_t o = 0; uint64_t{o} + 4 <= size_; o += 4) {
        const uint32_t i = o / 2;
        if ((seen_[i] | seen_[i + 1]) & kCode) continue;
        const bool known = (seen_[i] & kData) || (IsDataType(i) && IsItemStart(i) && !IsRoutineStart(i));
        int64_t v = pointer(o);
        if (v < 0) continue;
        if (!known) {
            uint32_t run = o;
            while (uint64_t{run} + 4 <= size_ && !((seen_[run / 2] | seen_[run / 2 + 1]) & kCode) &&
                   pointer(run) >= 0)
                run += 4;
            if (run - o < 8) continue;
            changed |= MakeData(o, run - o, 4);
            if (!(seen_[i] & kData)) continue;
        }
        if (v % 2 != 0)
            changed |= AddRoutine(static_cast<uint32_t>(v - 1), Why::kPointer);
        else
            seen_[v / 2] |= kTarget;
    }
    return changed;
}

// A table of even code addresses whose address the code loads, with a jump through a
// register between the load and the table: its entries are places in that code.
bool MoreAnalysis::FollowJumpTables() {
    std::sort(computedJumps_.begin(), computedJumps_.end());
    bool changed = false;
    for (auto [at, word] : loads_) {
        const uint32_t table = word - kFlashBase;
        if (table >= size_ || table % 4 != 0 || !(seen_[table / 2] & kData)) continue;
        auto jump = std::upper_bound(computedJumps_.begin(), computedJumps_.end(), at);
        if (jump == computedJumps_.end() || *jump >= table) continue;
        for (uint32_t o = table; uint64_t{o} + 4 <= size_ && (seen_[o / 2] & kData); o += 4) {
            const uint32_t target = doc_.WordAt(o) - kFlashBase;
            if (target >= table || target % 2 != 0) break;
            seen_[target / 2] |= kTarget;
            if (!(seen_[target / 2] & kCode)) {
                work_.push_back(target);
                changed = true;
            }
        }
    }
    loads_.clear();  // each load is looked at once
    return changed;
}

// The halfword at index i follows the end of a routine: a return, an unconditional
// branch or data, with at most one halfword of padding between.
bool MoreAnalysis::FollowsEnd(uint32_t i) const {
    if (i == 0) return false;
    uint32_t j = i - 1;
    if (IsPadding(j) && !(seen_[j] & kCode) && j > 0) --j;
    if ((seen_[j] & kData) || (IsDataType(j) && !(seen_[j] & kCode))) return true;
    if (seen_[j] & kInsn) return IsTerminal(DecodeThumb(doc_, 2 * j));
    return false;
}

// Straight-line code from i reaches a routine's end before anything that cannot be code.
bool MoreAnalysis::LooksLikeRoutine(uint32_t i) const {
    for (uint32_t k = i; k < count_ && k - i < kMaxLeafLength; ++k) {
        if (!IsFreeCode(k) && !(k > i && (flags_[k] & flagbits::kContinuation))) return false;
        if (flags_[k] & flagbits::kContinuation) continue;
        const ThumbInstruction insn = DecodeThumb(doc_, 2 * k);
        if (IsInvalid(insn)) return false;
        if (IsTerminal(insn)) return true;
        if (insn.form == ThumbForm::kCall) ++k;
    }
    return false;
}

bool MoreAnalysis::FindPrologues(bool afterEndToo) {
    bool changed = false;
    const uint8_t* image = doc_.Image();
    for (uint32_t i = 1; i < count_; ++i) {
        if (!IsFreeCode(i) || IsPadding(i) || !FollowsEnd(i)) continue;
        if (image[2 * i] == 0xB5)
            changed |= AddRoutine(2 * i, Why::kPrologue);
        else if (afterEndToo && !(seen_[i] & kTarget) && LooksLikeRoutine(i))
            changed |= AddRoutine(2 * i, Why::kAfterEnd);
        if (changed) Walk();  // what it reaches is no longer free
    }
    return changed;
}

// A branch at the image's start leads to its start-up routine, and a branch that goes
// back past the start of a routine leaves it for another.
bool MoreAnalysis::FindTailBranches() {
    std::vector<uint32_t> starts;
    for (uint32_t i = 0; i < count_; ++i)
        if (IsRoutineStart(i)) starts.push_back(2 * i);
    bool changed = false;
    for (auto [at, to] : branches_) {
        bool leaves = at == 0;
        if (to < at) {
            auto s = std::upper_bound(starts.begin(), starts.end(), to);
            leaves = s != starts.end() && *s <= at;
        }
        if (leaves) changed |= AddRoutine(to, Why::kBranch);
    }
    return changed;
}

// Runs of four or more Latin-1 characters with a terminating zero outside the code.
bool MoreAnalysis::FindStrings() {
    bool changed = false;
    const uint8_t* image = doc_.Image();
    auto free = [&](uint32_t o) {
        const uint32_t i = o / 2;
        return !(seen_[i] & (kCode | kData)) && !IsUsers(i) && !IsRoutineStart(i);
    };
    for (uint32_t o = 0; o < size_;) {
        uint32_t e = o;
        while (e < size_ && IsLatin1Text(image[e]) && free(e)) ++e;
        if (e < size_ && image[e] == 0 && e - o >= kMinString && free(e)) {
            uint32_t first = o & ~1u;
            if (!free(first)) first += 2;
            uint32_t end = e + 1;
            while (end < size_ && end % 4 != 0 && image[end] == 0 && free(end)) ++end;
            end = std::min<uint32_t>((end + 1) & ~1u, 2 * count_);
            if (end > first) changed |= MakeData(first, end - first, 16);
            o = end;
        } else {
            o = e + 1;
        }
    }
    return changed;
}

// A zero halfword between the end of a routine and data is the data's padding.
void MoreAnalysis::MarkPadding() {
    for (uint32_t i = 1; i + 1 < count_; ++i) {
        if (IsFreeCode(i) && doc_.HalfwordAt(2 * i) == 0 && (seen_[i - 1] & kInsn) &&
            IsTerminal(DecodeThumb(doc_, 2 * (i - 1))) && (seen_[i + 1] & kData))
            MakeData(2 * i, 2, 2);
    }
}

DocEdit MoreAnalysis::Run(MoreReport& report) {
    // The routines known so far, the calls and the branches.
    for (uint32_t i = 0; i < count_; ++i) {
        if (IsRoutineStart(i) && Type(i) == itemtype::kThumb && IsItemStart(i)) work_.push_back(2 * i);
        const uint8_t kind = doc_.JumpKind(i);
        if (kind != jumpkind::kCall && kind != jumpkind::kBranch) continue;
        const uint32_t t = doc_.JumpTarget(i);
        if (t / 2 >= count_) continue;
        if (kind == jumpkind::kCall)
            work_.push_back(t);
        else
            seen_[t / 2] |= kTarget;
    }
    Walk();
    // Each round takes the surest findings first; the weaker ones only when those are done.
    for (int round = 0; round < kMaxRounds; ++round) {
        bool changed = FollowPointers();
        changed |= FollowJumpTables();
        Walk();
        changed |= FindPrologues(false);
        changed |= FindTailBranches();
        Walk();
        if (changed) continue;
        if (FindStrings()) continue;
        if (!FindPrologues(true)) break;
        Walk();
    }
    MarkPadding();
    report = report_;
    return MakeEdit();
}

DocEdit MoreAnalysis::MakeEdit() const {
    DocEdit edit;
    // The changed flag bytes in runs; short stretches of unchanged ones are taken along.
    constexpr uint32_t kGap = 16;
    for (uint32_t i = 0; i < count_;) {
        if (flags_[i] == old_[i]) {
            ++i;
            continue;
        }
        uint32_t end = i + 1, last = i + 1;
        while (end < count_ && end - last < kGap) {
            if (flags_[end] != old_[end]) last = end + 1;
            ++end;
        }
        edit.SetFlags(i, std::vector<uint8_t>(flags_.begin() + i, flags_.begin() + last));
        i = last;
    }
    auto headers = headers_;
    std::sort(headers.begin(), headers.end());
    for (const auto& [i, text] : headers) edit.SetText(DocEdit::TextKind::kHeader, 2 * i, text);
    if (!edit.parts.empty()) edit.after = DocEdit::kModified | DocEdit::kJumpList | DocEdit::kUpdateViews;
    return edit;
}
}  // namespace

DocEdit MoreRoutinesEdit(const CTravikDoc& doc, MoreReport& report) {
    report = {};
    if (doc.HalfwordCount() == 0) return {};
    return MoreAnalysis(doc).Run(report);
}

MoreReport FindMoreRoutines(CTravikDoc& doc) {
    MoreReport report;
    const DocEdit edit = MoreRoutinesEdit(doc, report);
    if (!edit.parts.empty()) doc.Apply(edit, kFindMoreRoutinesLabel, 0);
    return report;
}
