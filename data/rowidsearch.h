#pragma once
// A search of a rowid table for the first row, in rowid order either way from
// a rowid on, that matches a condition. The rowids ahead are cut into pieces
// searched side by side, each on a connection of its own (a long search uses
// every core); the first piece in the search's order holding a match gives
// the row, and the pieces after it are then interrupted.
#include "odbc.h"
#include "reader.h"

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct RowidSearch {
    QString table; // quoted
    QString alias; // its rowid
    QString cells; // an expression giving back what the found row holds
    std::vector<odbc::Param> cellParams;
    QString where; // the condition
    std::vector<odbc::Param> whereParams;
    qint64 from = 0; // the rowid searched from, itself included
    bool forward = true;
};

struct RowidFound {
    qint64 rowid = 0;
    qsizetype position = 0; // the rows before it in rowid order
    std::string cells;
};

// How many pieces a search of `rowids` rowids is cut into: one per core (four
// at most), each of a quarter of a million rowids at least.
int SearchPieces(quint64 rowids);
// Sets the rowids of a piece at least and the pieces at most (0: as many as
// there are cores). Returns the former pair.
std::pair<quint64, int> SetSearchPieces(quint64 rowidsPerPiece, int mostPieces);
// lastRowid: the table's last rowid that way (max forward, min backward).
// The row found; nothing where none matches, or the search was cancelled
// (keepGoing said no, or a write of ours came between). Throws AppError.
std::optional<RowidFound> SearchByRowid(const OpenReader& open, const RowidSearch& search, qint64 lastRowid,
                                        const std::function<bool()>& keepGoing);
