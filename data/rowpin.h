#pragma once
// Rows far from a table's start, placed where the user saw them before the
// rows before them are counted: the pages from fromPage() on stand so that
// the pinned row is at `at`. The rows before it are counted on another
// connection meanwhile; when that count arrives the pin settles, and the
// pinned rows (and the anchors placed while they were pinned) move to their
// true positions.
#include "backgroundread.h"
#include "reader.h"
#include "rowanchor.h"

#include <QString>
#include <optional>

class RowPin {
public:
    // source is the quoted table, alias names its rowid.
    RowPin(QString source, QString alias, qsizetype pageRows);

    bool active() const { return fromPage_ >= 0; }
    qsizetype fromPage() const { return fromPage_; }
    // The pinned pages reach back to this earlier page.
    void reachBack(qsizetype page) { fromPage_ = page; }
    // Pins the row with this rowid at `at`, its pages from fromPage on, and
    // counts the rows before it on the reader's connection.
    void set(qsizetype fromPage, qsizetype at, qint64 rowid, Reader& reader);
    // The rows are placed from the table's start again; a count on its way
    // belongs to the pin that went and is dropped when it arrives.
    void clear();

    bool counting() const { return count_.valid(); }
    void wait() const;

    struct Settled {
        bool failed = false;     // not counted: every row is to be placed again by counting
        qsizetype fromPage = -1; // the pages from here on moved (-1: none moved)
    };
    // Takes the count once it has arrived. The pin then ends: the pinned rows
    // stand where they were put, or moved (positions of `generation` from the
    // first pinned row on, by the difference). A count of an older pin, or
    // one a write of ours interrupted, is taken again on the reader.
    Settled settle(Reader* reader, quint64 generation);
    // Where an anchor taken in the generation the pin last moved stands in the next one.
    std::optional<qsizetype> movedPosition(const RowAnchor& anchor, quint64 generation) const;

private:
    void startCount(Reader* reader);

    QString sql_;
    qsizetype pageRows_;
    qsizetype fromPage_ = -1;
    qsizetype at_ = 0;
    qint64 rowid_ = 0;
    Pending<qsizetype> count_; // the rows before the pinned row
    bool stale_ = false;       // the count on its way belongs to an older pin
    struct Moved {
        quint64 generation;
        qsizetype from;
        qsizetype delta;
    };
    std::optional<Moved> moved_;
};
