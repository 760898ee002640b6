#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CTravikDoc;

// What refers to an item, as the analysis recorded it.
enum class ReferenceKind : uint8_t { kCall, kBranch, kLoad, kPointer };

struct Reference {
    uint32_t offset;  // the referring item (a BL's first halfword, a branch, an LDR, a word)
    ReferenceKind kind;
    bool operator==(const Reference&) const = default;
};

// "call", "branch", "load" or "pointer".
const char* ReferenceKindName(ReferenceKind kind);

// Every halfword whose instruction or literal word refers to the item at `target`, in
// address order.
std::vector<Reference> ReferencesTo(const CTravikDoc& doc, uint32_t target);

// The routine holding `offset`: from the nearest routine start at or before it up to
// the next routine's start; none when no routine starts before it.
struct RoutineSpan {
    uint32_t begin = 0, end = 0;  // image offsets, end past the last halfword
    bool found = false;
};
RoutineSpan RoutineAt(const CTravikDoc& doc, uint32_t offset);

// What the routine holding `offset` calls: each callee once, in address order.
std::vector<uint32_t> CalleesOf(const CTravikDoc& doc, uint32_t offset);

// The referrer's listing line with its kind after the displayed address:
// "000008 call    :f000f800: BL c".
std::string ReferenceLine(const CTravikDoc& doc, const Reference& reference);
