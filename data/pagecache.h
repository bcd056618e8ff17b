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
//
// Everything cached (pages, page starts, the count) holds for one reading of
// the file, its generation. Before a page is read, and whenever asked
// (followFile), the database is asked whether another connection has written
// the file since; if so, all of it is dropped, the count is taken again and
// the generation moves on. Positions of one generation mean nothing in the
// next: a row taken with anchorAt is found again by its identity with place.
// Far from the table's start (rowid tables), place does not wait for the rows
// before an anchor to be counted: the rows around it are placed where it stood
// (pinned), another connection counts the rows before it meanwhile, and when
// that count arrives the pinned rows move to their true positions (a new
// generation whose anchors are moved alike, without counting again).
// The pieces on their own: PageStore (the pages held), PageStarts (where a
// page starts), RowCounter (the count), TailEstimate (the last pages before
// the count), RowPin (the pinned rows).
#include "backgroundread.h"
#include "odbc.h"
#include "pagestarts.h"
#include "pagestore.h"
#include "reader.h"
#include "rowcount.h"
#include "rowanchor.h"
#include "rowpin.h"
#include "rowstore.h"
#include "tailestimate.h"

#include <QDeadlineTimer>
#include <QString>
#include <QStringList>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <utility>

class PageCache {
public:
    using MakeStatement = std::function<odbc::Statement()>;

    // source is the quoted table or view; alias names its rowid, or is empty
    // to read by position. minimumRows: how many rows the source is known to
    // hold at least (the first estimate of the count). With openReader, the
    // count is taken on another connection, and a table read page after page
    // in order (as an export does) has its next pages read meanwhile.
    // keyOrder: by position, the key columns ("a", "b") whose order the rows
    // are read in; pages near the end are then read from the end backwards.
    // keyDescending: by key column, those the key orders descending (the
    // database's own order follows them).
    PageCache(MakeStatement statement, QString source, QString alias, int columns, qsizetype pageRows,
              size_t maxPages, qsizetype minimumRows, OpenReader openReader = nullptr, QStringList keyOrder = {},
              std::vector<bool> keyDescending = {});
    ~PageCache();
    PageCache(const PageCache&) = delete;
    PageCache& operator=(const PageCache&) = delete;

    bool byRowid() const { return !alias_.isEmpty(); }
    // How a row is found again: its key's columns among the cells (tables
    // read by position in key order), and whether a rowid may be given to
    // another row (no INTEGER PRIMARY KEY: VACUUM renumbers rowids).
    void setIdentity(std::vector<int> keyColumns, bool rowidsRenumbered);
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
    bool endReadableUncounted() const { return tail_.active() && !countKnown_; }
    // The move of those rows, once, after the count arrived.
    std::optional<TailShift> takeTailShift() { return tail_.takeShift(); }

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

