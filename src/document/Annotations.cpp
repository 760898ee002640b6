// The annotation state of a document: its one way in (Apply) and the jump list made
// from it.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "document/CTravikDoc.h"
#include "document/DocumentMessages.h"
#include "document/ItemType.h"
#include "shell/FrameServices.h"

const AnnotationTable& CTravikDoc::Texts(DocEdit::TextKind kind) const {
    return const_cast<CTravikDoc*>(this)->TextTable(kind);
}

AnnotationTable& CTravikDoc::TextTable(DocEdit::TextKind kind) {
    switch (kind) {
        case DocEdit::TextKind::kNote:
            return notes_;
        case DocEdit::TextKind::kHeader:
            return headers_;
        case DocEdit::TextKind::kFooter:
            return footers_;
        case DocEdit::TextKind::kExplanation:
            break;
    }
    return explanations_;
}

InfoTables CTravikDoc::Tables() {
    return {imageSize_, flags_, {&notes_, &headers_, &footers_, &explanations_}, &ramNames_};
}

uint64_t CTravikDoc::InfoFileBytes() const {
    return InfoFileSize(const_cast<CTravikDoc*>(this)->Tables());
}

DocEdit CTravikDoc::Apply(const DocEdit& edit) {
    DocEdit inverse = ApplyEdit(edit);
    if (openStep_) KeepInStep(edit, inverse);
    return inverse;
}

void CTravikDoc::Apply(DocEdit edit, std::string label, uint32_t focus) {
    BeginStep(std::move(label), focus);
    DocEdit inverse = ApplyEdit(edit);
    KeepInStep(std::move(edit), std::move(inverse));
    EndStep();
}

void CTravikDoc::KeepInStep(DocEdit edit, DocEdit inverse) {
    openStep_->edits.push_back(std::move(edit));
    openInverse_.push_back(std::move(inverse));
}

DocEdit CTravikDoc::ApplyEdit(const DocEdit& edit) {
    DocEdit inverse;
    inverse.after = edit.after;
    inverse.parts.reserve(edit.parts.size());
    for (const DocEdit::Part& part : edit.parts)
        inverse.parts.push_back(std::visit([&](const auto& p) { return ApplyPart(p); }, part));
    std::reverse(inverse.parts.begin(), inverse.parts.end());
    if (edit.after & DocEdit::kModified) SetModifiedFlag(true);
    if (edit.after & DocEdit::kJumpList) RebuildJumpList();
    if (edit.after & DocEdit::kRepaintMemory) frame_.RepaintMemory();
    if (edit.after & DocEdit::kUpdateViews) frame_.UpdateAllViews(*this);
    return inverse;
}

// Parts reaching past the tables are cut at their end.
DocEdit::Part CTravikDoc::ApplyPart(const DocEdit::FlagBytes& part) {
    DocEdit::FlagBytes old{part.first, {}};
    const uint32_t count = HalfwordCount();
    if (part.first >= count) return old;
    const size_t n = std::min<size_t>(part.bytes.size(), count - part.first);
    old.bytes.assign(flags_ + part.first, flags_ + part.first + n);
    std::memcpy(flags_ + part.first, part.bytes.data(), n);
    return old;
}

DocEdit::Part CTravikDoc::ApplyPart(const DocEdit::Texts& part) {
    AnnotationTable& table = TextTable(part.kind);
    DocEdit::Texts old{part.kind, {}};
    old.entries.reserve(part.entries.size());
    std::vector<std::pair<uint32_t, std::string>> stored;
    for (const auto& [index, text] : part.entries) {
        if (index >= table.HalfwordCount()) continue;
        const std::string* was = table.Find(index);
        old.entries.emplace_back(index, was != nullptr ? *was : std::string());
        stored.emplace_back(index, text);
    }
    // Many texts at once (a merge, its undo) go in in one sorted pass.
    if (stored.size() == 1)
        table.Set(stored[0].first, stored[0].second);
    else if (!stored.empty())
        table.SetSorted(std::move(stored));
    return old;
}

DocEdit::Part CTravikDoc::ApplyPart(const DocEdit::RamNames& part) {
    DocEdit::RamNames old{part.first, {}};
    for (size_t k = 0; k < part.names.size() && part.first + k < ramNames_.RamSize(); ++k) {
        const auto i = static_cast<uint32_t>(part.first + k);
        const std::string* name = ramNames_.Find(i);
        old.names.push_back({ramNames_.At(i), name != nullptr ? *name : std::string()});
        const DocEdit::RamName& to = part.names[k];
        switch (to.entry) {
            case RamNameTable::Entry::Name:
                ramNames_.SetName(i, to.name);
                break;
            case RamNameTable::Entry::Continued:
                ramNames_.SetContinued(i);
                break;
            case RamNameTable::Entry::None:
                ramNames_.SetNone(i);
                break;
        }
    }
    return old;
}

DocEdit::Part CTravikDoc::ApplyPart(const DocEdit::RamBytes& part) {
    DocEdit::RamBytes old{part.first, {}};
    if (ramBytes_ == nullptr || part.first >= ramSize_) return old;
    const size_t n = std::min<size_t>(part.bytes.size(), ramSize_ - part.first);
    old.bytes.assign(ramBytes_ + part.first, ramBytes_ + part.first + n);
    std::copy_n(part.bytes.begin(), n, ramBytes_ + part.first);
    return old;
}

// ---------------------------------------------------------------------------------
// The analysis' own writes while the document is being built

void CTravikDoc::SetText(AnnotationTable& table, uint32_t offset, std::string_view text) {
    const uint32_t index = offset / 2;
    if (index >= HalfwordCount()) return;
    // Texts are NUL-terminated in the info file: whatever follows a NUL is not kept.
    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    table.Set(index, text);
    SetModifiedFlag(true);
}

void CTravikDoc::SetItemType(uint32_t offset, uint8_t type, bool byUser) {
    const uint32_t count = HalfwordCount();
    const uint32_t i = offset / 2;
    if (i >= count) return;
    auto at = [&](uint32_t k) -> uint8_t& { return flags_[k]; };
    RetypeItem(at, i, count, ContinuationCount(i, type), type, byUser ? flagbits::kUserMark : 0);
    SetModifiedFlag(true);
}

// ---------------------------------------------------------------------------------
// The jump list

void CTravikDoc::RebuildJumpList() {
    frame_.ClearJumpList();
    char entry[4096];
    headers_.ForEach([&](uint32_t i, const std::string& header) {
        if (!(flags_[i] & flagbits::kUserMark)) return;
        const char* format =
            explanations_.Has(i) ? docmsg::kJumpEntryExplained : docmsg::kJumpEntry;
        std::snprintf(entry, sizeof entry, format, DisplayedAddress(2 * i), header.c_str());
        frame_.AddJumpEntry(entry);
    });
}
