#include "symbols/SymbolImport.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "document/CTravikDoc.h"
#include "document/DocEdit.h"
#include "shell/Format.h"
#include "shell/FrameServices.h"

namespace {

struct Target {
    uint32_t offset;  // image offset of a routine, or RAM offset
    uint64_t size;
    const std::string* name;
};

// Sorted by offset; of equal offsets the first read stays.
void SortUnique(std::vector<Target>& targets) {
    std::stable_sort(targets.begin(), targets.end(),
                     [](const Target& a, const Target& b) { return a.offset < b.offset; });
    targets.erase(
        std::unique(targets.begin(), targets.end(),
                    [](const Target& a, const Target& b) { return a.offset == b.offset; }),
        targets.end());
}

int64_t RecordGrowth(const std::string& to, const std::string* from) {
    return static_cast<int64_t>(TextRecordSize(to.size())) -
           (from != nullptr ? static_cast<int64_t>(TextRecordSize(from->size())) : 0);
}

}  // namespace

std::string ReportText(const ImportReport& report) {
    return Format("%zu routines named, %zu RAM names, %zu skipped (outside the image)",
                  report.routines, report.ramNames, report.skipped);
}

std::string ImportSymbols(CTravikDoc& doc, const std::vector<SymbolEntry>& symbols,
                          ImportReport& report) {
    report = {};
    std::vector<Target> routines, ram;
    for (const SymbolEntry& s : symbols) {
        if (s.address >= kFlashBase && s.address - kFlashBase < doc.ImageSize()) {
            auto offset = static_cast<uint32_t>(s.address - kFlashBase);
            if (s.code) offset &= ~1u;
            if (offset % 2 == 0) {
                routines.push_back({offset, s.size, &s.name});
                continue;
            }
        } else if (s.address >= doc.RamBase() && s.address - doc.RamBase() < doc.RamSize()) {
            ram.push_back({static_cast<uint32_t>(s.address - doc.RamBase()), s.size, &s.name});
            continue;
        }
        ++report.skipped;
    }
    SortUnique(routines);
    SortUnique(ram);

    // Which routines take their names: the questions come first, so that nothing changes
    // until every answer is in.
    FrameServices& frame = doc.Frame();
    const uint8_t* flags = doc.Flags();
    int64_t growth = 0;
    std::vector<Target> named;
    for (const Target& r : routines) {
        const uint32_t i = r.offset / 2;
        const std::string* old = doc.Headers().Find(i);
        if (old != nullptr && *old != *r.name && (flags[i] & flagbits::kUserMark) &&
            !frame.AskYesNo(Format("Replace the header '%s' at %08X with '%s'?", old->c_str(),
                                   kFlashBase + r.offset, r.name->c_str())))
            continue;
        growth += RecordGrowth(*r.name, old);
        named.push_back(r);
    }
    for (size_t k = 0; k < ram.size(); ++k) {
        // A name covers its size, but never the next name's bytes.
        const uint64_t end = std::min<uint64_t>(
            {uint64_t{ram[k].offset} + std::max<uint64_t>(ram[k].size, 1),
             k + 1 < ram.size() ? ram[k + 1].offset : doc.RamSize(), doc.RamSize()});
        ram[k].size = end - ram[k].offset;
        growth += RecordGrowth(*ram[k].name, doc.RamNames().Find(ram[k].offset)) + 4;
    }
    const uint64_t limit = MaxInfoFileSize(doc.ImageSize());
    const uint64_t total = static_cast<uint64_t>(
        std::max<int64_t>(static_cast<int64_t>(doc.InfoFileBytes()) + growth, 0));
    if (total > limit)
        return Format("the info file would grow to %llu bytes (at most %llu)",
                      static_cast<unsigned long long>(total),
                      static_cast<unsigned long long>(limit));

    DocStep step(doc, "Import Symbols", named.empty() ? 0 : named.front().offset);
    DocEdit edit;
    // Routines come in increasing order: their headers make one sorted part, added last.
    DocEdit::Texts headers{DocEdit::TextKind::kHeader, {}};
    for (const Target& r : named) {
        // Code that begins inside an item: what is left of that item becomes data, and
        // the named halfword a THUMB item.
        if (doc.Flags()[r.offset / 2] & flagbits::kContinuation) {
            doc.Apply(ItemTypeEdit(doc, doc.ItemStart(r.offset), itemtype::kData2, false));
            doc.Apply(ItemTypeEdit(doc, r.offset, itemtype::kThumb, true));
            report.changed = true;
        }
        const uint32_t i = r.offset / 2;
        const uint8_t was = doc.Flags()[i];
        const auto now = static_cast<uint8_t>(was | flagbits::kRoutineStart | flagbits::kUserMark);
        if (now != was) edit.SetFlags(i, {now});
        const std::string* old = doc.Headers().Find(i);
        if (old == nullptr || *old != *r.name) headers.entries.emplace_back(i, *r.name);
        ++report.routines;
    }
    for (const Target& v : ram) {
        const auto last = static_cast<uint32_t>(v.offset + v.size - 1);
        uint32_t owner = 0;
        bool same = doc.RamNames().Find(v.offset) != nullptr &&
                    *doc.RamNames().Find(v.offset) == *v.name &&
                    (last + 1 == doc.RamSize() ||
                     doc.RamNames().At(last + 1) != RamNameTable::Entry::Continued);
        for (uint32_t b = v.offset + 1; same && b <= last; ++b)
            same = doc.RamNames().Owner(b, owner) != nullptr && owner == v.offset;
        if (!same) {
            DocEdit name = RamNameEdit(doc, v.offset, last, *v.name);
            for (DocEdit::Part& part : name.parts) edit.parts.push_back(std::move(part));
        }
        ++report.ramNames;
    }
    if (!headers.entries.empty()) edit.parts.emplace_back(std::move(headers));
    if (!edit.parts.empty()) {
        edit.after = DocEdit::kModified | DocEdit::kJumpList | DocEdit::kRepaintMemory |
                     DocEdit::kUpdateViews;
        doc.Apply(edit);
        report.changed = true;
    }
    return {};
}

bool ImportSymbolFile(CTravikDoc& doc, const std::string& path, ImportReport& report) {
    FrameServices& frame = doc.Frame();
    std::string bytes;
    const ReadOutcome read = ReadWholeFile(path, bytes, kMaxSymbolFileSize);
    if (read.kind != ReadOutcome::kOk) {
        const std::string reason =
            read.kind == ReadOutcome::kMissing ? std::strerror(ENOENT) : read.reason;
        frame.ShowMessage(path + " cannot be read: " + reason + ".");
        return false;
    }
    const SymbolFile file = ReadSymbolFile(bytes);
    if (!file.error.empty()) {
        frame.ShowMessage(path + " is no symbol file: " + file.error + ". Nothing was imported.");
        return false;
    }
    const std::string error = ImportSymbols(doc, file.symbols, report);
    if (!error.empty()) {
        frame.ShowMessage(path + " cannot be imported: " + error + ". Nothing was imported.");
        return false;
    }
    return true;
}

void ImportSymbolsCommand(CTravikDoc& doc) {
    const std::optional<std::string> path = doc.Frame().ChooseOpenFile(kSymbolFileFilter);
    if (!path) return;
    ImportReport report;
    if (ImportSymbolFile(doc, *path, report)) doc.Frame().ShowMessage(ReportText(report));
}
