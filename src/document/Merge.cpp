#include "document/Merge.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "document/CTravikDoc.h"
#include "document/DocumentMessages.h"
#include "document/InfoFile.h"
#include "shell/Format.h"
#include "shell/FrameServices.h"

namespace {

constexpr const char* kQuestions[4] = {
    "Replace Note at %.8X: \n%s\n with new note:\n%s",
    "Replace Header at %.8X: \n%s\n with new header:\n%s",
    "Replace Footer at %.8X: \n%s\n with new footer:\n%s",
    "Replace Explanation at %.8X: \n%s\n with new explanation:\n%s",
};

constexpr const char* kTooLarge =
    "Merging %s would make an info file of %llu bytes, more than the %llu bytes an info "
    "file of this image may hold: nothing was merged.";

// A text as a question shows it: a box with megabytes of text stalls the window, so only
// its first kQuestionTextLimit characters, and "…" when there is more (never the CR of a
// CR LF without its LF). Annotations are Latin-1, messages UTF-8 like the paths in them:
// the text is converted.
constexpr size_t kQuestionTextLimit = 1000;

std::string QuestionText(std::string_view text) {
    size_t shown = std::min(text.size(), kQuestionTextLimit);
    const bool cut = shown < text.size();
    if (cut && text[shown - 1] == '\r' && text[shown] == '\n') --shown;
    std::string out;
    out.reserve(shown + shown / 4 + 3);
    for (const char c : text.substr(0, shown)) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    if (cut) out += "\xE2\x80\xA6";
    return out;
}

// The texts one section takes, applied to its table in one sorted pass.
class SectionChanges {
  public:
    SectionChanges(const AnnotationTable& table, DocEdit::TextKind kind)
        : table_(table), kind_(kind) {}

    // The text the halfword has now, counting what this section already took.
    const std::string* Current(uint32_t index) const {
        const auto it = taken_.find(index);
        if (it != taken_.end()) return it->second.empty() ? nullptr : &it->second;
        return table_.Find(index);
    }
    void Take(uint32_t index, std::string_view text) { taken_[index] = std::string(text); }
    bool Empty() const { return taken_.empty(); }
    // How many bytes the info file grows by (or shrinks, below 0) once applied.
    int64_t Growth() const {
        int64_t growth = 0;
        for (const auto& [index, text] : taken_) {
            if (!text.empty()) growth += static_cast<int64_t>(TextRecordSize(text.size()));
            if (const std::string* old = table_.Find(index))
                growth -= static_cast<int64_t>(TextRecordSize(old->size()));
        }
        return growth;
    }
    // The part of the merge's edit.
    DocEdit::Texts Part() {
        DocEdit::Texts part{kind_, {}};
        part.entries.reserve(taken_.size());
        for (auto& [index, text] : taken_) part.entries.emplace_back(index, std::move(text));
        taken_.clear();
        return part;
    }

  private:
    const AnnotationTable& table_;
    const DocEdit::TextKind kind_;
    std::map<uint32_t, std::string> taken_;
};

// The end of a merge that ran: every view goes to offset 0.
void FinishStep(CTravikDoc& doc, DocEdit edit = {}) {
    doc.Frame().SetStatusText("Ready");
    edit.after = DocEdit::kModified | DocEdit::kJumpList | DocEdit::kUpdateViews;
    doc.Apply(edit);
}

}  // namespace

