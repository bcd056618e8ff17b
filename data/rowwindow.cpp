#include "rowwindow.h"

#include "error.h"
#include "fetch.h"

#include <limits>

RowWindow::RowWindow(MakeStatement statement, QString quotedTable, QString alias, int columns,
                     qsizetype count, qsizetype pageRows, size_t maxPages, OpenReader openReader)
    : statement_(std::move(statement)), quotedTable_(std::move(quotedTable)), alias_(std::move(alias)),
      columns_(columns), count_(count), pageRows_(std::max<qsizetype>(1, pageRows)),
      maxPages_(std::max<size_t>(2, maxPages)), openReader_(std::move(openReader))
{
    starts_[0] = std::numeric_limits<qint64>::min();
}

RowWindow::~RowWindow() { discardReadAhead(); }

void RowWindow::discardReadAhead() const
{
    for (auto& [index, page] : ahead_) {
        try {
            page.get();
        } catch (...) {
        }
    }
    ahead_.clear();
}

RowWindow::Page RowWindow::readPage(const MakeStatement& statement, qint64 start, qsizetype skipPages) const
{
    Page fresh;
    fresh.rows = RowStore(columns_);
    odbc::Statement st = statement();
    st.execute(QLatin1String("SELECT ") + alias_ + QLatin1String(", * FROM ") + quotedTable_
                   + QLatin1String(" WHERE ") + alias_ + QLatin1String(" >= ? ORDER BY ") + alias_
                   + QLatin1String(" LIMIT ") + QString::number(pageRows_) + QLatin1String(" OFFSET ")
                   + QString::number(skipPages * pageRows_) + QLatin1Char(';'),
               {odbc::Param::text(QByteArray::number(start))});
    FetchRows(st, fresh.rows, &fresh.rowids);
    return fresh;
}

void RowWindow::readAhead(qsizetype index) const
{
    if (index * pageRows_ >= count_ || pages_.count(index) || ahead_.count(index))
        return;
    Reader& reader = readers_[index % 2];
    try {
        if (!reader.statement)
            reader = openReader_();
    } catch (...) {
        openReader_ = nullptr; // no second connection: read in turn, as before
        return;
    }
    // From the nearest page start known before it, stepping over the pages between.
    const auto known = std::prev(starts_.upper_bound(index));
    ahead_.emplace(index, std::async(std::launch::async,
                                     [this, statement = reader.statement, from = known->second,
                                      skip = index - known->first] { return readPage(statement, from, skip); }));
}

qint64 RowWindow::pageStart(qsizetype index) const
{
    if (const auto known = starts_.find(index); known != starts_.end())
        return known->second;
    // Step from the nearest page start known before it.
    const auto before = std::prev(starts_.lower_bound(index));
    odbc::Statement st = statement_();
    st.execute(QLatin1String("SELECT ") + alias_ + QLatin1String(" FROM ") + quotedTable_ + QLatin1String(" WHERE ")
                   + alias_ + QLatin1String(" >= ? ORDER BY ") + alias_ + QLatin1String(" LIMIT 1 OFFSET ?;"),
               {odbc::Param::text(QByteArray::number(before->second)),
                odbc::Param::text(QByteArray::number((index - before->first) * pageRows_))});
    std::string buffer;
    if (!st.fetch() || !st.getData(0, buffer))
        throw AppError(QStringLiteral("The row is no longer in the table: it was deleted by another program."));
    const qint64 start = std::strtoll(buffer.c_str(), nullptr, 10);
    starts_[index] = start;
    return start;
}

