#pragma once
// The rows of a large rowid table, read on demand in pages keyed by rowid (in
// the table's own order) and kept in a bounded cache. Row i of the table is row
// i % pageRows of page i / pageRows; a page's first rowid is found from the last
// one known, stepping over the rows between with OFFSET.
#include "odbc.h"
#include "rowstore.h"

#include <QList>
#include <functional>
#include <future>
#include <map>
#include <memory>

class RowWindow {
public:
    using MakeStatement = std::function<odbc::Statement()>;
    // A second connection of its own, for reading ahead beside the first.
    struct Reader {
        std::shared_ptr<void> connection;
        MakeStatement statement;
    };
    using OpenReader = std::function<Reader()>;

    // quotedTable and alias name the table and its rowid; count is its row count.
    // With openReader, a table read page after page in order (as an export
    // does) has its next page read on another thread meanwhile.
    RowWindow(MakeStatement statement, QString quotedTable, QString alias, int columns,
              qsizetype count, qsizetype pageRows, size_t maxPages, OpenReader openReader = nullptr);
    ~RowWindow();
    RowWindow(const RowWindow&) = delete;
    RowWindow& operator=(const RowWindow&) = delete;

    qsizetype count() const { return count_; }
    // The store holding the row and its index there; loads the page. Throws AppError.
    const RowStore& locate(qsizetype row, qsizetype* index) const;
    qint64 rowid(qsizetype row) const;

    // A row written: its cells are replaced where the row still stands in a
    // cached page; a changed rowid moves it, so the pages from there are read again.
    void updateRow(qsizetype row, qint64 oldRowid, qint64 newRowid, const StoredRow& cells);
    // A row inserted with that rowid, wherever it falls in the table's order.
    void rowInserted(qint64 rowid);
    // Rows deleted, by rowid.
    void rowsDeleted(const std::vector<qint64>& rowids);
    // Drops the cached page holding the row, so it is read again when shown.
    void forgetRow(qsizetype row);
    size_t pagesCached() const { return pages_.size(); }
    // Drops a page being read ahead (before the table is written, and whenever
    // the rows it holds may have moved).
    void discardReadAhead() const;

private:
    struct Page {
        RowStore rows;
        std::vector<qint64> rowids;
        quint64 lastUse = 0;
    };
    Page& page(qsizetype index) const;
    // The page that starts skipPages pages after the first row >= start; safe on any thread.
    Page readPage(const MakeStatement& statement, qint64 start, qsizetype skipPages = 0) const;
    void readAhead(qsizetype index) const;
    qint64 pageStart(qsizetype index) const;
    // Forgets every page and page start that a change at this rowid moves.
    void forgetFromRowid(qint64 rowid);

    MakeStatement statement_;
    QString quotedTable_;
    QString alias_;
    int columns_;
    qsizetype count_;
    qsizetype pageRows_;
    size_t maxPages_;
    mutable std::map<qsizetype, Page> pages_;
    mutable std::map<qsizetype, qint64> starts_; // page -> its first rowid (rows >= it)
    mutable quint64 clock_ = 0;
    mutable qsizetype lastIndex_ = -1; // the page asked for last, found again at once
    mutable Page* lastPage_ = nullptr;

    mutable OpenReader openReader_;
    // Two pages ahead are read at once, each on its own connection (by the page's parity).
    mutable Reader readers_[2];
    mutable std::map<qsizetype, std::future<Page>> ahead_;
    mutable qsizetype lastRead_ = -1;
};