MergeOutcome MergeInfoBytes(CTravikDoc& doc, std::string_view file, const std::string& path) {
    FrameServices& frame = doc.Frame();
    DocStep step(doc, "Merge", 0);  // the whole merge is taken back at once
    InfoCursor cursor(file);
    uint32_t size = 0;
    if (!cursor.ReadU32(size) || size != doc.ImageSize()) {
        frame.ShowMessage(path + docmsg::kWrongSize);
        return MergeOutcome::kWrongSize;
    }
    const uint32_t count = doc.HalfwordCount();
    std::string_view other;
    uint32_t separator = 0;
    if (!cursor.ReadBytes(count, other) || !cursor.ReadU32(separator) ||
        separator != kInfoEndMarker) {
        frame.ShowMessage(path + docmsg::kCorrupted);
        return MergeOutcome::kCorrupted;
    }
    const auto* otherFlags = reinterpret_cast<const uint8_t*>(other.data());

    std::vector<SectionChanges> sections;
    sections.reserve(4);
    bool damaged = false;
    for (int section = 0; section < 4 && !damaged; ++section) {
        const auto kind = static_cast<DocEdit::TextKind>(section);
        SectionChanges& changes = sections.emplace_back(doc.Texts(kind), kind);
        damaged = !ReadTextSection(cursor, count, [&](uint32_t i, std::string_view text) {
            const std::string* own = changes.Current(i);
            const bool mine = doc.Flags()[i] & flagbits::kUserMark;
            const bool theirs = otherFlags[i] & flagbits::kUserMark;
            if (own == nullptr || (theirs && !mine)) {
                changes.Take(i, text);
            } else if (mine && theirs && *own != text) {
                if (frame.AskYesNo(Format(kQuestions[section], doc.DisplayedAddress(2 * i),
                                          QuestionText(*own).c_str(), QuestionText(text).c_str())))
                    changes.Take(i, text);
            }
        });
    }
    // The merged annotations must stay an info file the open reads: a merge that would
    // grow them past that changes nothing.
    int64_t merged = static_cast<int64_t>(doc.InfoFileBytes());
    for (const SectionChanges& changes : sections) merged += changes.Growth();
    const uint64_t limit = MaxInfoFileSize(doc.ImageSize());
    if (static_cast<uint64_t>(merged) > limit) {
        frame.ShowMessage(Format(kTooLarge, path.c_str(), static_cast<unsigned long long>(merged),
                                 static_cast<unsigned long long>(limit)));
        return MergeOutcome::kTooLarge;
    }
    DocEdit edit;
    for (SectionChanges& changes : sections)
        if (!changes.Empty()) edit.parts.emplace_back(changes.Part());
    if (damaged) {
        // What was taken before a damaged record stays, and the document says it changed.
        edit.after = edit.parts.empty() ? 0 : DocEdit::kModified;
        doc.Apply(edit);
        frame.ShowMessage(path + docmsg::kCorrupted);
        frame.UpdateAllViews(doc);
        return MergeOutcome::kCorrupted;
    }
    // The RAM names are not merged. Halfwords marked only over there take its flag byte.
    const uint8_t* flags = doc.Flags();
    auto taken = [&](uint32_t i) {
        return (otherFlags[i] & flagbits::kUserMark) && !(flags[i] & flagbits::kUserMark);
    };
    uint32_t first = 0, end = count;
    while (first < end && !taken(first)) ++first;
    while (end > first && !taken(end - 1)) --end;
    if (first < end) {
        std::vector<uint8_t> bytes(end - first);
        for (uint32_t i = first; i < end; ++i)
            bytes[i - first] = taken(i) ? otherFlags[i] : flags[i];
        edit.SetFlags(first, std::move(bytes));
    }
    FinishStep(doc, std::move(edit));
    return MergeOutcome::kMerged;
}

MergeOutcome MergeInfoFile(CTravikDoc& doc, const std::string& path) {
    FrameServices& frame = doc.Frame();
    frame.SetStatusText("Merging " + path + "...");
    std::string bytes;
    const ReadOutcome read = ReadWholeFile(path, bytes, MaxInfoFileSize(doc.ImageSize()));
    if (read.kind != ReadOutcome::kOk) {
        const std::string reason =
            read.kind == ReadOutcome::kMissing ? std::strerror(ENOENT) : read.reason;
        frame.ShowMessage(path + " cannot be read: " + reason + ".");
        FinishStep(doc);
        return MergeOutcome::kCannotOpen;
    }
    return MergeInfoBytes(doc, bytes, path);
}

MergeOutcome Merge(CTravikDoc& doc) {
    const std::optional<std::string> path = doc.Frame().ChooseOpenFile(kInfoFileFilter);
    if (!path) return MergeOutcome::kCancelled;
    return MergeInfoFile(doc, *path);
}

void FixInfoFile(CTravikDoc& doc) {
    auto startsWith = [](const std::string* text, const char* prefix) {
        return text != nullptr && text->compare(0, std::strlen(prefix), prefix) == 0;
    };
    // Only halfwords with a header or a footer can change.
    const uint8_t* flags = doc.Flags();
    std::map<uint32_t, uint8_t> fixed;
    auto fix = [&](uint32_t i) {
        if ((flags[i] & flagbits::kUserMark) &&
            (startsWith(doc.Headers().Find(i), "Routine") ||
             startsWith(doc.Footers().Find(i), docmsg::kEndRoutine)))
            fixed[i] = flags[i] & static_cast<uint8_t>(~flagbits::kUserMark);
    };
    doc.Headers().ForEach([&](uint32_t i, const std::string&) { fix(i); });
    doc.Footers().ForEach([&](uint32_t i, const std::string&) { fix(i); });
    DocEdit edit;
    for (const auto& [index, byte] : fixed) edit.SetFlags(index, {byte});
    edit.after = DocEdit::kModified | DocEdit::kJumpList;
    doc.Apply(std::move(edit), "Fix ifo file", 0);
}
