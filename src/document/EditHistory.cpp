#include "document/EditHistory.h"

namespace {

// What one kept step costs: its bytes, its label and the strings that hold them.
template <class Entry>
size_t Cost(const Entry& e) {
    return sizeof(Entry) + e.bytes.capacity() + (e.label.size() > 15 ? e.label.capacity() : 0);
}

}  // namespace

void EditHistory::Push(std::deque<Entry>& list, const EditStep& step) {
    Entry entry{step.label, EncodeStep(step)};
    entry.bytes.shrink_to_fit();
    bytes_ += Cost(entry);
    list.push_back(std::move(entry));
    Trim();
}

std::optional<EditStep> EditHistory::Take(std::deque<Entry>& list) {
    if (list.empty()) return std::nullopt;
    std::optional<EditStep> step = DecodeStep(list.back().bytes);
    bytes_ -= Cost(list.back());
    list.pop_back();
    return step;
}

void EditHistory::Made(const EditStep& undo) {
    if (savedDepth_ > static_cast<int64_t>(undo_.size())) savedDepth_ = -1;  // the saved state is on the redo list
    for (const Entry& entry : redo_) bytes_ -= Cost(entry);
    redo_.clear();
    Push(undo_, undo);
}

std::optional<EditStep> EditHistory::TakeUndo() { return Take(undo_); }
std::optional<EditStep> EditHistory::TakeRedo() { return Take(redo_); }
void EditHistory::Undone(const EditStep& redo) { Push(redo_, redo); }
void EditHistory::Redone(const EditStep& undo) { Push(undo_, undo); }
std::string EditHistory::UndoLabel() const { return undo_.empty() ? std::string() : undo_.back().label; }
std::string EditHistory::RedoLabel() const { return redo_.empty() ? std::string() : redo_.back().label; }

void EditHistory::Clear() {
    undo_.clear();
    redo_.clear();
    bytes_ = 0;
    savedDepth_ = 0;
}

// The oldest undo steps go first; the redo list is never cut, as it was just made by
// taking back those the user still wants.
void EditHistory::Trim() {
    while (bytes_ > budget_ && undo_.size() > 1) {
        bytes_ -= Cost(undo_.front());
        undo_.pop_front();
        savedDepth_ = savedDepth_ > 0 ? savedDepth_ - 1 : -1;
    }
}
