#include "document/MoreAnalysis.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <string>

#include "document/ItemType.h"
#include "document/MorePass.h"
#include "shell/FrameServices.h"

namespace more {
namespace {
constexpr int kMaxRounds = 64;
constexpr uint32_t kMaxLeafLength = 512;  // halfwords a routine found after an end may take
constexpr size_t kAhead = 16;  // items of a list looked at before their turn
constexpr size_t kNear = 4;    // the same, for what is looked at once the first has come

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

// High bytes of instructions the walk only steps over: no branch, call, literal load,
// return or undefined encoding can have them (shifts, which may start a merged pair,
// are told apart by the next halfword).
constexpr std::array<bool, 256> MakePlain() {
    std::array<bool, 256> plain{};
    for (int b = 0x10; b <= 0x43; ++b) plain[b] = true;  // shifts, ADD/SUB, immediates, ALU
    for (int b = 0x50; b <= 0xB0; ++b) plain[b] = true;  // loads and stores, addresses, ADD SP
    for (int b : {0xB4, 0xB5, 0xBC, 0xDF}) plain[b] = true;  // PUSH, POP without PC, SWI
    for (int b = 0xC0; b <= 0xCF; ++b) plain[b] = true;  // LDMIA, STMIA
    return plain;
}
constexpr std::array<bool, 256> kPlain = MakePlain();

// High bytes of the instructions that neither end nor stop straight-line code: the
// plain ones, shifts (merged or not) and conditional branches.
constexpr std::array<uint8_t, 256> MakeGoesOn() {
    std::array<uint8_t, 256> on{};
    for (int b = 0; b < 256; ++b) on[b] = kPlain[b] || b < 0x10 || (b >= 0xD0 && b <= 0xDD);
    return on;
}
constexpr std::array<uint8_t, 256> kGoesOn = MakeGoesOn();

// Of eight halfwords, the ones that start a routine and the calls: the top bit of each
// one's byte.
struct Marks {
    uint64_t starts, calls;
};
Marks StartsOrCalls(const uint8_t* codes, const uint8_t* flags) {
    constexpr uint64_t kTops = 0x8080808080808080u;
    uint64_t c, f;
    std::memcpy(&c, codes, sizeof c);
    std::memcpy(&f, flags, sizeof f);
    return {~EqualBytes(f & 0x0101010101010101u * flagbits::kRoutineStart, 0) & kTops,
            EqualBytes(c, CTravikDoc::kJumpCall)};
}

// Sorts in place, repeats kept.
void RadixSort(std::vector<uint64_t>& v) {
    constexpr int kDigit = 11;
    uint64_t top = 0;
    for (uint64_t x : v) top |= x;
    std::vector<uint64_t> other(v.size());
    for (int shift = 0; shift < 64 && (top >> shift) != 0; shift += kDigit) {
        std::array<uint32_t, (1u << kDigit) + 1> start{};
        for (uint64_t x : v) ++start[((x >> shift) & ((1u << kDigit) - 1)) + 1];
        for (size_t d = 1; d < start.size(); ++d) start[d] += start[d - 1];
        for (uint64_t x : v) other[start[(x >> shift) & ((1u << kDigit) - 1)]++] = x;
        v.swap(other);
    }
}

template <typename T>
PageBuffer<T> Zeroed(size_t count) {
    PageBuffer<T> buffer;
    if (!buffer.Allocate(count)) throw std::bad_alloc();
    return buffer;
}

bool IsInvalid(const ThumbInstruction& insn) {
    return insn.form == ThumbForm::kError13 || insn.form == ThumbForm::kError18 ||
           insn.form == ThumbForm::kBadCall || insn.form == ThumbForm::kLoadLiteralAbsent ||
           (insn.form == ThumbForm::kConditionalBranch && insn.op == 14);
}
}  // namespace

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

bool IsTerminalHalfword(uint32_t h) {
    if ((h & 0xF800) == 0xE000 || (h & 0xFD00) == 0xBD00) return true;  // B, POP {..., PC}
    if ((h & 0xFC00) != 0x4400) return false;
    const uint32_t op = (h >> 8) & 3, rd = (h & 7) | ((h >> 4) & 8), rs = (h >> 3) & 15;
    if (op == 2 && rd == rs) return false;  // MOV of a register to itself: a NOP
    return op == 3 || (rd == 15 && op != 1);
}

Pass::Pass(const CTravikDoc& doc)
    : doc_(doc),
      size_(doc.ImageSize()),
      count_(doc.HalfwordCount()),
      old_(doc.Flags()),
      flags_(Zeroed<uint8_t>(count_)),
      seen_(Zeroed<uint8_t>(count_)),
      entered_(Zeroed<uint64_t>(count_ / 64 + 1)),
      // On another thread when one can be had; else when first asked for.
      movesSoon_(std::async(kBeside, FindHelperMoves, doc.Image(), count_)) {
    std::memcpy(flags_.data(), old_, count_);
}

// The routines known so far and the callees (the branches' targets are the image scan's).
void Pass::Seed() {
    const uint8_t* const codes = doc_.JumpCodes();
    const uint8_t* const flags = flags_.data();
    const uint8_t* const image = doc_.Image();
    const uint32_t count = count_;
    // The targets as the document has them, read here without its switch, walked from in
    // index order.
    auto start = [&](uint32_t i) {
        if ((flags[i] & (flagbits::kContinuation | flagbits::kTypeMask)) == itemtype::kThumb)
            work_.push_back(2 * i);
    };
    auto call = [&](uint32_t i) {
        const uint32_t o = 2 * i;
        const uint32_t t = BlTarget(o + 4, BigEndianHalf(image + o), BigEndianHalf(image + o + 2));
        if (t / 2 < count) work_.push_back(t);
    };
    // Only the halfwords that matter, sixty-four at a time: a bit for each.
    uint32_t i = 0;
    for (; i + 64 <= count; i += 64) {
        uint64_t starts = 0, calls = 0;
        for (uint32_t j = 0; j < 64; j += 8) {
            const Marks m = StartsOrCalls(codes + i + j, flags + i + j);
            starts |= ByteBits(m.starts) << j;
            calls |= ByteBits(m.calls) << j;
        }
        for (uint64_t w = starts | calls; w != 0; w &= w - 1) {
            const uint32_t k = i + static_cast<uint32_t>(std::countr_zero(w));
            const uint64_t bit = w & -w;
            if (starts & bit) start(k);
            if (calls & bit) call(k);
        }
    }
    for (; i < count; ++i) {
        if (flags[i] & flagbits::kRoutineStart) start(i);
        if (codes[i] == CTravikDoc::kJumpCall) call(i);
    }
}

void Pass::Walk() {
    while (!work_.empty()) {
        // What a place further down the list reads, asked for before its turn (the places
        // seeded from the calls lie all over the image): first whether it was walked, and
        // nearer its turn what the walk reads there, where it was not.
        if (work_.size() > kAhead)
            __builtin_prefetch(entered_.data() + work_[work_.size() - kAhead] / 128);
        if (work_.size() > kNear) {
            const uint32_t near = work_[work_.size() - kNear] / 2;
            if (!Entered(near)) Prefetch(near);
        }
        const uint32_t o = work_.back();
        work_.pop_back();
        if (Entered(o / 2)) continue;  // the walk from there would stop at once
        WalkFrom(o);
        if (o % 2 == 0 && o / 2 < count_ && (seen_[o / 2] & kCode))
            MarkEntered(o / 2);
    }
}

void Pass::WalkFrom(uint32_t o) {
    // Held here: the compiler would read them again after each byte written.
    uint8_t* const seen = seen_.data();
    const uint8_t* const flags = flags_.data();
    const uint8_t* const image = doc_.Image();
    const uint32_t size = size_, count = count_;
    for (; o % 2 == 0 && uint64_t{o} + 2 <= size; o += 2) {
        const uint32_t i = o / 2;
        if ((seen[i] & (kCode | kData)) || (flags[i] & flagbits::kContinuation)) return;
        if ((flags[i] & flagbits::kTypeMask) != itemtype::kThumb && !TakeBackData(i)) return;
        const uint8_t b0 = image[o];
        if (kPlain[b0] ||
            (b0 < 0x10 && (i + 1 == count || !(flags[i + 1] & flagbits::kContinuation)))) {
            seen[i] |= kCode | kInsn;
            continue;
        }
        if ((b0 & 0xF8) == 0x48) {  // LDR Rd, [PC, #n]: its literal is data
            const int64_t t = LiteralAddress(int64_t{o} + 4, BigEndianHalf(image + o));
            if (t + 4 > int64_t{size}) return;  // no literal: not code
            seen[i] |= kCode | kInsn;
            MakeData(static_cast<uint32_t>(t), 4, 4);
            loads_.emplace_back(o, BigEndianWord(image + t));
            continue;
        }
        if (b0 >= 0xD0 && b0 <= 0xDD) {  // a conditional branch (DE is undefined, DF a SWI)
            seen[i] |= kCode | kInsn;
            const int64_t t = CondBranchTarget(int64_t{o} + 4, BigEndianHalf(image + o));
            if (t >= 0 && t + 2 <= int64_t{size}) {
                seen[t / 2] |= kTarget;
                Visit(static_cast<uint32_t>(t));
            }
            continue;
        }
        if (b0 >= 0xE0) {  // B, BL and the undefined encodings beside them
            const uint32_t h = BigEndianHalf(image + o);
            if (h < 0xE800) {
                seen[i] |= kCode | kInsn;
                AfterEnd(i);
                const int64_t t = BranchTarget(int64_t{o} + 4, h);
                if (t >= 0 && t + 2 <= int64_t{size}) WalkBranch(o, static_cast<uint32_t>(t));
                return;
            }
            if (h < 0xF000 || h >= 0xF800 || uint64_t{o} + 4 > size ||
                !(BigEndianHalf(image + o + 2) & 0x800))
                return;
            seen[i] |= kCode | kInsn;
            if (!WalkCall(o, BlTarget(int64_t{o} + 4, h, BigEndianHalf(image + o + 2)))) return;
            o += 2;
            continue;
        }
        const ThumbInstruction insn = DecodeThumb(doc_, o);
        if (IsInvalid(insn)) return;
        seen[i] |= kCode | kInsn;
        if ((insn.form == ThumbForm::kMergedAnd || insn.form == ThumbForm::kMergedAnd3) &&
            i + 1 < count) {
            seen[i + 1] |= kCode;  // the second shift of the pair
            o += 2;
            continue;
        }
        if (IsTerminal(insn)) {
            AfterEnd(i);
            if (insn.form == ThumbForm::kHighRegister && insn.rd == 15 && insn.rs != 14)
                computedJumps_.push_back(o);
            return;
        }
    }
}

void Pass::WalkBranch(uint32_t o, uint32_t t) {
    seen_[t / 2] |= kTarget;
    Visit(t);
    if (o == 0 || t < o) {  // a branch that does not go back never leaves its routine
        branches_.emplace_back(o, t);
        if (LeavesRoutine(o, t)) AddRoutine(t, Why::kBranch);
    }
}

bool Pass::WalkCall(uint32_t o, int64_t t) {
    const uint32_t i = o / 2;
    if (i + 1 < count_) {
        seen_[i + 1] |= kCode;
        if (flags_[i + 1] == itemtype::kThumb)  // so without the user mark
            flags_[i + 1] |= flagbits::kContinuation;
    }
    if (t < 0 || t + 2 > int64_t{size_}) return false;
    const uint32_t callee = static_cast<uint32_t>(t);
    // Most calls go to routines walked before: a bit per halfword tells them without a
    // look at the walk's byte, which is seldom in the cache.
    if (!Entered(callee / 2)) {
        work_.push_back(callee);
        Prefetch(callee / 2);
    }
    if (const std::optional<CaseHelper> helper = Helper(callee)) {
        // The case table follows the call: the code goes on at its cases.
        const CaseTable table = ReadCaseTable(doc_, o, *helper);
        MakeData(table.first, table.bytes, helper->entryBytes == 4 ? 4 : 2);
        for (uint32_t c : table.targets) {
            seen_[c / 2] |= kTarget;
            Visit(c);
        }
        return false;
    }
    return true;
}

// Whether the routine a call leads to is a switch helper, looked at once per routine.
std::optional<CaseHelper> Pass::Helper(uint32_t offset) {
    constexpr uint8_t kUnknown = 0, kNone = 1, kHelper = 2;  // kHelper + entry bytes * 2 + signed
    if (!moves_.MayBeHelper(offset / 2)) return std::nullopt;
    // Kept beside the walk's bits: the walk from the routine reads the same byte.
    uint8_t& seen = seen_[offset / 2];
    uint8_t known = seen >> kHelperShift;
    if (known == kUnknown) {
        const std::optional<CaseHelper> helper = RecogniseCaseHelper(doc_, offset);
        known = helper ? static_cast<uint8_t>(kHelper + helper->entryBytes * 2 + helper->isSigned)
                       : kNone;
        seen = static_cast<uint8_t>((seen & ((1u << kHelperShift) - 1)) | known << kHelperShift);
    }
    if (known == kNone) return std::nullopt;
    return CaseHelper{static_cast<uint8_t>((known - kHelper) / 2), ((known - kHelper) & 1) != 0};
}

bool Pass::AddRoutine(uint32_t offset, Why why) {
    const uint32_t i = offset / 2;
    if (offset % 2 != 0 || i >= count_ || Type(i) != itemtype::kThumb || !IsItemStart(i) ||
        (seen_[i] & kData) || ((seen_[i] & kCode) && !(seen_[i] & kInsn)) || IsRoutineStart(i))
        return false;
    work_.push_back(offset);
    if (IsUsers(i)) return false;
    flags_[i] |= flagbits::kRoutineStart;
    headers_.push_back(uint64_t{i} << 2 | static_cast<uint8_t>(why));  // MakeEdit gives it
    switch (why) {
        case Why::kPointer: ++report_.pointerRoutines; break;
        case Why::kPrologue: ++report_.prologueRoutines; break;
        case Why::kBranch: ++report_.branchRoutines; break;
        case Why::kAfterEnd: ++report_.afterEndRoutines; break;
    }
    return true;
}

// The halfword at index i follows the end of a routine: a return, an unconditional
// branch or data, with at most one halfword of padding between.
bool Pass::FollowsEnd(uint32_t i) const {
    if (i == 0) return false;
    uint32_t j = i - 1;
    if (IsPadding(j) && !(seen_[j] & kCode) && j > 0) --j;
    if ((seen_[j] & kData) || (IsDataType(j) && !(seen_[j] & kCode))) return true;
    if (seen_[j] & kInsn) return IsTerminalHalfword(doc_.HalfwordAt(2 * j));
    return false;
}

// Straight-line code from i reaches a routine's end before anything that cannot be code.
// A lone branch is not taken for a routine: ARM words and data read as THUMB often are one.
bool Pass::LooksLikeRoutine(uint32_t i) const {
    constexpr uint64_t kOnes = 0x0101010101010101u, kLows = 0x7F7F7F7F7F7F7F7Fu;
    const uint32_t end =
        static_cast<uint32_t>(std::min<uint64_t>(count_, uint64_t{i} + kMaxLeafLength));
    for (uint32_t k = i; k < end; ++k) {
        // Eight halfwords at a time while each is free code that neither ends nor stops the
        // routine, or a continuation (not the first).
        while (k + 8 <= end) {
            uint64_t f, s;
            std::memcpy(&f, flags_.data() + k, sizeof f);
            std::memcpy(&s, seen_.data() + k, sizeof s);
            // Free: a zero byte of v (not taken, a THUMB item start without the user mark).
            constexpr uint8_t kItem =
                flagbits::kContinuation | flagbits::kUserMark | flagbits::kTypeMask;
            static_assert(flagbits::kContinuation == 0x80);
            const uint64_t v =
                (s & kOnes * (kCode | kData)) | ((f & kOnes * kItem) ^ kOnes * itemtype::kThumb);
            const uint64_t free = ~(((v & kLows) + kLows) | v | kLows);  // the top bit of each
            uint64_t simple = 0;
            for (int j = 0; j < 8; ++j)
                simple |= uint64_t{kGoesOn[doc_.Image()[2 * (k + j)]]} << (8 * j + 7);
            const uint64_t first = k == i ? 0x80 : 0;  // a continuation at i is not stepped over
            const uint64_t cont = f & kOnes * flagbits::kContinuation & ~first;
            const uint64_t stop = ~((free & simple) | cont) & kOnes * 0x80;
            if (stop != 0) {
                k += static_cast<uint32_t>(std::countr_zero(stop)) / 8;
                break;
            }
            k += 8;
        }
        if (k >= end) break;
        if (!IsFreeCode(k) && !(k > i && (flags_[k] & flagbits::kContinuation))) return false;
        if (flags_[k] & flagbits::kContinuation) continue;
        const uint8_t b0 = doc_.Image()[2 * k];
        if (kGoesOn[b0]) continue;
        if ((b0 & 0xF8) == 0x48) {  // LDR Rd, [PC, #n]: not code without its literal
            if (LiteralAddress(int64_t{2 * k} + 4, doc_.HalfwordAt(2 * k)) + 4 > int64_t{size_})
                return false;
            continue;
        }
        if (b0 >= 0xE0) {  // B ends it, but is no routine alone; BL goes on after its pair
            if (b0 < 0xE8) return k > i;
            if (b0 >= 0xF8 || b0 < 0xF0 || uint64_t{2 * k} + 4 > size_ ||
                !(doc_.HalfwordAt(2 * k + 2) & 0x800))
                return false;
            ++k;
            continue;
        }
        const ThumbInstruction insn = DecodeThumb(doc_, 2 * k);
        if (IsInvalid(insn) || (k == i && insn.form == ThumbForm::kBranch)) return false;
        if (IsTerminal(insn)) return true;
        if (insn.form == ThumbForm::kCall) ++k;
    }
    return false;
}

// PUSH {..., LR} after an end starts a routine; the rest waits for FindAfterEnd.
bool Pass::FindPrologues() {
    std::vector<uint32_t> look;
    look.swap(candidates_);
    endsMet_ = false;
    bool changed = false;
    for (size_t n = 0; n < look.size(); ++n) {
        if (n + kAhead < look.size()) Prefetch(look[n + kAhead]);
        const uint32_t i = look[n];
        if (i >= count_ || !IsFreeCode(i) || IsPadding(i) || !FollowsEnd(i)) continue;
        if (doc_.Image()[2 * i] == 0xB5) {
            changed |= AddRoutine(2 * i, Why::kPrologue);
            Walk();  // what it reaches is no longer free
        } else {
            deferred_.push_back(i);
        }
    }
    return changed;
}

// Sorts indices below count_ and drops repeats; many of them through a bit per index,
// in words that are all zero again afterwards.
void Pass::SortUnique(std::vector<uint32_t>& v) {
    if (v.size() < count_ / 1024) {  // few: sorted; more: the bits cost less to go through
        std::sort(v.begin(), v.end());
        v.erase(std::unique(v.begin(), v.end()), v.end());
        return;
    }
    if (sortBits_.empty()) sortBits_.assign(count_ / 64 + 1, 0);
    for (uint32_t i : v) sortBits_[i / 64] |= uint64_t{1} << (i % 64);
    v.clear();
    for (uint32_t w = 0; w < sortBits_.size(); ++w) {
        for (uint64_t b = sortBits_[w]; b != 0; b &= b - 1)
            v.push_back(64 * w + static_cast<uint32_t>(std::countr_zero(b)));
        sortBits_[w] = 0;
    }
}

// Code after an end that nothing leads to and that runs to an end of its own.
bool Pass::FindAfterEnd() {
    std::vector<uint32_t> look;
    look.swap(deferred_);
    SortUnique(look);
    bool changed = false;
    for (uint32_t i : look) {
        if (!IsFreeCode(i) || (seen_[i] & kTarget) || Facts().IsBranchTarget(i) || !FollowsEnd(i) ||
            !LooksLikeRoutine(i))
            continue;
        changed |= AddRoutine(2 * i, Why::kAfterEnd);
        Walk();
    }
    return changed;
}

// A branch at the image's start leads to its start-up routine, and a branch that goes
// back past the start of a routine leaves it for another.
bool Pass::LeavesRoutine(uint32_t at, uint32_t to) const {
    if (at == 0) return true;
    // The halfwords to / 2 + 1 .. at / 2, eight at a time: a B goes back 2 KB at most.
    uint32_t i = to / 2 + 1;
    for (; i + 8 <= at / 2 + 1; i += 8) {
        uint64_t f;
        std::memcpy(&f, flags_.data() + i, sizeof f);
        if (f & 0x0101010101010101u * flagbits::kRoutineStart) return true;
    }
    for (; i <= at / 2; ++i)
        if (IsRoutineStart(i)) return true;
    return false;
}

// The walk looks at each branch with the routines known then; this looks again at all.
bool Pass::FindTailBranches() {
    bool changed = false;
    for (size_t n = 0; n < branches_.size(); ++n) {
        if (n + kAhead < branches_.size()) Prefetch(branches_[n + kAhead].second / 2);
        const auto [at, to] = branches_[n];
        if (!IsRoutineStart(to / 2) && LeavesRoutine(at, to)) changed |= AddRoutine(to, Why::kBranch);
    }
    return changed;
}

// The sure rules, until they find nothing more.
void Pass::Settle() {
    for (int round = 0; round < kMaxRounds; ++round) {
        bool changed = FollowPointers();
        changed |= FollowJumpTables();
        Walk();
        changed |= FindPrologues();
        Walk();
        if (!changed && !endsMet_ && dataWords_.empty()) return;
    }
}

DocEdit Pass::Run(MoreReport& report) {
    Seed();
    moves_ = movesSoon_.get();
    factsSoon_ = std::async(kBeside, ScanImage, doc_.Image(), doc_.JumpCodes(), size_);
    Walk();
    SeedData();
    Settle();
    // The weaker findings, each once the sure ones are done.
    if (FindPointerTables()) Settle();
    if (FindStrings()) Settle();
    for (int round = 0; round < kMaxRounds && FindAfterEnd(); ++round) Settle();
    for (int round = 0; round < kMaxRounds && FindTailBranches(); ++round) Settle();
    MarkPadding();
    report = report_;
    return MakeEdit();
}

// The first halfword from `from` on, before `limit`, whose flags the analysis changed;
// `limit` when there is none.
uint32_t Pass::Changed(uint32_t from, uint32_t limit) const {
    for (; from + 8 <= limit; from += 8) {
        uint64_t a, b;
        std::memcpy(&a, flags_.data() + from, sizeof a);
        std::memcpy(&b, old_ + from, sizeof b);
        if (a != b) return from + static_cast<uint32_t>(std::countr_zero(a ^ b)) / 8;
    }
    while (from < limit && flags_[from] == old_[from]) ++from;
    return from;
}

DocEdit Pass::MakeEdit() const {
    DocEdit edit;
    // The headers are made beside the flag runs: the two read nothing the other writes.
    std::future<DocEdit::Texts> headers = std::async(kBeside, [this] { return HeaderPart(); });
    // The changed flag bytes in runs; short stretches of unchanged ones are taken along.
    constexpr uint32_t kGap = 64;
    for (uint32_t i = Changed(0, count_); i < count_; i = Changed(i, count_)) {
        uint32_t last = i + 1;  // past the last changed byte of the run
        for (;;) {
            const uint32_t limit = std::min(count_, last + kGap);
            const uint32_t next = Changed(last, limit);
            if (next == limit) break;
            last = next + 1;
        }
        edit.SetFlags(i, std::vector<uint8_t>(flags_.data() + i, flags_.data() + last));
        i = last;
    }
    if (DocEdit::Texts texts = headers.get(); !texts.entries.empty())
        edit.parts.emplace_back(std::move(texts));
    if (!edit.parts.empty())
        edit.after = DocEdit::kModified | DocEdit::kJumpList | DocEdit::kUpdateViews;
    return edit;
}

// Every header the halfwords have not, in index order (made whole: there may be many).
// A halfword found twice (made data and given back to code between) keeps one, the
// first of the texts in the order of their addresses: the part holds each index once.
DocEdit::Texts Pass::HeaderPart() const {
    std::array<const char*, 4> byAddress;
    for (int why = 0; why < 4; ++why) byAddress[why] = HeaderFor(static_cast<Why>(why));
    std::sort(byAddress.begin(), byAddress.end(), std::less<>());
    std::array<uint64_t, 4> rank{};
    for (int why = 0; why < 4; ++why)
        rank[why] = static_cast<uint64_t>(
            std::find(byAddress.begin(), byAddress.end(), HeaderFor(static_cast<Why>(why))) -
            byAddress.begin());
    std::vector<uint64_t> headers;
    headers.reserve(headers_.size());
    for (uint64_t h : headers_) headers.push_back((h & ~uint64_t{3}) | rank[h & 3]);
    RadixSort(headers);
    DocEdit::Texts texts{DocEdit::TextKind::kHeader, {}};
    texts.entries.reserve(headers.size());
    for (uint64_t h : headers) {
        const uint32_t i = static_cast<uint32_t>(h >> 2);
        if (doc_.Headers().Has(i) || (!texts.entries.empty() && texts.entries.back().first == i))
            continue;
        texts.entries.emplace_back(i, byAddress[h & 3]);
    }
    return texts;
}

}  // namespace more

DocEdit MoreRoutinesEdit(const CTravikDoc& doc, MoreReport& report) {
    report = {};
    if (doc.HalfwordCount() == 0) return {};
    return more::Pass(doc).Run(report);
}

MoreReport FindMoreRoutines(CTravikDoc& doc) {
    MoreReport report;
    DocEdit edit = MoreRoutinesEdit(doc, report);
    if (!edit.parts.empty()) doc.Apply(std::move(edit), kFindMoreRoutinesLabel, 0);
    return report;
}

void FindMoreRoutinesCommand(CTravikDoc& doc) {
    const MoreReport r = FindMoreRoutines(doc);
    doc.Frame().SetStatusText("Find More Routines: " + std::to_string(r.Routines()) +
                              " routines, " + std::to_string(r.dataItems) + " data items");
}
