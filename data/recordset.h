#pragma once
// Our stand-in for the recordset the grid binds to: the rows of a statement,
// read whole or (for large rowid tables) in pages, and written back
// row by row through the row writer.
#include "connection.h"
#include "rowanchor.h"
#include "rowview.h"
#include "rowstore.h"
#include "rowwriter.h"
#include "tableshape.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class PageCache;
class OrderedRows;

namespace ADODB {

// One row of a block of writes (a paste, a Replace All): a row of the table
// with the identity it was shown with when the block began, or a new row.
struct BlockRow {
    qsizetype row = -1;                  // -1: a new row
    std::optional<RowIdentity> identity; // an existing row: who it was (unset: `why` says why it is not known)
    QString why;
    PackedChanges changes;
};

// A row before and after a write, for taking the write back: no `before` for
// a row added, no `after` for a row deleted.
struct RowImage {
    std::optional<RowIdentity> before, after;
};

struct BlockOutcome {
    std::vector<RowImage> written;
    std::vector<std::pair<size_t, QString>> refused; // the block's row and the database's reason
};

// Runs as a block's transaction is about to begin, every identity taken
// (tests change the file there, between our read and our write).
void setBlockObserver(std::function<void()> observer);

class RecordSet {
public:
    RecordSet();
    ~RecordSet();
    RecordSet(const RecordSet&) = delete;
    RecordSet& operator=(const RecordSet&) = delete;

    // The whole table (or view), the open connection, the cursor type and the lock type.
    void Open(const QString& table, std::shared_ptr<Connection> connection, int cursorType, int lockType);
    void Close();
    bool isOpen() const { return open_; }
    // Takes over the rows of a statement that has been executed (read-only).
    void openRowset(odbc::Statement& statement);

    // Reading row by row.
    bool isEOF() const { return !open_ || position_ >= recordCount(); }
    QString Field(const QString& name) const;
    void MoveNext();

    // What the grid binds to.
    int columnCount() const { return int(columns_.size()); }
    QString columnName(int column) const { return columns_.value(column); }
    // The record count; while a large table's count is still being taken, an estimate.
    qsizetype recordCount() const;
    // Takes the count if it has arrived meanwhile; true when recordCount() changed.
    bool pollCount();
    bool countKnown() const;
    // Waits until recordCount() is exact.
    void waitForCount();
    // Whether the last records can be shown before the count arrives; they then
    // stand where the estimate puts them, and once the count has arrived the
    // records from `from` on are found `delta` records away (PageCache).
    bool endReadableUncounted() const;
    std::optional<TailShift> takeTailShift();
    bool isBlob(qsizetype row, int column) const; // reading a page may throw
    QString text(qsizetype row, int column) const; // the displayed text; reading a page may throw
    // The displayed text as the UTF-8 bytes stored (valid until the next read);
    // false for a BLOB, whose displayed text is a marker.
    bool textBytes(qsizetype row, int column, std::string_view* bytes) const;
    // Whether the rows are read in pages rather than all at once.
    bool isPaged() const { return cache_ || ordered_; }

    // The order and filter the rows are shown in, found by the database (a
    // plain view: the table's own order, every row). A large table's order is
    // built on other connections (OrderedRows): its first rows, then the whole
    // order, arrive through pollCount; until then countKnown() is false.
    // Rows read whole are read again so. Throws where the view cannot be shown.
    void setView(const RowView& view);
    const RowView& view() const { return view_; }
    // Whether the view's order is wholly built (its count may be exact before).
    bool viewReady() const;
    // Stops building the order: the view shown before is shown again at once
    // (an order that was built is kept until the next one is).
    void cancelView();
    // Whether a row of an order was deleted by another program since the order was built.
    bool isGone(qsizetype row) const;
    // The first record from `from` on (forward) or back holding the text, in
    // the order shown, found by the database, with the cells that hold it;
    // none where there is none or keepGoing said to stop (asked every few
    // milliseconds while the database searches).
    std::optional<FoundRow> find(qsizetype from, bool forward, const FindText& text,
                                 const std::function<bool()>& keepGoing);
    // Rows read in pages follow the file (see PageCache): the reading that
    // positions belong to, asking whether another program wrote the file, and
    // finding rows again by who they are. Rows read whole are kept as read.
    quint64 generation() const;
    bool followFile(bool settle = false);
    RowAnchor anchorAt(qsizetype row) const; // reading a page may throw
    std::vector<AnchorPlace> place(const std::vector<RowAnchor>& anchors) const;
    bool samePage(qsizetype a, qsizetype b) const;
    // Whether rows are shown where they stood until their true places are counted.
    bool pinned() const;
    // Rows that could not be read are read again at once, not a few seconds on (PageCache).
    void readAgain();

