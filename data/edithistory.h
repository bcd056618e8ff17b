#pragma once
// The steps of writes a table window can take back and make again: each a
// committed row edit, a new row, a delete of rows, a paste or a Replace All,
// as the rows were before and after it. Bounded by steps and by the bytes
// the images hold; the oldest steps go first.
#include "recordset.h"

#include <deque>

struct EditStep {
    std::vector<ADODB::RowImage> rows;
    size_t bytes = 0; // (set by push)
};

class EditHistory {
public:
    explicit EditHistory(size_t maxSteps = 100, size_t maxBytes = size_t(64) << 20);

    // A new step: what was undone can no longer be made again.
    void push(std::vector<ADODB::RowImage> rows);
    void clear();
    bool canUndo() const { return done_ > 0; }
    bool canRedo() const { return done_ < steps_.size(); }
    const EditStep& toUndo() const { return steps_[done_ - 1]; }
    const EditStep& toRedo() const { return steps_[done_]; }
    // The step was taken back, or made again.
    void undone() { --done_; }
    void redone() { ++done_; }
    size_t steps() const { return steps_.size(); }
    size_t bytes() const { return bytes_; }

private:
    size_t maxSteps_, maxBytes_;
    std::deque<EditStep> steps_;
    size_t done_ = 0; // the steps before this one are done; the ones from it on were undone
    size_t bytes_ = 0;
};
