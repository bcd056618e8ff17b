#pragma once
// The rows of a large table or view in an order and under a filter of the
// user's, found by the database. The identities of the matching rows are
// listed once, in order, in a temporary table on a connection of their own
// (built on another thread, interruptible); a row's place is its place in
// that list, so every jump, the end and the count are immediate once it is
// built, and another program's changes never move a row: a row it deletes
// stays in its place, shown as gone, and the rows it adds are not listed
// until the order is built again. Meanwhile the first rows are read on a
// second connection, so they show before the whole order is known.
//
// Rowid tables list rowids and tables without a rowid their keys, each
// joined to the table when a page is read (what is shown is the table as it
// is now); a view has no identity, so its rows themselves are listed.
#include "backgroundread.h"
#include "pagestore.h"
#include "piecegate.h"
#include "rowfilter.h"
#include "rowstore.h"

#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class OrderedRows {
public:
    enum class Identity { Rowid, Key, Cells };
    struct Source {
        QString table;        // the quoted name
        Identity identity = Identity::Cells;
        QString alias;        // Rowid: how the rowid is named
        QStringList columns;  // quoted, in the grid's order
        std::vector<int> keyColumns; // Key: the key's columns
        std::vector<bool> keyDescending; // Key: by key column, declared DESC (the table's own order)
        QStringList collations; // by column, as declared ("" when none)
    };

    // knownRows: the table's row count where it is known (-1: not); an order
    // that an index serves, with no filter, is then read straight from the
    // index wherever the user goes, until its list is built.
    OrderedRows(OpenReader openReader, Source source, RowView view, qsizetype pageRows, size_t maxPages,
                qsizetype knownRows = -1);
    ~OrderedRows();
    OrderedRows(const OrderedRows&) = delete;
    OrderedRows& operator=(const OrderedRows&) = delete;

    const RowView& view() const { return view_; }
    // How many rows of a rowid table one read takes at most while the order is
    // built (returns the value it replaces).
    static qsizetype setPieceRows(qsizetype rows) { return std::exchange(pieceRows, rows); }
    // Whether the whole order is listed.
    bool ready() const { return ready_; }
    // Whether count() is exact (once listed; before, where the table's count is).
    bool countExact() const { return ready_ || readsByIndex_; }
    // Takes the first rows or the whole list where they have arrived; true
    // when count() changed. Throws where the order could not be built.
    bool poll();
    // Waits for the whole list. Throws where it could not be built.
    void wait();
    // Stops building (Esc): the rows listed so far stay.
    void cancel();
    bool cancelled() const { return cancelled_; }
    // The rows listed (before the list is ready: the first rows read).
    qsizetype count() const { return count_; }

    // The store holding the row and its index there; loads the page. Throws AppError.
    const RowStore& locate(qsizetype row, qsizetype* index) const;
    std::optional<qint64> rowid(qsizetype row) const;
    // The row was deleted by another program since the order was built.
    bool isGone(qsizetype row) const;

    // Our own writes: a row changed stays in its place (its identity renewed
    // in the list), a row added is listed last, deleted rows leave the list.
    // (A row of a page not held may come without its cells where the list
    // holds rowids: it is read when shown.)
    void rowUpdated(qsizetype row, const StoredRow& cells, std::optional<qint64> rowid,
                    std::optional<qint64> previousRowid);
    void rowAdded(const StoredRow& cells, std::optional<qint64> rowid);
    void rowsDeleted(const std::vector<qsizetype>& rows);
    void forgetRow(qsizetype row);
    bool holdsPageOf(qsizetype row) const { return pages_.holds(row / pageRows_); }
    bool listsRowids() const { return source_.identity == Identity::Rowid; }
    // A write of ours is about to run: the build is interrupted (it holds the
    // file's read lock); resume starts it again, the first rows kept where
    // they were shown.
    void pauseForWrite();
    void resume();
    // Drops the pages read where another connection wrote the file since.
    bool followFile() const;

    // The first row from `from` on (forward) or back that holds the text,
    // in this order; searched on the list's connection while keepGoing says
    // so (none when it stopped). Waits for the list.
    std::optional<FoundRow> find(qsizetype from, bool forward, const FindText& text,
                                 const std::function<bool()>& keepGoing);