RowWindow::Page& RowWindow::page(qsizetype index) const
{
    if (index == lastIndex_ && lastPage_)
        return *lastPage_;
    if (auto found = pages_.find(index); found != pages_.end()) {
        found->second.lastUse = ++clock_;
        lastIndex_ = index;
        lastPage_ = &found->second;
        return found->second;
    }
    Page fresh;
    bool ready = false;
    if (auto pending = ahead_.find(index); pending != ahead_.end()) {
        try {
            fresh = pending->second.get();
            ready = true;
        } catch (...) {
            // read again below, where a failure reaches the caller
        }
        ahead_.erase(pending);
    } else {
        discardReadAhead();
    }
    if (!ready)
        fresh = readPage(statement_, pageStart(index));
    if (fresh.rows.rows() == pageRows_ && fresh.rowids.back() < std::numeric_limits<qint64>::max())
        starts_[index + 1] = fresh.rowids.back() + 1;
    if (pages_.size() >= maxPages_) {
        auto oldest = pages_.begin();
        for (auto it = pages_.begin(); it != pages_.end(); ++it)
            if (it->second.lastUse < oldest->second.lastUse)
                oldest = it;
        pages_.erase(oldest);
    }
    fresh.lastUse = ++clock_;
    Page& added = pages_.emplace(index, std::move(fresh)).first->second;
    lastIndex_ = index;
    lastPage_ = &added;
    // Reading on in order: the next page is read on another thread meanwhile.
    if (openReader_ && lastRead_ >= 0 && index == lastRead_ + 1) {
        readAhead(index + 1);
        readAhead(index + 2);
    }
    lastRead_ = index;
    return added;
}

const RowStore& RowWindow::locate(qsizetype row, qsizetype* index) const
{
    if (row < 0 || row >= count_)
        throw AppError(QStringLiteral("Row %1 is outside the table.").arg(row));
    const Page& p = page(row / pageRows_);
    *index = row % pageRows_;
    if (*index >= p.rows.rows())
        throw AppError(QStringLiteral("The row is no longer in the table: it was deleted by another program."));
    return p.rows;
}

qint64 RowWindow::rowid(qsizetype row) const
{
    qsizetype index = 0;
    locate(row, &index);
    return pages_.at(row / pageRows_).rowids[size_t(index)];
}

void RowWindow::updateRow(qsizetype row, qint64 oldRowid, qint64 newRowid, const StoredRow& cells)
{
    discardReadAhead();
    if (oldRowid != newRowid) {
        forgetFromRowid(std::min(oldRowid, newRowid));
        return;
    }
    const auto found = pages_.find(row / pageRows_);
    if (found == pages_.end())
        return;
    Page& p = found->second;
    const qsizetype index = row % pageRows_;
    if (index < p.rows.rows() && p.rowids[size_t(index)] == oldRowid)
        p.rows.replaceRow(index, cells);
    else
        forgetFromRowid(oldRowid);
}

void RowWindow::forgetFromRowid(qint64 rowid)
{
    discardReadAhead();
    lastIndex_ = -1;
    lastPage_ = nullptr;
    // A page start means "the first row at or after this rowid": it stays true
    // up to the changed rowid. A page that is not full, or whose rows reach the
    // changed rowid, is read again.
    for (auto it = std::next(starts_.begin()); it != starts_.end();)
        it = it->second > rowid ? starts_.erase(it) : std::next(it);
    for (auto it = pages_.begin(); it != pages_.end();) {
        const Page& p = it->second;
        const bool moved = p.rowids.empty() || p.rows.rows() < pageRows_ || p.rowids.back() >= rowid;
        it = moved ? pages_.erase(it) : std::next(it);
    }
}

void RowWindow::rowInserted(qint64 rowid)
{
    forgetFromRowid(rowid);
    ++count_;
}

void RowWindow::rowsDeleted(const std::vector<qint64>& rowids)
{
    if (rowids.empty())
        return;
    forgetFromRowid(*std::min_element(rowids.begin(), rowids.end()));
    count_ = std::max<qsizetype>(0, count_ - qsizetype(rowids.size()));
}

void RowWindow::forgetRow(qsizetype row)
{
    discardReadAhead();
    lastIndex_ = -1;
    lastPage_ = nullptr;
    pages_.erase(row / pageRows_);
}