    // The reading of the file that positions belong to.
    quint64 generation() const { return generation_; }
    // Asks the database whether another connection has written the file since
    // it was last asked, or pinned rows took their true positions; when so,
    // starts a new generation. True then. settle: waits for the pinned rows'
    // true positions (before a write, which needs them).
    bool followFile(bool settle = false) const;
    // Our own write moved rows to other positions: a new generation (the count stays).
    void rowsMoved();
    // Who stands at the row now. Throws AppError.
    RowAnchor anchorAt(qsizetype row) const;
    // Where the anchored rows stand in this generation.
    std::vector<AnchorPlace> place(const std::vector<RowAnchor>& anchors) const;
    bool samePage(qsizetype a, qsizetype b) const { return a / pageRows_ == b / pageRows_; }
    // Whether the row's page is held (what a write changes of a row not held is read when its page is).
    bool holdsPageOf(qsizetype row) const { return pages_.holds(row / pageRows_); }
    // Anchors closer than this to the table's start are counted at once; further
    // ones are pinned (above). The first anchor given to place is pinned by preference.
    // (Returns the value it replaces.)
    static qsizetype setPinFrom(qsizetype rows) { return std::exchange(pinFrom, rows); }
    bool pinned() const { return pin_.active(); }
    // The user came back to rows that could not be read: they are read again at once.
    void readAgain() { heldUntil_ = QDeadlineTimer(); }
    // While a block of ours is written in one transaction, this connection
    // sees rows not counted yet: no page is read until the block has ended
    // and its rows are taken in.
    void holdReads(bool held) { readsHeld_ = held; }
    // Drops the pages being read ahead (before the table is written, and
    // whenever the rows they hold may have moved).
    void discardReadAhead() const;

private:
    struct Page {
        RowStore rows;
        std::vector<qint64> rowids;
    };
    Page& page(qsizetype index) const;
    // By rowid: the page that starts skipPages pages after the first row >= start.
    // By position: the page that starts at row start + skipPages pages. Safe on any thread.
    // knownCount (by position, -1 when not known) lets a page near the end be read backwards.
    Page readPage(const MakeStatement& statement, qint64 start, qsizetype skipPages = 0,
                  qsizetype knownCount = -1) const;
    // What a page read needs, shared with reads on other threads (which may outlive this object).
    struct Layout {
        QString source;
        QString alias;
        QStringList keyOrder;
        QString forward, backward; // the key's ORDER BY terms, and the same turned round
        int columns;
        qsizetype pageRows;
    };
    using Run = std::function<void(odbc::Statement&, const QString&, const std::vector<odbc::Param>&)>;
    static Page readPage(const Layout& layout, const MakeStatement& statement, const Run& run, qint64 start,
                         qsizetype skipPages, qsizetype knownCount);
    static bool readsFromEnd(const Layout& layout, qint64 position, qsizetype knownCount);
    void readAhead(qsizetype index) const;
    // By position in key order: whether the row is read back from the end, nearer to it.
    bool readsFromEnd(qint64 position, qsizetype knownCount) const;
    // The count a page is placed by: exact, or the span estimate until the count arrives.
    qsizetype endCount() const { return countKnown_ || tail_.active() ? count_ : -1; }
    qint64 pageStart(qsizetype index) const;
    // Forgets every page and page start that a change at this rowid moves.
    void forgetFromRowid(qint64 rowid);
    void forgetAll() const;
    void startCount() const;
    // The count has arrived: true when count() changed.
    bool takeCount(CountedRows counted);
    qint64 dataVersion() const;
    // Counts of the rows before each key, in key order (keys given sorted);
    // without fromStart, of the rows from the first key on.
    std::vector<qsizetype> rowsBefore(const std::vector<const RowAnchor*>& sorted, bool fromStart) const;
    bool holdsKey(const RowAnchor& anchor) const;
    QString keyCondition(const char* comparison, const RowAnchor& anchor, std::vector<odbc::Param>& params) const;
    bool keyLess(const RowAnchor& a, const RowAnchor& b) const;
    // place, pinned where the anchor stood; false where it cannot be (then counted).
    bool placePinned(const std::vector<RowAnchor>& anchors, const std::vector<const RowAnchor*>& keyed,
                     const std::vector<bool>& present, std::vector<AnchorPlace>& places) const;
    // The first row of the page before the pinned ones, stepping back from them.
    std::optional<qint64> startBefore(qint64 rowid, qsizetype rows) const;
    // The pinned rows take their true positions once the rows before the pin are counted.
    bool settlePin() const;
    // Whether a page starts a run of pages placed otherwise than from the table's start.
    bool startsRun(qsizetype index) const { return tail_.startsAt(index) || (pinned() && index == pin_.fromPage()); }
    bool checkVersion() const;
    Reader* reader(int which) const;
    static inline qsizetype pinFrom = 100000;

    MakeStatement statement_;
    QString source_;
    QString alias_;
    QStringList keyOrder_;
    std::vector<bool> keyDescending_;
    int columns_;
    std::vector<int> keyColumns_;
    bool rowidsRenumbered_ = false;
    mutable qsizetype count_ = 0;
    mutable bool countKnown_ = false;
    // The count, taken on another connection (and for a view its last page).
    mutable RowCounter counter_;
    mutable quint64 generation_ = 0;
    mutable qint64 dataVersion_ = 0;
    // The file could not be read when last asked (another program held it?): why, and until when not to ask.
    mutable QDeadlineTimer heldUntil_;
    mutable QString heldWhy_;
    bool readsHeld_ = false;
    qint64 minRowid_ = 0, maxRowid_ = 0;
    mutable bool spanCurrent_ = true; // minRowid_ and maxRowid_ are this generation's
    qsizetype pageRows_;
    mutable TailEstimate tail_;
    mutable PageStore<Page> pages_;
    mutable PageStarts starts_;
    mutable RowPin pin_;

    mutable OpenReader openReader_;
    // Reading on other connections: two pages ahead (by the page's parity), the count, and the pin's count.
    mutable Reader readers_[4];
    std::shared_ptr<const Layout> layout_;
    mutable std::map<qsizetype, Pending<Page>> ahead_;
    mutable qsizetype lastRead_ = -1;
};
