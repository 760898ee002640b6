#include "document/DocEdit.h"

#include <algorithm>

#include "document/CTravikDoc.h"
#include "document/Flags.h"
#include "document/ItemType.h"
#include "shell/HexDigit.h"

DocEdit& DocEdit::SetText(TextKind kind, uint32_t offset, std::string_view text) {
    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    Texts* texts = nullptr;
    for (Part& part : parts) {
        auto* t = std::get_if<Texts>(&part);
        if (t != nullptr && t->kind == kind) texts = t;
    }
    if (texts == nullptr) texts = &std::get<Texts>(parts.emplace_back(Texts{kind, {}}));
    const uint32_t index = offset / 2;
    auto& entries = texts->entries;
    auto it = std::lower_bound(entries.begin(), entries.end(), index,
                               [](const auto& entry, uint32_t i) { return entry.first < i; });
    if (it != entries.end() && it->first == index)
        it->second = std::string(text);
    else
        entries.emplace(it, index, std::string(text));
    return *this;
}

DocEdit& DocEdit::SetFlags(uint32_t index, std::vector<uint8_t> bytes) {
    parts.emplace_back(FlagBytes{index, std::move(bytes)});
    return *this;
}

DocEdit ItemTypeEdit(const CTravikDoc& doc, uint32_t offset, uint8_t type, bool byUser,
                     int extraItems, std::vector<uint32_t>* starts) {
    DocEdit edit;
    const uint32_t count = doc.HalfwordCount();
    const uint32_t first = offset / 2;
    if (first >= count) return edit;
    // The flag bytes from `first` on as the retype leaves them, read from the document
    // as far as it needs.
    std::vector<uint8_t> draft;
    auto at = [&](uint32_t k) -> uint8_t& {
        while (k - first >= draft.size()) draft.push_back(doc.Flags()[first + draft.size()]);
        return draft[k - first];
    };
    const uint8_t mark = byUser ? flagbits::kUserMark : 0;
    for (uint32_t i = first, item = 0;; ++item) {
        const uint32_t next = RetypeItem(at, i, count, doc.ContinuationCount(i, type), type, mark);
        if (item == static_cast<uint32_t>(std::max(extraItems, 0)) || next >= count) break;
        i = next;
        if (starts != nullptr) starts->push_back(2 * i);
    }
    edit.SetFlags(first, std::move(draft));
    edit.after = DocEdit::kModified;
    return edit;
}

DocEdit FlagBitsEdit(const CTravikDoc& doc, uint32_t offset, uint8_t bits) {
    DocEdit edit;
    const uint32_t index = offset / 2;
    if (index >= doc.HalfwordCount()) return edit;
    edit.SetFlags(index, {static_cast<uint8_t>(doc.Flags()[index] | bits)});
    edit.after = DocEdit::kModified;
    return edit;
}

DocEdit TextEdit(const CTravikDoc& doc, DocEdit::TextKind kind, uint32_t offset,
                 std::string_view text, bool userMark) {
    DocEdit edit;
    const uint32_t index = offset / 2;
    if (index >= doc.HalfwordCount()) return edit;
    edit.SetText(kind, offset, text);
    if (userMark || kind == DocEdit::TextKind::kExplanation)
        edit.SetFlags(index, {static_cast<uint8_t>(doc.Flags()[index] | flagbits::kUserMark)});
    edit.after = DocEdit::kModified | DocEdit::kJumpList;
    return edit;
}

DocEdit RamNameEdit(const CTravikDoc& doc, uint32_t first, uint32_t last, std::string_view text) {
    DocEdit edit;
    if (first >= doc.RamSize() || last >= doc.RamSize()) return edit;
    DocEdit::RamNames names{first, {}};
    if (text.empty())
        names.names.push_back({RamNameTable::Entry::None, {}});
    else
        names.names.push_back({RamNameTable::Entry::Name, std::string(text)});
    for (uint32_t i = first + 1; i <= last && i > first; ++i)
        names.names.push_back({RamNameTable::Entry::Continued, {}});
    edit.parts.emplace_back(std::move(names));
    edit.after = DocEdit::kModified | DocEdit::kRepaintMemory;
    return edit;
}

DocEdit RamHexEdit(const CTravikDoc& doc, uint32_t first, uint32_t last, std::string_view hexText) {
    DocEdit edit;
    if (first >= doc.RamSize() || last >= doc.RamSize() || doc.RamBytes() == nullptr) return edit;
    edit.after = DocEdit::kRepaintMemory;
    if (last < first) return edit;
    // The text's last two digits go to the last byte; missing digits are zeros and
    // characters that are not hex digits count as 0.
    auto digit = [](char c) { return static_cast<uint8_t>(std::max(HexDigitValue(c), 0)); };
    std::vector<uint8_t> bytes(last - first + 1);
    size_t remaining = hexText.size();
    for (uint32_t i = last + 1; i-- > first;) {
        const char high = remaining >= 2 ? hexText[remaining - 2] : '0';
        const char low = remaining >= 1 ? hexText[remaining - 1] : '0';
        bytes[i - first] = static_cast<uint8_t>((digit(high) << 4) | digit(low));
        remaining = remaining >= 2 ? remaining - 2 : 0;
    }
    edit.parts.emplace_back(DocEdit::RamBytes{first, std::move(bytes)});
    return edit;
}
