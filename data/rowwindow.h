#pragma once
// The rows of a large table or view, read on demand in pages and kept in a
// bounded cache. Row i is row i % pageRows of page i / pageRows.
//  - By rowid (rowid tables): pages keyed by rowid value in the table's own
//    order, so rows inserted or deleted by others never shift a row's identity.
//    A page's first rowid is found directly where rowids are dense, else from
//    the nearest one known (or from the end of the table) stepping with OFFSET.
//  - By position (views, tables without a rowid): pages by OFFSET in the
//    statement's own order.
// The row count is not waited for: the first page is read at once, and the
// count arrives from another connection meanwhile (pollCount).
#include "odbc.h"
#include "rowstore.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <utility>

class RowWindow {
public:
    using MakeStatement = std::function<odbc::Statement()>;
    // A connection of its own, for reading beside the first.
    struct Reader {
        std::shared_ptr<void> connection;
        MakeStatement statement;
    };
    using OpenReader = std::function<Reader()>;

    // source is the quoted table or view; alias names its rowid, or is empty
    // to read by position. minimumRows: how many rows the source is known to
    // hold at least (the first estimate of the count). With openReader, the
    // count is taken on another connection, and a table read page after page
    // in order (as an export does) has its next pages read meanwhile.
    // keyOrder: by position, the key columns ("a", "b") whose order the rows
    // are read in; pages near the end are then read from the end backwards.
    RowWindow(MakeStatement statement, QString source, QString alias, int columns, qsizetype pageRows,
              size_t maxPages, qsizetype minimumRows, OpenReader openReader = nullptr, QStringList keyOrder = {});
    ~RowWindow();
    RowWindow(const RowWindow&) = delete;
    RowWindow& operator=(const RowWindow&) = delete;

    bool byRowid() const { return !alias_.isEmpty(); }
    // The row count: exact once countKnown(), an estimate before.
    qsizetype count() const { return count_; }
    bool countKnown() const { return countKnown_; }
    // Takes the count if it has arrived; true when count() changed.
    bool pollCount();
    // Waits for the count (what needs every row, such as an export).
    void waitForCount();
    // Whether the last rows can be shown before the count arrives: a rowid
    // table, or one read in the order of one integer key, whose span is the
    // estimate. Pages near the end are then read back from the end, at the
    // positions the estimate gives them; when the count arrives, the rows from
    // `from` on stand `delta` positions elsewhere.
    bool endReadableUncounted() const { return spanEstimate_ && !countKnown_; }
    struct TailShift {
        qsizetype from;
        qsizetype delta;
    };
    // The move of those rows, once, after the count arrived.
    std::optional<TailShift> takeTailShift() { return std::exchange(tailShift_, std::nullopt); }

    // The store holding the row and its index there; loads the page. Throws AppError.
    const RowStore& locate(qsizetype row, qsizetype* index) const;
    qint64 rowid(qsizetype row) const;

    // A row written: its cells are replaced where the row still stands in a
    // cached page; a changed rowid moves it, so the pages from there are read again.
    void updateRow(qsizetype row, qint64 oldRowid, qint64 newRowid, const StoredRow& cells);
    // A row inserted with that rowid (by position: anywhere), wherever it falls in the order.
    void rowInserted(std::optional<qint64> rowid);
    // Rows deleted, by rowid (by position: the rows' positions).
    void rowsDeleted(const std::vector<qint64>& rowids);
    // Drops the cached page holding the row, so it is read again when shown.
    void forgetRow(qsizetype row);
    size_t pagesCached() const { return pages_.size(); }
    // Drops the pages being read ahead (before the table is written, and
    // whenever the rows they hold may have moved).
    void discardReadAhead() const;

private:
    struct Page {
        RowStore rows;
        std::vector<qint64> rowids;
        quint64 lastUse = 0;
    };
    struct Counted {
        qsizetype rows = 0;
        qsizetype lastIndex = -1;
        Page last;
    };
    Page& page(qsizetype index) const;
    // By rowid: the page that starts skipPages pages after the first row >= start.
    // By position: the page that starts at row start + skipPages pages. Safe on any thread.
    // knownCount (by position, -1 when not known) lets a page near the end be read backwards.
    Page readPage(const MakeStatement& statement, qint64 start, qsizetype skipPages = 0,
                  qsizetype knownCount = -1) const;
    void readAhead(qsizetype index) const;
    void estimateFromSpan(qint64 low, qint64 high);
    // The page is counted back from the estimated end, until the count arrives.
    void markTail(qsizetype index) const;
    // By position in key order: whether the row is read back from the end, nearer to it.
    bool readsFromEnd(qint64 position, qsizetype knownCount) const;
    // The count a page is placed by: exact, or the span estimate until the count arrives.
    qsizetype endCount() const { return countKnown_ || spanEstimate_ ? count_ : -1; }
    qint64 pageStart(qsizetype index) const;
    // Forgets every page and page start that a change at this rowid moves.
    void forgetFromRowid(qint64 rowid);
    // The count has arrived: pages counted back from the estimated end move.
    void placeTail(qsizetype estimate);
    void forgetAll();
    Reader* reader(int which) const;

    MakeStatement statement_;
    QString source_;
    QString alias_;
    QStringList keyOrder_;
    int columns_;
    qsizetype count_ = 0;
    bool countKnown_ = false;
    // The count, taken on another connection (and for a view its last page).
    struct Counted;
    std::future<Counted> counting_;
    // Rowids from first to first + count - 1, each present: a row's rowid is known without a search.
    mutable std::optional<qint64> denseFrom_;
    qint64 minRowid_ = 0, maxRowid_ = 0;
    bool spanEstimate_ = false;
    // The first page read back from the estimated end while the count was on its way (-1: none).
    mutable qsizetype tailFrom_ = -1;
    std::optional<TailShift> tailShift_;
    qsizetype pageRows_;
    size_t maxPages_;
    mutable std::map<qsizetype, Page> pages_;
    mutable std::map<qsizetype, qint64> starts_; // page -> its first rowid (rows >= it)
    mutable quint64 clock_ = 0;
    mutable qsizetype lastIndex_ = -1; // the page asked for last, found again at once
    mutable Page* lastPage_ = nullptr;

    mutable OpenReader openReader_;
    // Reading on other connections: two pages ahead (by the page's parity), and the count.
    mutable Reader readers_[3];
    mutable std::map<qsizetype, std::future<Page>> ahead_;
    mutable qsizetype lastRead_ = -1;
};
