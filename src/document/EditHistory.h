#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "document/EditStep.h"

// The undo and redo lists of one document. Each entry is a step kept as its compact
// bytes (EncodeStep), holding the edits that take it back (on the undo list) or make it
// again (on the redo list). The lists hold any number of steps up to a memory budget;
// past it the oldest undo steps go first.
class EditHistory {
  public:
    static constexpr size_t kDefaultBudget = size_t{48} << 20;
    explicit EditHistory(size_t budget = kDefaultBudget) : budget_(budget) {}

    // A new step was made: `undo` takes it back. The redo list is emptied.
    void Made(const EditStep& undo);
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    // The label of the step Undo / Redo would take; empty when there is none.
    std::string UndoLabel() const;
    std::string RedoLabel() const;
    // Takes the newest step off the undo list: the caller applies its edits in order and
    // hands what they return to Undone, which puts that on the redo list.
    std::optional<EditStep> TakeUndo();
    void Undone(const EditStep& redo);
    // The same, the other way.
    std::optional<EditStep> TakeRedo();
    void Redone(const EditStep& undo);

    // The document was saved as it stands now, or opened.
    void MarkSaved() { savedDepth_ = static_cast<int64_t>(undo_.size()); }
    // True when the steps made since the save are all taken back (and none further).
    bool AtSavedState() const { return savedDepth_ == static_cast<int64_t>(undo_.size()); }
    void Clear();

    size_t Steps() const { return undo_.size() + redo_.size(); }
    size_t Bytes() const { return bytes_; }

  private:
    struct Entry {
        std::string label;  // kept apart, as the menus ask for it often
        std::string bytes;
    };
    void Push(std::deque<Entry>& list, const EditStep& step);
    std::optional<EditStep> Take(std::deque<Entry>& list);
    void Trim();

    std::deque<Entry> undo_;  // oldest first
    std::deque<Entry> redo_;  // the next step to redo last
    size_t bytes_ = 0;
    size_t budget_;
    // The undo depth that matches the saved file; -1 when no depth does (a step made
    // after undoing below it, or the oldest steps dropped).
    int64_t savedDepth_ = 0;
};
