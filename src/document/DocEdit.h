#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "document/RamNameTable.h"

class CTravikDoc;

// One change of a document's annotations, held as the exact values it stores: the flag
// bytes of a run of halfwords, texts of one kind, the names or the bytes of a run of
// stack RAM. CTravikDoc::Apply makes it and returns the edit that puts back what was
// there (the same places with their old values, the parts in reverse order), so the
// inverse of that is this edit again.
struct DocEdit {
    enum class TextKind : uint8_t { kNote, kHeader, kFooter, kExplanation };

    // Flag bytes of the halfwords first, first + 1, ...
    struct FlagBytes {
        uint32_t first = 0;
        std::vector<uint8_t> bytes;
        bool operator==(const FlagBytes&) const = default;
    };
    // Texts of one kind by halfword index, in increasing index order without repeats;
    // an empty text removes the halfword's text.
    struct Texts {
        TextKind kind = TextKind::kNote;
        std::vector<std::pair<uint32_t, std::string>> entries;
        bool operator==(const Texts&) const = default;
    };
    // RAM name entries of the bytes first, first + 1, ... (a name is never empty).
    struct RamName {
        RamNameTable::Entry entry = RamNameTable::Entry::None;
        std::string name;
        bool operator==(const RamName&) const = default;
    };
    struct RamNames {
        uint32_t first = 0;
        std::vector<RamName> names;
        bool operator==(const RamNames&) const = default;
    };
    // Stack RAM bytes first, first + 1, ...
    struct RamBytes {
        uint32_t first = 0;
        std::vector<uint8_t> bytes;
        bool operator==(const RamBytes&) const = default;
    };
    using Part = std::variant<FlagBytes, Texts, RamNames, RamBytes>;

    // What follows the change, in this order; the inverse keeps the same.
    enum After : uint8_t {
        kModified = 1,       // the document is modified
        kJumpList = 2,       // the jump list is rebuilt
        kRepaintMemory = 4,  // the memory window repaints
        kUpdateViews = 8,    // every view of the document repaints
    };

    std::vector<Part> parts;  // made in this order
    uint8_t after = 0;

    bool operator==(const DocEdit&) const = default;

    // Adds a text at the halfword of `offset`; whatever follows a NUL is dropped (the
    // info file keeps texts NUL-terminated).
    DocEdit& SetText(TextKind kind, uint32_t offset, std::string_view text);
    // Adds flag bytes from the halfword with this index on.
    DocEdit& SetFlags(uint32_t index, std::vector<uint8_t> bytes);
};

// --- the edits of the user's actions (nothing is changed: Apply makes them) ------------

// The item at `offset` becomes an item of `type` (with its continuation halfwords, and
// what is left of a longer item there becomes two-byte data), and so do the next
// `extraItems` items after it, as far as the image goes. `starts` receives the offsets
// of those next items.
DocEdit ItemTypeEdit(const CTravikDoc& doc, uint32_t offset, uint8_t type, bool byUser,
                     int extraItems = 0, std::vector<uint32_t>* starts = nullptr);
// Sets `bits` in the flag byte of the halfword at `offset` (routine start or end).
DocEdit FlagBitsEdit(const CTravikDoc& doc, uint32_t offset, uint8_t bits);
// A note, header, footer or explanation of the halfword at `offset`, the halfword
// taking the user mark (which an explanation always does).
DocEdit TextEdit(const CTravikDoc& doc, DocEdit::TextKind kind, uint32_t offset,
                 std::string_view text, bool userMark);
// Names the RAM bytes first..last: the name at first (none for an empty text), the
// continued mark on the rest. Empty when either lies outside the RAM.
DocEdit RamNameEdit(const CTravikDoc& doc, uint32_t first, uint32_t last, std::string_view text);
// The hex text laid right-aligned over the RAM bytes first..last; missing digits are
// zeros, other characters count as 0. Empty when either lies outside the RAM.
DocEdit RamHexEdit(const CTravikDoc& doc, uint32_t first, uint32_t last, std::string_view hexText);
