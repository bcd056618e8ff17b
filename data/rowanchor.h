#pragma once
// Who stands at a place of a table read in pages, taken while the grid shows
// it, so that the same row is found again after the file changed under us
// (another program's commit, or our own write that moved rows).
#include "rowstore.h"

#include <QtGlobal>
#include <optional>

struct RowAnchor {
    qsizetype position = -1;     // where the row stood when taken (-1: nothing taken)
    quint64 generation = 0;      // the reading of the file that position belongs to
    std::optional<qint64> rowid; // tables read by rowid
    StoredRow cells;             // what the row held (its key among them)
    bool isSet() const { return position >= 0; }
};

// Rows that stood elsewhere than shown: from `from` on, `delta` positions away.
struct TailShift {
    qsizetype from;
    qsizetype delta;
};

// Where an anchored row stands now: its position, or, where it is gone, the
// position of the row that followed it (present false).
struct AnchorPlace {
    qsizetype position = 0;
    bool present = false;
};
