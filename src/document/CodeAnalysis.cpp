#include "document/CodeAnalysis.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <queue>

#include "document/CTravikDoc.h"
#include "document/DocumentMessages.h"
#include "shell/Bits.h"

namespace {
constexpr uint8_t kEntryVeneer[8] = {0xE2, 0x8F, 0x00, 0x01, 0xE1, 0x2F, 0xFF, 0x10};

// What a halfword's high byte can start. The classes do not overlap, so each halfword
// matches at most one of the rules that look at its own high byte.
enum : uint8_t {
    kBlSecond = 1,    // F8-FF: second half of a BL (and the end of the ARM veneer)
    kPopPc = 2,       // BD: POP {..., PC}
    kMovHigh = 4,     // 46: MOV between high registers (MOV PC, LR is 46 F7)
    kCondBranch = 8,  // D0-DE
    kBranch = 16,     // E0-E7
    kPcLoad = 32,     // 48-4F: LDR Rd, [PC, #n]
    kShift = 64,      // 00-0F: LSL or LSR by an immediate
    kOtherRules = kBlSecond | kPopPc | kMovHigh | kPcLoad,
};

constexpr std::array<uint8_t, 256> MakeClasses() {
    std::array<uint8_t, 256> c{};
    for (int b = 0; b < 256; ++b) {
        if ((b & 0xF8) == 0xF8) c[b] = kBlSecond;
        if (b == 0xBD) c[b] = kPopPc;
        if (b == 0x46) c[b] = kMovHigh;
        if ((b & 0xF0) == 0xD0 && b != 0xDF) c[b] = kCondBranch;
        if ((b & 0xF8) == 0xE0) c[b] = kBranch;
        if ((b & 0xF8) == 0x48) c[b] = kPcLoad;
        if (b < 0x10) c[b] = kShift;
    }
    return c;
}
constexpr std::array<uint8_t, 256> kClass = MakeClasses();

// Which stored jump codes are literals, whose words the pointer pass reads.
constexpr bool IsLiteralCode(uint8_t code) {
    return code == CTravikDoc::kJumpLoad || code == CTravikDoc::kJumpPointer ||
           code == CTravikDoc::kJumpExplicit;
}

// "Routine (%d calls)" for a count; tens of thousands are made at an open.
std::string RoutineHeader(size_t count) {
    char digits[24];
    char* p = digits + sizeof digits;
    const int value = static_cast<int>(count);  // the text shows the count as an int
    uint32_t v = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    do {
        *--p = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (value < 0) *--p = '-';
    std::string text = "Routine (";
    text.append(p, digits + sizeof digits - p).append(" calls)");
    return text;
}

// Sorts halfword indexes with two passes of a 16-bit radix sort: the call list of a
// large image has hundreds of thousands of entries.
void SortIndexes(std::vector<uint32_t>& values) {
    // A short list is sorted faster than the radix counts can even be cleared.
    if (values.size() < 4096) {
        std::sort(values.begin(), values.end());
        return;
    }
    std::vector<uint32_t> scratch(values.size());
    std::vector<uint32_t> counts(65536);
    for (int shift = 0; shift < 32; shift += 16) {
        std::fill(counts.begin(), counts.end(), 0);
        for (uint32_t v : values) ++counts[(v >> shift) & 0xFFFF];
        uint32_t sum = 0;
        for (uint32_t& c : counts) {
            const uint32_t n = c;
            c = sum;
            sum += n;
        }
        for (uint32_t v : values) scratch[counts[(v >> shift) & 0xFFFF]++] = v;
        values.swap(scratch);
    }
}
}  // namespace

CodeAnalysis::CodeAnalysis(CTravikDoc& doc, bool defaultsMode)
    : doc_(doc),
      defaultsMode_(defaultsMode),
      imageSize_(doc.imageSize_),
      halfwordCount_(doc.imageSize_ / 2) {}

void CodeAnalysis::AnalyseRange(uint32_t begin, uint32_t end) {
    const uint8_t* image = doc_.image_;
    const uint8_t* flags = doc_.flags_;
    uint8_t* codes = doc_.jumpCodes_;
    const int64_t size = imageSize_;
    for (uint32_t o = begin; o + 1 < end; o += 2) {
        const uint8_t b0 = image[o];
        const uint8_t cls = kClass[b0];
        const uint32_t index = o / 2;
        // Branches are common and their outcome is data: decided without a jump. No
        // rule has written this halfword's code before it is reached.
        const uint32_t h = BigEndianHalf(image + o);
        const int64_t condTarget = CondBranchTarget(int64_t{o} + 4, h);
        const int64_t longTarget = BranchTarget(int64_t{o} + 4, h);
        const int64_t isCond = -static_cast<int64_t>((cls >> 3) & 1);  // all ones for kCondBranch
        const int64_t target = (condTarget & isCond) | (longTarget & ~isCond);
        const bool branch = ((cls & (kCondBranch | kBranch)) != 0) &
                            ((flags[index] & flagbits::kTypeMask) == itemtype::kThumb) &
                            (target >= 0) & (target <= size);
        codes[index] = branch ? uint8_t{CTravikDoc::kJumpBranch} : codes[index];
        // The other rules are rare; the high bytes alone rule most halfwords out.
        if ((cls & kOtherRules) || ((cls & kShift) && o > 2 && image[o - 2] < 0x10)) {
            AnalyseHalfword(o, cls);
        }
    }
}

void CodeAnalysis::AnalyseHalfword(uint32_t o, uint8_t cls) {
    const uint8_t* image = doc_.image_;
    uint8_t* flags = doc_.flags_;
    uint8_t* codes = doc_.jumpCodes_;
    const uint32_t index = o / 2;
    const uint8_t b1 = image[o + 1];
    const bool thumb = (flags[index] & flagbits::kTypeMask) == itemtype::kThumb;

    if (cls & kBlSecond) {
        // BL pair: this is the second halfword.
        if (o > 4 && (image[o - 2] & 0xF8) == 0xF0 && thumb) {
            // The first half at o - 2 reads the PC as o + 2.
            const int64_t target =
                BlTarget(int64_t{o} + 2, doc_.HalfwordAt(o - 2), doc_.HalfwordAt(o));
            if (InRange(target)) {
                codes[index - 1] = CTravikDoc::kJumpCall;
                if (defaultsMode_) {
                    flags[index] |= flagbits::kContinuation;
                    if (target < imageSize_)
                        calledHalfwords_.push_back(static_cast<uint32_t>(target) / 2);
                }
            }
        }
        // The THUMB entry point behind the ARM veneer ADD R0, PC, #1; BX R0 (whose
        // last halfword is this one).
        if (defaultsMode_ && o > 8 && o % 4 != 0 &&
            __builtin_memcmp(image + o - 6, kEntryVeneer, 8) == 0 && index + 1 < halfwordCount_) {
            flags[index + 1] |= flagbits::kRoutineStart;
            doc_.SetText(doc_.headers_, o + 2, docmsg::kThumbEntryPoint);
        }
        return;
    }

    // Routine end: POP {..., PC} or MOV PC, LR; whatever the type.
    if ((cls & kPopPc) || ((cls & kMovHigh) && b1 == 0xF7)) {
        if (defaultsMode_) {
            flags[index] |= flagbits::kRoutineEnd;
            doc_.SetText(doc_.footers_, o, docmsg::kEndRoutine);
        }
        return;
    }
    if ((cls & kPcLoad) && thumb && o > 2) {
        const int64_t target = LiteralAddress(int64_t{o} + 4, b1);
        if (InRange(target)) {
            if (defaultsMode_)
                doc_.SetItemType(static_cast<uint32_t>(target), itemtype::kData4, false);
            codes[index] = CTravikDoc::kJumpLoad;
            literalLoads_.push_back(index);
        }
        return;
    }
    // Merged shift pair: both halfwords are LSL or LSR by an immediate. A halfword that
    // already ends a pair does not start another (LSL; LSR; LSL would lose the third).
    const bool previousEndsPair = o >= 4 && (flags[index - 1] & flagbits::kContinuation) &&
                                  doc_.IsMergedShiftPair(o - 4);
    if ((cls & kShift) && o > 2 && image[o - 2] < 0x10 && !previousEndsPair &&
        doc_.IsMergedShiftPair(o - 2)) {
        flags[index] |= flagbits::kContinuation;
    }
}

void CodeAnalysis::MakeRoutineHeaders() {
    if (!defaultsMode_) return;
    // Every call added its target to the list: sorted, each run of equal targets is one
    // routine and the run's length its call count.
    SortIndexes(calledHalfwords_);
    std::vector<std::pair<uint32_t, std::string>> headers;
    for (size_t k = 0; k < calledHalfwords_.size();) {
        const uint32_t i = calledHalfwords_[k];
        size_t end = k + 1;
        while (end < calledHalfwords_.size() && calledHalfwords_[end] == i) ++end;
        doc_.flags_[i] |= flagbits::kRoutineStart;
        headers.emplace_back(i, RoutineHeader(end - k));
        k = end;
    }
    calledHalfwords_ = {};
    // One merge instead of an insertion per routine.
    doc_.headers_.SetSorted(std::move(headers));
    doc_.SetModifiedFlag(true);
}

void CodeAnalysis::FollowLiteralPointers() {
    // Visits every literal in increasing index order, as a scan of the whole table would:
    // the loads found by the reading pass, and the words this pass itself marks ahead
    // of where it is (which are visited when the scan gets there).
    std::priority_queue<uint32_t, std::vector<uint32_t>, std::greater<uint32_t>> ahead;
    size_t next = 0;
    int64_t last = -1;
    while (next < literalLoads_.size() || !ahead.empty()) {
        uint32_t i = 0;
        if (ahead.empty() || (next < literalLoads_.size() && literalLoads_[next] <= ahead.top())) {
            i = literalLoads_[next++];
        } else {
            i = ahead.top();
            ahead.pop();
        }
        if (int64_t{i} <= last) continue;  // already visited
        last = i;
        if (!IsLiteralCode(doc_.jumpCodes_[i])) continue;
        const uint32_t t = doc_.JumpTarget(i);
        if (uint64_t{t} + 4 > imageSize_) continue;
        const int64_t v = int64_t{doc_.WordAt(t)} - kFlashBase;
        if (v < 0 || v > int64_t{imageSize_}) continue;
        doc_.SetLiteralPointer(t, static_cast<uint32_t>(v));
        if (t / 2 > i) ahead.push(t / 2);
    }
    literalLoads_ = {};
}
