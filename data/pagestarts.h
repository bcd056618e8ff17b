#pragma once
// Where each page of a table read in rowid order starts: page i holds the
// rows from the first one at or after its start. Page 0 always has one. Where
// the rowids run without a gap from the first row to the last, every start
// follows from the first without a read.
#include <QtGlobal>
#include <limits>
#include <map>
#include <optional>
#include <utility>

class PageStarts {
public:
    explicit PageStarts(qsizetype pageRows);

    // Only page 0's start is known: the first rowid (or the smallest there is).
    void restart(qint64 first = std::numeric_limits<qint64>::min());
    // The rowids run without a gap from `first`, `rows` of them.
    void setDense(qint64 first, qsizetype rows) { dense_ = Dense{first, rows}; }
    void set(qsizetype page, qint64 start) { starts_[page] = start; }

    // The page's start where it was set.
    std::optional<qint64> known(qsizetype page) const;
    // The page's start where it was set or follows from gapless rowids (then kept).
    std::optional<qint64> find(qsizetype page);
    // The nearest page before this one whose start is known, and its start.
    std::pair<qsizetype, qint64> before(qsizetype page) const { return *std::prev(starts_.lower_bound(page)); }
    // The same, this page included.
    std::pair<qsizetype, qint64> atOrBefore(qsizetype page) const { return *std::prev(starts_.upper_bound(page)); }
    // Whether a start is known for this page or one after it.
    bool anyFrom(qsizetype page) const { return starts_.lower_bound(page) != starts_.end(); }

    // A row at this rowid came, went or changed: a start means "the first row
    // at or after it", which stays true up to the rowid; those past it go.
    void forgetPast(qint64 rowid);
    // The starts from this page on go.
    void forgetFrom(qsizetype page);
    // The starts of the pages strictly between these two go.
    void forgetBetween(qsizetype after, qsizetype before);
    // Every start but page 0's goes.
    void forgetAll();

private:
    struct Dense {
        qint64 first;
        qsizetype rows;
    };
    qsizetype pageRows_;
    std::map<qsizetype, qint64> starts_;
    std::optional<Dense> dense_;
};
