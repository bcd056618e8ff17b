#include "edithistory.h"

namespace {
size_t sizeOf(const std::optional<ADODB::RowIdentity>& row)
{
    size_t bytes = 0;
    // (What the allocator adds to each block is counted too.)
    if (row)
        bytes += row->values.heldBytes() + 32;
    return bytes;
}
} // namespace

EditHistory::EditHistory(size_t maxSteps, size_t maxBytes) : maxSteps_(maxSteps), maxBytes_(maxBytes) {}

void EditHistory::push(std::vector<ADODB::RowImage> rows)
{
    if (rows.empty())
        return;
    while (steps_.size() > done_) {
        bytes_ -= steps_.back().bytes;
        steps_.pop_back();
    }
    EditStep step{std::move(rows), 0};
    for (const ADODB::RowImage& row : step.rows)
        step.bytes += sizeOf(row.before) + sizeOf(row.after) + sizeof(row);
    if (step.bytes > maxBytes_) {
        // Too large to keep: the steps before it could no longer be undone in order either.
        clear();
        return;
    }
    bytes_ += step.bytes;
    steps_.push_back(std::move(step));
    ++done_;
    while (steps_.size() > maxSteps_ || bytes_ > maxBytes_) {
        bytes_ -= steps_.front().bytes;
        steps_.pop_front();
        --done_;
    }
}

void EditHistory::clear()
{
    steps_.clear();
    done_ = 0;
    bytes_ = 0;
}