private:
    struct Page {
        RowStore rows;
        std::vector<qint64> rowids;
        std::vector<char> gone;
    };
    // keptAreAll: the rows kept first are every row of the view (no need to read the table).
    void startBuild(bool keptAreAll = false);
    qsizetype firstLimit() const { return std::min<qsizetype>(pageRows_, 300); } // a screenful and more
    void startFirstRows();
    bool indexServes() const;
    QString identityColumns() const;  // the list's columns besides pos
    QString identityOf(const QString& table) const; // the same values, of the table
    QString pageQuery() const;
    // A rowid table's rowids and sort keys, copied aside to be sorted: the
    // table, with each key column's collation, and their order.
    QString keysTable(const QString& name) const;
    QString keysOrder(const QString& prefix) const;
    QStringList keysIdentity(const QString& prefix) const; // the identity's columns there
    QString keysOf() const; // the identity and the sort keys, of the table
    QStringList keyNames() const; // Key: the key's columns, quoted, in key order
    bool piecesByKey() const;     // read a piece of the key at a time

    qint64 positionOf(qsizetype row) const; // the list's pos of a row
    qsizetype rowOf(qint64 position) const;
    Page& page(qsizetype index) const;
    // Before the list is built: a page read from the index, from whichever end is nearer.
    Page readByIndex(qsizetype index) const;
    // The order's keys and the rowid, whose row value runs in the order (or
    // against it) where every key runs the same way (keyset reads).
    std::optional<QString> keysetAfter() const;
    Page readFromList(qsizetype index) const;
    static Page takePage(odbc::Statement& st, int columns); // (of pageQuery)
    QString reversedOrder() const;
    void dropPagesFrom(qsizetype index) const;
    std::vector<odbc::Param> identityParams(const StoredRow& cells, std::optional<qint64> rowid) const;
    odbc::Statement listStatement() const;

    static inline qsizetype pieceRows = 250000;
    static constexpr qsizetype kFirstRowsReach = 1000000; // rowids sought for a filter's first rows
    OpenReader openReader_;
    Source source_;
    RowView view_;
    FilterSql filter_;
    QString order_;
    // The list's order where a filter is set: the table scanned and the matches sorted.
    QString scannedOrder_;
    QStringList identity_; // the identity's columns, the order's last keys
    int columns_;
    qsizetype pageRows_;

    Reader list_;                           // where the list is kept
    mutable Reader indexReader_;            // reading from the index until the list is built
    std::shared_ptr<BackgroundRead> build_; // the list being built
    std::shared_ptr<BackgroundRead> first_; // the first rows, read beside it
    std::shared_ptr<PieceGate> pieces_ = std::make_shared<PieceGate>(); // (keeps the two in step)
    std::shared_ptr<Page> firstRows_;       // (filled by first_)
    struct Built {
        qint64 highest = 0; // the list's highest pos
        qint64 version = 0; // the file's data_version when the first page was read
        Page firstPage;
    };
    std::shared_ptr<Built> buildListed_;    // (filled by build_)
    std::vector<qint64> keptFirst_;         // rowids shown first, kept first when the build starts again
    bool ready_ = false;
    bool cancelled_ = false;
    bool paused_ = false;
    // An index serves the order: the first rows come from it at once, and the
    // list is built after them rather than beside them.
    bool buildAfterFirst_ = false;
    bool indexed_ = false;      // an index serves the order
    bool readsByIndex_ = false; // (see the constructor)
    qsizetype count_ = 0;
    qint64 listed_ = 0;                     // the list's highest pos
    std::vector<qint64> holes_;             // positions of rows deleted by us (sorted)
    mutable qint64 dataVersion_ = 0;
    mutable PageStore<Page> pages_;
};
