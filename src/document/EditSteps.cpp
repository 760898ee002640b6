// A document's steps: one user action made of Applies, taken back and made again, and
// kept in the journal as it is made.
#include <algorithm>
#include <ctime>
#include <iterator>
#include <unordered_map>

#include "document/CTravikDoc.h"
#include "document/DocumentMessages.h"
#include "document/InfoFile.h"
#include "document/Journal.h"
#include "shell/Format.h"
#include "shell/FrameServices.h"

namespace {

std::string LocalTime(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    char text[32] = "";
    if (localtime_r(&t, &local) != nullptr) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

}  // namespace

std::string StepLabel(const CTravikDoc& doc, const char* what, uint32_t offset) {
    return Format("%s at %08X", what, doc.DisplayedAddress(offset));
}

std::string CTravikDoc::JournalPath() const {
    std::string path = InfoPathFor(pathName_);
    const size_t dot = path.rfind('.');
    return (dot != std::string::npos && dot > path.rfind('/') + 1 ? path.substr(0, dot) : path) + ".jnl";
}

void CTravikDoc::BeginStep(std::string label, uint32_t focus) {
    openStep_ = EditStep{std::move(label), focus, static_cast<int64_t>(std::time(nullptr)), {}};
    openInverse_.clear();
}

void CTravikDoc::EndStep() {
    if (!openStep_) return;
    EditStep step = std::move(*openStep_);
    openStep_.reset();
    // A step that changed nothing (a text committed as it was) is none.
    bool changed = false;
    for (size_t i = 0; i < step.edits.size() && !changed; ++i) {
        const std::vector<DocEdit::Part>& back = openInverse_[i].parts;  // in reverse order
        changed = !std::equal(back.rbegin(), back.rend(), step.edits[i].parts.begin(),
                              step.edits[i].parts.end());
    }
    if (!changed) return;
    EditStep undo{step.label, step.focus, step.time, {}};
    undo.edits.assign(std::make_move_iterator(openInverse_.rbegin()),
                      std::make_move_iterator(openInverse_.rend()));
    openInverse_.clear();
    history_.Made(undo);
    AppendToJournal(step);
    frame_.StepsChanged(*this);
}

EditStep CTravikDoc::ApplyStep(const EditStep& step) {
    EditStep back{step.label, step.focus, static_cast<int64_t>(std::time(nullptr)), {}};
    for (const DocEdit& edit : step.edits) back.edits.push_back(Apply(edit));
    std::reverse(back.edits.begin(), back.edits.end());
    return back;
}

// As ApplyStep for each step, but the texts go into their tables in one sorted pass at
// the end (one by one, each would shift a table's sorted lists: a long journal would
// replay in time that grows with the square of its length).
void CTravikDoc::ReplaySteps(std::vector<EditStep>& steps) {
    // The texts as the steps so far leave them, by kind << 32 | halfword index.
    std::unordered_map<uint64_t, std::string> texts;
    texts.reserve(steps.size());
    uint8_t after = 0;
    for (EditStep& step : steps) {
        EditStep undo{std::move(step.label), step.focus, step.time, {}};
        for (const DocEdit& edit : step.edits) {
            DocEdit inverse;
            inverse.after = edit.after;
            after |= edit.after;
            for (const DocEdit::Part& part : edit.parts) {
                const auto* t = std::get_if<DocEdit::Texts>(&part);
                if (t == nullptr) {
                    inverse.parts.push_back(std::visit([&](const auto& p) { return ApplyPart(p); }, part));
                    continue;
                }
                const AnnotationTable& table = Texts(t->kind);
                DocEdit::Texts old{t->kind, {}};
                for (const auto& [index, text] : t->entries) {
                    if (index >= table.HalfwordCount()) continue;
                    auto [at, fresh] = texts.try_emplace(uint64_t{static_cast<uint8_t>(t->kind)} << 32 | index);
                    if (const std::string* was = fresh ? table.Find(index) : nullptr) at->second = *was;
                    old.entries.emplace_back(index, at->second);
                    at->second = text;
                }
                inverse.parts.push_back(std::move(old));
            }
            std::reverse(inverse.parts.begin(), inverse.parts.end());
            undo.edits.push_back(std::move(inverse));
        }
        std::reverse(undo.edits.begin(), undo.edits.end());
        history_.Made(undo);
    }
    std::vector<std::pair<uint64_t, std::string>> sorted(std::make_move_iterator(texts.begin()),
                                                          std::make_move_iterator(texts.end()));
    texts = {};
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    DocEdit final;
    for (auto& [key, text] : sorted) {
        const auto kind = static_cast<DocEdit::TextKind>(key >> 32);
        auto* last = final.parts.empty() ? nullptr : std::get_if<DocEdit::Texts>(&final.parts.back());
        if (last == nullptr || last->kind != kind) last = &std::get<DocEdit::Texts>(final.parts.emplace_back(DocEdit::Texts{kind, {}}));
        last->entries.emplace_back(static_cast<uint32_t>(key), std::move(text));
    }
    final.after = after & DocEdit::kJumpList;
    Apply(final);
}

void CTravikDoc::AppendToJournal(const EditStep& step) {
    const std::string error = journal_.Append(step);
    if (!error.empty()) frame_.ShowMessage(Format(docmsg::kJournalFailed, error.c_str()));
}


void CTravikDoc::JournalSaved() {
    history_.MarkSaved();
    const std::string error = journal_.CutTo(0);
    if (!error.empty()) frame_.ShowMessage(Format(docmsg::kJournalFailed, error.c_str()));
}

void CTravikDoc::CloseJournal() {
    if (IsModified() && history_.CanUndo() && journal_.Exists()) {
        std::string error;
        journal_.KeepAsOld(error);
    } else {
        journal_.CutTo(0);
    }
    journal_.Close();
    history_.Clear();
}

std::optional<uint32_t> CTravikDoc::Undo() { return TakeStep(false); }
std::optional<uint32_t> CTravikDoc::Redo() { return TakeStep(true); }

// The newest step of one list is applied, and what takes it back goes on the other.
std::optional<uint32_t> CTravikDoc::TakeStep(bool redo) {
    std::optional<EditStep> step = redo ? history_.TakeRedo() : history_.TakeUndo();
    if (!step) return std::nullopt;
    const EditStep back = ApplyStep(*step);
    if (redo)
        history_.Redone(back);
    else
        history_.Undone(back);
    AppendToJournal(*step);
    SetModifiedFlag(!history_.AtSavedState());
    frame_.StepsChanged(*this);
    return step->focus;
}

void CTravikDoc::RecoverJournal() {
    history_.Clear();
    journal_.Attach({}, {}, {});
    if (!keepJournal_) return;
    const std::string path = JournalPath();
    journal_.Attach(path, journal::Header(image_, imageSize_), flashIdentity_);
    std::string bytes;
    // Far more than any session writes; a larger file is not read whole.
    constexpr uint64_t kMaxJournal = uint64_t{1} << 30;
    const ReadOutcome outcome = ReadWholeFile(path, bytes, kMaxJournal);
    if (outcome.kind == ReadOutcome::kMissing) return;
    journal::Contents contents;
    if (outcome.kind == ReadOutcome::kOk)
        contents = journal::Read(bytes, journal::Header(image_, imageSize_));
    else
        contents.kind = journal::Contents::kUnreadable;
    bytes = {};
    std::string error;
    auto keep = [&](const char* message) {
        const std::string kept = journal_.KeepAsOld(error);
        frame_.ShowMessage(kept.empty() ? error : Format(message, path.c_str(), kept.c_str()));
    };
    if (contents.kind == journal::Contents::kOtherImage) return keep(docmsg::kJournalOtherImage);
    if (contents.kind == journal::Contents::kUnreadable) return keep(docmsg::kJournalUnreadable);
    if (contents.droppedBytes != 0)
        frame_.ShowMessage(Format(docmsg::kJournalTailDropped, path.c_str(),
                                  static_cast<unsigned long long>(contents.droppedBytes)));
    if (contents.steps.empty()) {
        if (contents.droppedBytes != 0) keep(docmsg::kJournalKept);
        return;
    }
    const std::string question = Format(docmsg::kRecoverQuestion, contents.steps.size(),
                                        LocalTime(contents.steps.back().time).c_str());
    if (!frame_.AskYesNo(question)) return keep(docmsg::kJournalKept);
    ReplaySteps(contents.steps);
    SetModifiedFlag(true);
    if (contents.droppedBytes != 0) {
        error = journal_.CutTo(contents.goodBytes);
        if (!error.empty()) frame_.ShowMessage(Format(docmsg::kJournalFailed, error.c_str()));
    }
}
