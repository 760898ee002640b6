#include "document/Merge.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "document/CTravikDoc.h"
#include "document/DocumentMessages.h"
#include "document/InfoFile.h"
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

template <typename... Args>
std::string Format(const char* format, Args... args) {
    const int n = std::snprintf(nullptr, 0, format, args...);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    std::snprintf(out.data(), out.size() + 1, format, args...);
    return out;
}

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
    explicit SectionChanges(AnnotationTable& table) : table_(table) {}

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

    void Apply() {
        std::vector<std::pair<uint32_t, std::string>> stored;
        std::vector<uint32_t> removed;
        stored.reserve(taken_.size());
        for (auto& [index, text] : taken_) {
            if (text.empty())
                removed.push_back(index);
            else
                stored.emplace_back(index, std::move(text));
        }
        taken_.clear();
        if (!stored.empty()) table_.SetSorted(std::move(stored));
        for (uint32_t index : removed) table_.Set(index, {});
    }

  private:
    AnnotationTable& table_;
    std::map<uint32_t, std::string> taken_;
};

void FinishStep(CTravikDoc& doc) {
    doc.SetModifiedFlag(true);
    FrameServices& frame = doc.Frame();
    frame.SetStatusText("Ready");
    doc.RebuildJumpList();
    frame.UpdateAllViews(doc);
}

}  // namespace

MergeOutcome MergeInfoBytes(CTravikDoc& doc, std::string_view file, const std::string& path) {
    FrameServices& frame = doc.Frame();
    InfoCursor cursor(file);
    uint32_t size = 0;
    if (!cursor.ReadU32(size) || size != doc.imageSize) {
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

    AnnotationTable* tables[4] = {&doc.notes, &doc.headers, &doc.footers, &doc.explanations};
    std::vector<SectionChanges> sections;
    sections.reserve(4);
    bool damaged = false;
    for (int section = 0; section < 4 && !damaged; ++section) {
        SectionChanges& changes = sections.emplace_back(*tables[section]);
        damaged = !ReadTextSection(cursor, count, [&](uint32_t i, std::string_view text) {
            const std::string* own = changes.Current(i);
            const bool mine = doc.flags[i] & flagbits::kUserMark;
            const bool theirs = otherFlags[i] & flagbits::kUserMark;
            if (own == nullptr || (theirs && !mine)) {
                changes.Take(i, text);
            } else if (mine && theirs && *own != text) {
                if (frame.AskYesNo(Format(kQuestions[section], doc.baseAddress + 2 * i,
                                          QuestionText(*own).c_str(), QuestionText(text).c_str())))
                    changes.Take(i, text);
            }
        });
    }
    // The merged annotations must stay an info file the open reads: a merge that would
    // grow them past that changes nothing.
    InfoTables own{doc.imageSize, doc.flags, {tables[0], tables[1], tables[2], tables[3]},
                   &doc.ramNames};
    int64_t merged = static_cast<int64_t>(InfoFileSize(own));
    for (const SectionChanges& changes : sections) merged += changes.Growth();
    const uint64_t limit = MaxInfoFileSize(doc.imageSize);
    if (static_cast<uint64_t>(merged) > limit) {
        frame.ShowMessage(Format(kTooLarge, path.c_str(), static_cast<unsigned long long>(merged),
                                 static_cast<unsigned long long>(limit)));
        return MergeOutcome::kTooLarge;
    }
    // What was taken before a damaged record stays, and the document says it changed.
    for (SectionChanges& changes : sections) {
        if (changes.Empty()) continue;
        changes.Apply();
        doc.SetModifiedFlag(true);
    }
    if (damaged) {
        frame.ShowMessage(path + docmsg::kCorrupted);
        frame.UpdateAllViews(doc);
        return MergeOutcome::kCorrupted;
    }
    // The RAM names are not merged. Halfwords marked only over there take its flag byte.
    for (uint32_t i = 0; i < count; ++i) {
        if ((otherFlags[i] & flagbits::kUserMark) && !(doc.flags[i] & flagbits::kUserMark))
            doc.flags[i] = otherFlags[i];
    }
    FinishStep(doc);
    return MergeOutcome::kMerged;
}

MergeOutcome MergeInfoFile(CTravikDoc& doc, const std::string& path) {
    FrameServices& frame = doc.Frame();
    frame.SetStatusText("Merging " + path + "...");
    std::string bytes;
    const ReadOutcome read = ReadWholeFile(path, bytes, MaxInfoFileSize(doc.imageSize));
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
    auto fix = [&](uint32_t i) {
        if ((doc.flags[i] & flagbits::kUserMark) && startsWith(doc.headers.Find(i), "Routine"))
            doc.flags[i] &= static_cast<uint8_t>(~flagbits::kUserMark);
        if ((doc.flags[i] & flagbits::kUserMark) &&
            startsWith(doc.footers.Find(i), docmsg::kEndRoutine))
            doc.flags[i] &= static_cast<uint8_t>(~flagbits::kUserMark);
    };
    doc.headers.ForEach([&](uint32_t i, const std::string&) { fix(i); });
    doc.footers.ForEach([&](uint32_t i, const std::string&) { fix(i); });
    doc.SetModifiedFlag(true);
    doc.RebuildJumpList();
}
