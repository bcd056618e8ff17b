#include "rowwindow.h"

#include "error.h"

#include <limits>

void FetchRows(odbc::Statement& st, const QList<bool>& blobColumns, RowStore& store, std::vector<qint64>* rowids)
{
    const int leading = rowids ? 1 : 0;
    const int n = st.columnCount();
    std::string buffer;
    while (st.fetch()) {
        if (rowids) {
            st.getData(0, buffer);
            rowids->push_back(std::strtoll(buffer.c_str(), nullptr, 10));
        }
        store.beginRow();
        for (int i = leading; i < n; ++i) {
            const bool present = st.getData(i, buffer, blobColumns.value(i - leading));
            store.addCell(buffer.data(), buffer.size(), !present);
        }
        store.endRow();
    }
}

RowWindow::RowWindow(MakeStatement statement, QString quotedTable, QString alias, QList<bool> blobColumns,
                     qsizetype count, qsizetype pageRows, size_t maxPages, OpenReader openReader)
    : statement_(std::move(statement)), quotedTable_(std::move(quotedTable)), alias_(std::move(alias)),
      blobColumns_(std::move(blobColumns)), count_(count), pageRows_(std::max<qsizetype>(1, pageRows)),
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
    fresh.rows = RowStore(int(blobColumns_.size()));
    odbc::Statement st = statement();
    st.execute(QLatin1String("SELECT ") + alias_ + QLatin1String(", * FROM ") + quotedTable_
                   + QLatin1String(" WHERE ") + alias_ + QLatin1String(" >= ? ORDER BY ") + alias_
                   + QLatin1String(" LIMIT ") + QString::number(pageRows_) + QLatin1String(" OFFSET ")
                   + QString::number(skipPages * pageRows_) + QLatin1Char(';'),
               {odbc::Param::text(QByteArray::number(start))});
    FetchRows(st, blobColumns_, fresh.rows, &fresh.rowids);
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

void RowWindow::replaceRow(qsizetype row, const std::vector<CellValue>& cells)
{
    discardReadAhead();
    qsizetype index = 0;
    locate(row, &index);
    pages_.at(row / pageRows_).rows.replaceRow(index, cells);
}

void RowWindow::forgetFrom(qsizetype first)
{
    discardReadAhead();
    lastIndex_ = -1;
    lastPage_ = nullptr;
    pages_.erase(pages_.lower_bound(first), pages_.end());
    starts_.erase(starts_.upper_bound(first), starts_.end()); // the page's own start stays valid
}

void RowWindow::rowAppended()
{
    // The new row comes after every other: only the last page changes.
    forgetFrom(count_ / pageRows_);
    ++count_;
}

void RowWindow::rowsRemoved(const std::vector<qsizetype>& rows)
{
    if (rows.empty())
        return;
    // Everything from the first removed row on moves up.
    forgetFrom(*std::min_element(rows.begin(), rows.end()) / pageRows_);
    count_ -= qsizetype(rows.size());
}
