#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/DocEdit.h"

// One user action on a document's annotations: its name for the Undo and Redo entries,
// the image offset the listing goes to when it is undone or redone, when it was made,
// and the edits that make it, applied in this order.
struct EditStep {
    static constexpr uint32_t kNoFocus = UINT32_MAX;  // a step of the RAM alone
    std::string label;
    uint32_t focus = 0;
    int64_t time = 0;  // seconds since 1970
    std::vector<DocEdit> edits;
    bool operator==(const EditStep&) const = default;
};

// The compact bytes of a step, as the undo history keeps it and the journal stores it,
// after `headroom` zero bytes the caller fills (the string is sized once, exactly).
std::string EncodeStep(const EditStep& step, size_t headroom = 0);
// Reads what EncodeStep wrote; nullopt for anything else (every length is checked
// against the bytes there are).
std::optional<EditStep> DecodeStep(std::string_view bytes);
