#include "listing/References.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "document/CTravikDoc.h"
#include "document/Flags.h"
#include "listing/LineText.h"

namespace {

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
    std::vector<Reference> found;
    const uint8_t* codes = doc.JumpCodes();
    const uint32_t count = doc.HalfwordCount();
    // Most halfwords refer to nothing: whole words of eight zero codes are skipped.
    for (uint32_t index = 0; index < count; ++index) {
        if ((index & 7) == 0 && index + 8 <= count) {
            uint64_t eight;
            std::memcpy(&eight, codes + index, 8);
            if (eight == 0) {
                index += 7;
                continue;
            }
        }
        const uint8_t code = codes[index];
        if (code == CTravikDoc::kJumpNone || code > CTravikDoc::kJumpExplicit) continue;
        if (doc.JumpTarget(index) == target) found.push_back({2 * index, KindOfCode(code)});
    }
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
        if (doc.JumpCodes()[index] == CTravikDoc::kJumpCall) callees.push_back(doc.JumpTarget(index));
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
