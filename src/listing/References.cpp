#include "listing/References.h"

#include <string.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "document/CTravikDoc.h"
#include "document/Flags.h"
#include "listing/LineText.h"

namespace {

// How far from its target a referring halfword can lie: a BL reaches 4 MiB either way
// from its PC (the halfword + 4); a branch or a PC-relative LDR less than 4 KiB.
constexpr int64_t kBlReach = (int64_t{1} << 22) + 8;
constexpr int64_t kNear = 4096 + 8;

ReferenceKind KindOfCode(uint8_t code) {
    switch (code) {
        case CTravikDoc::kJumpCall:
            return ReferenceKind::kCall;
        case CTravikDoc::kJumpBranch:
            return ReferenceKind::kBranch;
        case CTravikDoc::kJumpLoad:
            return ReferenceKind::kLoad;
        default:
            return ReferenceKind::kPointer;
    }
}

}  // namespace

const char* ReferenceKindName(ReferenceKind kind) {
    static constexpr const char* kNames[] = {"call", "branch", "load", "pointer"};
    return kNames[static_cast<int>(kind)];
}

std::vector<Reference> ReferencesTo(const CTravikDoc& doc, uint32_t target) {
    // Each kind of reference reaches only so far: a BL 4 MiB either way, a branch or an
    // LDR a few KiB, a literal pointer anywhere. The halfwords that can refer to the
    // target are found kind by kind instead of decoding every halfword of the image.
    std::vector<Reference> found;
    const uint8_t* codes = doc.JumpCodes();
    const uint32_t count = doc.HalfwordCount();
    auto check = [&](uint32_t index) {
        const uint8_t code = codes[index];
        const ReferenceKind kind = KindOfCode(code);
        const uint32_t to = doc.JumpTarget(index);
        // A pointer to THUMB code has bit 0 set: it refers to the item all the same.
        if (code != CTravikDoc::kJumpNone &&
            (to == target || (kind == ReferenceKind::kPointer && to == target + 1)))
            found.push_back({2 * index, kind});
    };
    auto window = [&](int64_t before, int64_t after) {
        const int64_t first = std::max<int64_t>(0, (int64_t{target} - before) / 2);
        const int64_t last = std::min<int64_t>(count, (int64_t{target} + after) / 2 + 1);
        return std::pair<uint32_t, uint32_t>(static_cast<uint32_t>(first),
                                             static_cast<uint32_t>(std::max(first, last)));
    };
    // Branches and literal loads near the target; BLs are taken below.
    const auto [nearFirst, nearEnd] = window(kNear, kNear);
    for (uint32_t index = nearFirst; index < nearEnd; ++index)
        if (codes[index] != CTravikDoc::kJumpCall && codes[index] != CTravikDoc::kJumpPointer &&
            codes[index] != CTravikDoc::kJumpExplicit)
            check(index);
    // BLs: eight codes at a time, looking closer only where one of them is a call.
    const auto [callFirst, callEnd] = window(kBlReach, kBlReach);
    constexpr uint64_t kOnes = 0x0101010101010101, kHighs = 0x8080808080808080;
    uint32_t index = callFirst;
    for (; index + 8 <= callEnd; index += 8) {
        uint64_t eight;
        std::memcpy(&eight, codes + index, 8);
        const uint64_t calls = eight ^ (kOnes * CTravikDoc::kJumpCall);
        if (((calls - kOnes) & ~calls & kHighs) == 0) continue;
        for (uint32_t k = index; k < index + 8; ++k)
            if (codes[k] == CTravikDoc::kJumpCall) check(k);
    }
    for (; index < callEnd; ++index)
        if (codes[index] == CTravikDoc::kJumpCall) check(index);
    // Literal pointers: the word the target's flash address makes (with the THUMB bit
    // or without), wherever it is.
    const uint8_t* image = doc.Image();
    const size_t size = size_t{count} * 2;
    for (const uint32_t word : {target + kFlashBase, target + kFlashBase + 1}) {
        const uint8_t bytes[4] = {static_cast<uint8_t>(word >> 24),
                                  static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 8),
                                  static_cast<uint8_t>(word)};
        for (const uint8_t* at = image; size >= 4 && at + 4 <= image + size; ++at) {
            at = static_cast<const uint8_t*>(memmem(at, image + size - at, bytes, 4));
            if (at == nullptr) break;
            const size_t o = static_cast<size_t>(at - image);
            if (o % 2 == 0 && codes[o / 2] == CTravikDoc::kJumpPointer)
                check(static_cast<uint32_t>(o / 2));
        }
    }
    // Words read at an odd offset keep their targets apart; they are few.
    for (const uint8_t* at = codes; at < codes + count; ++at) {
        at = static_cast<const uint8_t*>(
            std::memchr(at, CTravikDoc::kJumpExplicit, codes + count - at));
        if (at == nullptr) break;
        check(static_cast<uint32_t>(at - codes));
    }
    std::sort(found.begin(), found.end(),
              [](const Reference& a, const Reference& b) { return a.offset < b.offset; });
    return found;
}

RoutineSpan RoutineAt(const CTravikDoc& doc, uint32_t offset) {
    RoutineSpan span;
    const uint8_t* flags = doc.Flags();
    const uint32_t count = doc.HalfwordCount();
    if (offset / 2 >= count) return span;
    int64_t start = offset / 2;
    while (start >= 0 && !(flags[start] & flagbits::kRoutineStart)) --start;
    if (start < 0) return span;
    // A routine may return in several places: it runs up to the next routine's start.
    uint32_t end = static_cast<uint32_t>(start) + 1;
    while (end < count && !(flags[end] & flagbits::kRoutineStart)) ++end;
    span.begin = static_cast<uint32_t>(2 * start);
    span.end = 2 * end;
    span.found = true;
    return span;
}

std::vector<uint32_t> CalleesOf(const CTravikDoc& doc, uint32_t offset) {
    std::vector<uint32_t> callees;
    const RoutineSpan span = RoutineAt(doc, offset);
    if (!span.found) return callees;
    for (uint32_t index = span.begin / 2; index < span.end / 2; ++index)
        if (doc.JumpCodes()[index] == CTravikDoc::kJumpCall)
            callees.push_back(doc.JumpTarget(index));
    std::sort(callees.begin(), callees.end());
    callees.erase(std::unique(callees.begin(), callees.end()), callees.end());
    return callees;
}

std::string ReferenceLine(const CTravikDoc& doc, const Reference& reference) {
    const std::string line = GetLineText(doc, reference.offset, 0);
    const size_t space = std::min(line.find(' '), line.size());
    char kind[16];
    std::snprintf(kind, sizeof kind, " %-7s", ReferenceKindName(reference.kind));
    std::string out;
    out.reserve(line.size() + 8);
    out.append(line, 0, space).append(kind).append(line, space, std::string::npos);
    return out;
}
