#pragma once
// The rows of a table or view counted on a connection of its own, on another
// thread. A rowid table is counted in pieces of rowids, each a short read, so
// that another program's write never waits long for it; anything else in one
// statement that gives way to such a write and then counts again. A view's
// last page can be read beside its count, so that its end shows at once.
#include "backgroundread.h"
#include "reader.h"
#include "rowstore.h"

#include <QString>
#include <functional>
#include <optional>

struct CountedRows {
    qsizetype rows = 0;
    qsizetype lastIndex = -1; // the last page's index (-1: not read)
    RowStore last;
};

struct CountQuery {
    QString source;  // the quoted table or view
    QString alias;   // how its rowid is named (empty: none)
    int columns = 0;
    qsizetype pageRows = 0; // (above 0: the last page is read too, where there are more rows than one page)
    qsizetype pieceRows = 1000000; // rowids counted in one read
};

// The statement counting every row at once (the same count, taken on the caller's connection).
QString CountStatement(const CountQuery& query);
Pending<CountedRows> CountRows(const Reader& reader, const CountQuery& query);

// The count of one table or view, one at a time: a count asked for while
// another is on its way follows it (the one on its way belongs to an older
// reading of the file and is dropped when it arrives). Without a connection
// of its own, the rows are counted at once on the reading one; so they are
// where the count failed there (a write of ours that came between starts it
// again instead).
class RowCounter {
public:
    RowCounter(CountQuery query, std::function<odbc::Statement()> statement);
    // Asks for a count on the reader's connection; without one, counts here and returns it.
    std::optional<CountedRows> start(Reader* reader);
    // The count asked for last, once it has arrived (nothing meanwhile).
    // Throws where it could not be taken here either.
    std::optional<CountedRows> take(Reader* reader);
    bool running() const { return counting_.valid(); }
    void wait() const;

private:
    CountedRows countHere() const;

    CountQuery query_;
    std::function<odbc::Statement()> statement_;
    Pending<CountedRows> counting_;
    bool stale_ = false;
};
