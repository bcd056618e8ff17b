#pragma once
// Before a table read in pages is counted, the span of its integer keys
// (rowids, or one integer key) stands for the count where the keys could be
// dense, so that its last rows show at once: the pages near the end are read
// back from the end, at the positions that estimate gives them. This keeps
// which pages stand so; when the count arrives and differs, they move by the
// difference, once.
#include "rowanchor.h"

#include <QtGlobal>
#include <algorithm>
#include <optional>
#include <utility>

class TailEstimate {
public:
    explicit TailEstimate(qsizetype pageRows) : pageRows_(pageRows) {}

    // The keys run from low to high: the count that span gives where it is
    // larger than `count` (then the estimate holds), else `count`.
    qsizetype fromSpan(qint64 low, qint64 high, qsizetype count);
    // Whether the count is the span's estimate.
    bool active() const { return active_; }
    // The span no longer stands for the count (the file changed, or a first page says otherwise).
    void drop() { active_ = false; }

    // A page read back from the estimated end.
    void mark(qsizetype page) { from_ = from_ < 0 ? page : std::min(from_, page); }
    // The first page read back from the end, if any.
    std::optional<qsizetype> first() const { return from_ < 0 ? std::nullopt : std::optional(from_); }
    bool startsAt(qsizetype page) const { return from_ >= 0 && page == from_; }
    // Every page read back from the end is gone.
    void forget() { from_ = -1; }

    // The count has arrived: where it differs from the estimate, the first
    // page read back from the end (it and the pages after it stand elsewhere
    // now, shifted as takeShift says). Afterwards nothing stands so.
    std::optional<qsizetype> place(qsizetype estimate, qsizetype count);
    // How the rows placed from the end moved, once.
    std::optional<TailShift> takeShift() { return std::exchange(shift_, std::nullopt); }

private:
    qsizetype pageRows_;
    bool active_ = false;
    qsizetype from_ = -1;
    std::optional<TailShift> shift_;
};