    // Called with rows read so far and all rows (0 when not known) while opening.
    std::function<void(qsizetype, qsizetype)> Progress;

    // Tables and views with more rows than threshold are read in pages, of
    // which at most maxPages are kept; pageRows 0 sizes pages by the
    // table's width.
    static void setPaging(qsizetype threshold, qsizetype pageRows, size_t maxPages = 16);
    // A find is cut into pieces of this many rowids at least, this many at most (0: one per core).
    static void setSearchPieces(quint64 rowidsPerPiece, int mostPieces);
    // An order or a filter reads and searches the table a piece of this many rows at a time at most.
    static void setOrderPieces(qsizetype rows);
    RowKey rowKey() const { return shape_.key; }
    bool canUpdate() const { return writer_ && shape_.canUpdate; }
    bool canInsert() const { return writer_ && shape_.canInsert; }
    bool canDelete() const { return writer_ && shape_.canDelete; }
    // Why rows cannot be changed, deleted or added here.
    QString readOnlyReason() const;

    // The write path. identify takes the identity of a row as shown (throws
    // when the table no longer holds it so); Update, AddNew and Delete are
    // each one transaction that must touch exactly one row per record, or
    // nothing is written and an AppError says why. After a write the row is
    // read back, so the rows hold what the database stored.
    StoredRecord identify(qsizetype row);
    // Who each of the rows is (for a block), many read at once; unset where a
    // row no longer holds what is shown. Throws where a row cannot be read.
    std::vector<std::optional<RowIdentity>> identifyRows(const std::vector<qsizetype>& rows);
    StoredRecord Update(qsizetype row, const RowIdentity& identity, const RowChanges& changes);
    StoredRecord AddNew(const RowChanges& values);
    // Returns who the rows deleted were.
    std::vector<RowIdentity> Delete(std::vector<qsizetype> rows);
    // Writes a block of rows as one transaction, each row a savepoint of its
    // own: a row refused (by the database, or because it no longer holds what
    // it held when the block began) is undone alone and listed, the others
    // are committed together. keepGoing is asked after each row; when it says
    // stop, nothing is written and AppError is thrown.
    BlockOutcome writeBlock(std::vector<BlockRow> rows, const std::function<bool(size_t done)>& keepGoing);
    // Puts rows back as they were before a step of writes (`undo`), or as
    // they were after it: one transaction, all or nothing. A row that another
    // program changed or deleted since (or whose rowid it took) is refused,
    // and nothing is written. The rows shown are read again.
    void applyImages(const std::vector<RowImage>& rows, bool undo, const std::function<bool(size_t done)>& keepGoing);
    // Shows the row as the table holds it now (after a refused write was undone).
    void reload(qsizetype row);

    // The text a typed value is written as: empty text is NULL outside text columns.
    CellValue typedValue(int column, const QString& text) const;

private:
    void describeColumns(odbc::Statement& statement, int leading);
    void openRowidTable();
    bool holdsMoreThan(qsizetype rows) const;
    void openPaged(const QString& alias); // empty alias: by position
    void readWhole(); // the rows of a table read whole, in the view's order and under its filter
    QStringList quotedColumns() const;
    // Where a row is read from: the table's quoted name, and its identity's columns for an order.
    QStringList identityColumns() const;
    // Runs a write of ours with no order being built beside it.
    template <typename Write> void writing(Write write);
    // A block: one transaction, pages not read while it is open.
    template <typename Write> void writingBlock(Write write);
    const RowStore& storeFor(qsizetype row, qsizetype* index) const;
    std::optional<qint64> rowidAt(qsizetype row) const;
    void storeRecord(qsizetype row, std::optional<qint64> oldRowid, const StoredRecord& record);
    void storeAdded(const StoredRecord& record); // a row we added, shown
    // The row writer, where rows may be changed so; before a write, readers on
    // other connections are waited for.
    const RowWriter& writer(bool allowed, bool writing = true) const;

    std::shared_ptr<Connection> connection_;
    bool open_ = false;
    QStringList columns_;
    QStringList declaredTypes_;
    RowStore store_;             // every row, when not read in pages
    std::vector<qint64> rowids_;
    std::unique_ptr<PageCache> cache_;
    std::unique_ptr<OrderedRows> ordered_;
    std::unique_ptr<OrderedRows> orderedBefore_; // the order shown before the one being built
    RowView viewBefore_;
    bool paged_ = false; // large: read in pages (by cache_, or by ordered_ under a view)
    RowView view_;
    quint64 viewGeneration_ = 0;
    qsizetype position_ = 0;

    TableShape shape_;
    std::unique_ptr<RowWriter> writer_;
};

} // namespace ADODB
