#include "pagecache.h"

#include "error.h"
#include "fetch.h"
#include "keyorder.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace {
constexpr qint64 kHeldFor = 5000; // ms
const QString kGone = QStringLiteral("The row is no longer in the table: it was deleted by another program.");

std::optional<qint64> number(odbc::Statement& st, int column)
{
    std::string buffer;
    if (!st.getData(column, buffer))
        return std::nullopt;
    return std::strtoll(buffer.c_str(), nullptr, 10);
}
} // namespace

PageCache::PageCache(MakeStatement statement, QString source, QString alias, int columns, qsizetype pageRows,
                     size_t maxPages, qsizetype minimumRows, OpenReader openReader, QStringList keyOrder,
                     std::vector<bool> keyDescending)
    : statement_(std::move(statement)), source_(std::move(source)), alias_(std::move(alias)),
      keyOrder_(std::move(keyOrder)), keyDescending_(std::move(keyDescending)), columns_(columns),
      // (A view has no order to read backwards: its last page is read beside the
      // count, so that the end of it shows at once.)
      counter_(CountQuery{source_, alias_, columns, alias_.isEmpty() && keyOrder_.isEmpty() ? std::max<qsizetype>(1, pageRows) : 0},
               statement_),
      pageRows_(std::max<qsizetype>(1, pageRows)), tail_(pageRows_), pages_(std::max<size_t>(2, maxPages)),
      starts_(pageRows_), pin_(source_, alias_, pageRows_),
      openReader_(std::move(openReader))
{
    keyDescending_.resize(size_t(keyOrder_.size()), false);
    std::vector<bool> reversed(keyDescending_.size());
    std::transform(keyDescending_.begin(), keyDescending_.end(), reversed.begin(), [](bool d) { return !d; });
    layout_ = std::make_shared<const Layout>(Layout{source_, alias_, keyOrder_, KeyOrder(keyOrder_, keyDescending_),
                                                    KeyOrder(keyOrder_, reversed), columns_, pageRows_});
    count_ = std::max<qsizetype>(minimumRows, 1);
    dataVersion_ = dataVersion();
    if (byRowid()) {
        odbc::Statement st = statement_();
        // Each on its own, so that both are read from the ends of the rowid order.
        st.execute(QLatin1String("SELECT (SELECT min(") + alias_ + QLatin1String(") FROM ") + source_
                   + QLatin1String("), (SELECT max(") + alias_ + QLatin1String(") FROM ") + source_ + QLatin1String(");"));
        const std::optional<qint64> low = st.fetch() ? number(st, 0) : std::nullopt;
        const std::optional<qint64> high = low ? number(st, 1) : std::nullopt;
        if (!low || !high) {
            count_ = 0;
            countKnown_ = true;
            return;
        }
        minRowid_ = *low;
        maxRowid_ = *high;
        count_ = tail_.fromSpan(minRowid_, maxRowid_, count_);
        starts_.set(0, minRowid_);
    } else if (keyOrder_.size() == 1) {
        // Read by position in the order of one key: where the key holds integers
        // only, their span is the first estimate, as for a rowid.
        odbc::Statement st = statement_();
        const QString& key = keyOrder_.front();
        st.execute(QLatin1String("SELECT typeof(a), a, typeof(b), b FROM (SELECT (SELECT ") + key
                   + QLatin1String(" FROM ") + source_ + QLatin1String(" ORDER BY ") + key
                   + QLatin1String(" LIMIT 1) AS a, (SELECT ") + key + QLatin1String(" FROM ") + source_
                   + QLatin1String(" ORDER BY ") + key + QLatin1String(" DESC LIMIT 1) AS b);"));
        std::string type;
        const bool low = st.fetch() && st.getData(0, type) && type == "integer";
        const std::optional<qint64> first = low ? number(st, 1) : std::nullopt;
        const bool high = first && st.getData(2, type) && type == "integer";
        const std::optional<qint64> last = high ? number(st, 3) : std::nullopt;
        if (first && last && *last >= *first)
            count_ = tail_.fromSpan(*first, *last, count_);
    }
    // The first page at once; a short one is the whole table.
    const Page& first = page(0);
    if (first.rows.rows() < pageRows_) {
        count_ = first.rows.rows();
        countKnown_ = true;
        return;
    }
    if (count_ <= pageRows_) {
        count_ = pageRows_ + 1; // a full page: more may follow
        tail_.drop();
    }
    startCount();
}

void PageCache::startCount() const
{
    // (Without a connection of its own, the count is taken here.)
    if (const std::optional<CountedRows> counted = counter_.start(reader(2))) {
        count_ = counted->rows;
        countKnown_ = true;
    }
}

// The counts and pages read on other threads are interrupted, not waited for.
PageCache::~PageCache() = default;

Reader* PageCache::reader(int which) const
{
    Reader& r = readers_[which];
    if (r.statement)
        return &r;
    if (!openReader_)
        return nullptr;
    try {
        r = openReader_();
        return &r;
    } catch (...) {
        openReader_ = nullptr; // no other connection: everything is read in turn on the first
        return nullptr;
    }
}

bool PageCache::pollCount()
{
    if (countKnown_)
        return false;
    std::optional<CountedRows> counted;
    try {
        counted = counter_.take(reader(2));
    } catch (...) {
        countKnown_ = true; // the count stays as it was, and why reaches the caller
        throw;
    }
    return counted && takeCount(std::move(*counted));
}

bool PageCache::takeCount(CountedRows counted)
{
    const qsizetype estimate = count_;
    count_ = counted.rows;
    if (counted.lastIndex >= 0 && !pages_.holds(counted.lastIndex))
        pages_.add(counted.lastIndex, Page{std::move(counted.last), {}});
    countKnown_ = true;
    if (const std::optional<qsizetype> from = tail_.place(estimate, count_)) {
        // The pages counted back from the estimated end stand elsewhere.
        discardReadAhead();
        pages_.eraseFrom(*from);
        starts_.forgetFrom(*from);
    }
    if (byRowid() && spanCurrent_ && count_ > 0 && quint64(maxRowid_) - quint64(minRowid_) == quint64(count_ - 1))
        starts_.setDense(minRowid_, count_);
    return count_ != estimate;
}

void PageCache::waitForCount()
{
    while (!countKnown_) {
        if (!counter_.running())
            startCount(); // (on this connection where there is no other)
        counter_.wait();
        pollCount();
    }
}

void PageCache::discardReadAhead() const
{
    for (auto& [index, page] : ahead_)
        page.cancel();
    for (auto& [index, page] : ahead_) {
        try {
            page.get();
        } catch (...) {
            // a page read ahead and dropped: it is read again when shown
        }
    }
    ahead_.clear();
}

bool PageCache::readsFromEnd(qint64 position, qsizetype knownCount) const
{
    return readsFromEnd(*layout_, position, knownCount);
}

bool PageCache::readsFromEnd(const Layout& layout, qint64 position, qsizetype knownCount)
{
    const qint64 fromEnd = knownCount - position;
    return layout.alias.isEmpty() && !layout.keyOrder.isEmpty() && knownCount >= 0 && fromEnd > 0 && fromEnd < position;
}

PageCache::Page PageCache::readPage(const MakeStatement& statement, qint64 start, qsizetype skipPages,
                                    qsizetype knownCount) const
{
    const Run execute = [](odbc::Statement& st, const QString& sql, const std::vector<odbc::Param>& params) {
        st.execute(sql, params);
    };
    return readPage(*layout_, statement, execute, start, skipPages, knownCount);
}

PageCache::Page PageCache::readPage(const Layout& layout, const MakeStatement& statement, const Run& run,
                                    qint64 start, qsizetype skipPages, qsizetype knownCount)
{
    const QString& source = layout.source;
    const QString& alias = layout.alias;
    const QStringList& keyOrder = layout.keyOrder;
    const qsizetype pageRows = layout.pageRows;
    Page fresh;
    fresh.rows = RowStore(layout.columns);
    odbc::Statement st = statement();
    if (alias.isEmpty()) {
        const qint64 position = start + skipPages * pageRows;
        const qint64 fromEnd = knownCount - position;
        if (readsFromEnd(layout, position, knownCount)) {
            // Nearer the end: read backwards in key order, then turned round.
            const qint64 rows = std::min<qint64>(pageRows, fromEnd);
            RowStore backwards(layout.columns);
            run(st, QLatin1String("SELECT * FROM ") + source + QLatin1String(" ORDER BY ") + layout.backward
                    + QLatin1String(" LIMIT ") + QString::number(rows)
                    + QLatin1String(" OFFSET ") + QString::number(fromEnd - rows) + QLatin1Char(';'),
                {});
            FetchRows(st, backwards, nullptr);
            for (qsizetype r = backwards.rows() - 1; r >= 0; --r)
                fresh.rows.appendRow(backwards.row(r));
            return fresh;
        }
        run(st, QLatin1String("SELECT * FROM ") + source
                + (keyOrder.isEmpty() ? QString() : QLatin1String(" ORDER BY ") + layout.forward)
                + QLatin1String(" LIMIT ") + QString::number(pageRows) + QLatin1String(" OFFSET ")
                + QString::number(position) + QLatin1Char(';'),
            {});
        FetchRows(st, fresh.rows, nullptr);
        return fresh;
    }
    run(st, QLatin1String("SELECT ") + alias + QLatin1String(", * FROM ") + source + QLatin1String(" WHERE ") + alias
            + QLatin1String(" >= ? ORDER BY ") + alias + QLatin1String(" LIMIT ") + QString::number(pageRows)
            + QLatin1String(" OFFSET ") + QString::number(skipPages * pageRows) + QLatin1Char(';'),
        {odbc::Param::text(QByteArray::number(start))});
    FetchRows(st, fresh.rows, &fresh.rowids);
    return fresh;
}

void PageCache::readAhead(qsizetype index) const
{
    if (index * pageRows_ >= count_ || pages_.holds(index) || ahead_.count(index))
        return;
    Reader* r = reader(int(index % 2));
    if (!r)
        return;
    qint64 from = index * pageRows_;
    qsizetype skip = 0;
    if (byRowid()) {
        // From the nearest page start known before it, stepping over the pages between.
        const auto [page, start] = starts_.atOrBefore(index);
        from = start;
        skip = index - page;
    }
    const qsizetype known = endCount();
    // (Nothing of this object is used on the other thread but the shared layout.)
    ahead_.emplace(index, Pending<Page>(*r, [layout = layout_, from, skip, known](BackgroundRead& read) {
                       const Run run = [&read](odbc::Statement& st, const QString& sql,
                                               const std::vector<odbc::Param>& params) { read.run(st, sql, params); };
                       return readPage(*layout, [&read] { return read.statement(); }, run, from, skip, known);
                   }));
}

qint64 PageCache::pageStart(qsizetype index) const
{
    if (!byRowid())
        return index * pageRows_;
    if (const std::optional<qint64> known = starts_.find(index))
        return *known;
    // Stepping from the nearest page start known before it, or back from the
    // end of the table or from the pinned pages where that is nearer.
    const auto [beforePage, beforeStart] = starts_.before(index);
    const qsizetype forward = (index - beforePage) * pageRows_;
    const qsizetype back = count_ - index * pageRows_ - 1;
    const qsizetype pinPage = pin_.fromPage();
    const std::optional<qint64> pinStart = pinned() ? starts_.known(pinPage) : std::nullopt;
    if (pinStart && index < pinPage && (pinPage - index) * pageRows_ < forward
        && !((countKnown_ || tail_.active()) && back >= 0 && back < (pinPage - index) * pageRows_)) {
        const std::optional<qint64> start = startBefore(*pinStart, (pinPage - index) * pageRows_);
        if (start) {
            // The pinned pages reach back to this one: what was read between from the start goes.
            pages_.eraseFrom(index, pinPage);
            starts_.forgetBetween(index, pinPage);
            pin_.reachBack(index);
            starts_.set(index, *start);
            return *start;
        }
    }
    odbc::Statement st = statement_();
    if ((countKnown_ || tail_.active()) && back >= 0 && back < forward && !(pinned() && index >= pinPage)) {
        if (!countKnown_)
            tail_.mark(index);
        st.execute(QLatin1String("SELECT ") + alias_ + QLatin1String(" FROM ") + source_ + QLatin1String(" ORDER BY ")
                       + alias_ + QLatin1String(" DESC LIMIT 1 OFFSET ?;"),
                   {odbc::Param::text(QByteArray::number(back))});
    } else {
        st.execute(QLatin1String("SELECT ") + alias_ + QLatin1String(" FROM ") + source_ + QLatin1String(" WHERE ")
                       + alias_ + QLatin1String(" >= ? ORDER BY ") + alias_ + QLatin1String(" LIMIT 1 OFFSET ?;"),
                   {odbc::Param::text(QByteArray::number(beforeStart)),
                    odbc::Param::text(QByteArray::number(forward))});
    }
    const std::optional<qint64> start = st.fetch() ? number(st, 0) : std::nullopt;
    if (!start)
        throw RowGoneError(kGone);
    starts_.set(index, *start);
    return *start;
}

PageCache::Page& PageCache::page(qsizetype index) const
{
    if (Page* found = pages_.find(index))
        return *found;
    if (readsHeld_)
        throw AppError(QStringLiteral("The rows cannot be read while rows are being written."));
    // A page is read only for the file as it is now.
    checkVersion();
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
    if (!ready) {
        // A file that could not be read a moment ago is not waited for again
        // at every page (each wait is the busy time-out): until readAgain, or
        // a few seconds on, the pages not read yet fail at once, and why.
        if (!heldUntil_.hasExpired())
            throw AppError(heldWhy_);
        try {
            fresh = readPage(statement_, pageStart(index), 0, endCount());
        } catch (const std::exception&) {
            heldWhy_ = DescribeException(std::current_exception());
            heldUntil_.setRemainingTime(kHeldFor);
            throw;
        }
    }
    if (!byRowid() && !countKnown_ && readsFromEnd(index * pageRows_, endCount()))
        tail_.mark(index);
    // (A page counted from the table's start does not place the first one
    // counted back from its end, or the first one pinned.)
    if (byRowid() && fresh.rows.rows() == pageRows_ && fresh.rowids.back() < std::numeric_limits<qint64>::max()
        && !startsRun(index + 1))
        starts_.set(index + 1, fresh.rowids.back() + 1);
    Page& added = pages_.add(index, std::move(fresh));
    // Reading on in order: the next pages are read on other connections meanwhile.
    if (openReader_ && lastRead_ >= 0 && index == lastRead_ + 1) {
        readAhead(index + 1);
        readAhead(index + 2);
    }
    lastRead_ = index;
    return added;
}

const RowStore& PageCache::locate(qsizetype row, qsizetype* index) const
{
    if (row < 0 || row >= count_)
        throw AppError(QStringLiteral("Row %1 is outside the table.").arg(row));
    const Page& p = page(row / pageRows_);
    *index = row % pageRows_;
    if (*index >= p.rows.rows())
        throw RowGoneError(kGone);
    return p.rows;
}

qint64 PageCache::rowid(qsizetype row) const
{
    qsizetype index = 0;
    locate(row, &index);
    return pages_.at(row / pageRows_).rowids[size_t(index)];
}

void PageCache::updateRow(qsizetype row, qint64 oldRowid, qint64 newRowid, const StoredRow& cells)
{
    discardReadAhead();
    if (!byRowid()) {
        // Where the key is unchanged the row keeps its place; a changed key
        // moves it in the key order, and every row between its two places.
        Page* found = pages_.find(row / pageRows_);
        const qsizetype index = row % pageRows_;
        bool sameKey = !keyColumns_.empty() && found && index < found->rows.rows();
        for (int c : keyColumns_)
            if (sameKey && found->rows.value(index, c) != cells[size_t(c)].value)
                sameKey = false;
        if (sameKey)
            found->rows.replaceRow(index, cells);
        else if (!keyColumns_.empty())
            rowsMoved();
        else
            forgetRow(row); // (by position alone: read again)
        return;
    }
    if (oldRowid != newRowid) {
        forgetFromRowid(std::min(oldRowid, newRowid));
        ++generation_;
        return;
    }
    Page* found = pages_.find(row / pageRows_);
    if (!found)
        return;
    Page& p = *found;
    const qsizetype index = row % pageRows_;
    if (index < p.rows.rows() && p.rowids[size_t(index)] == oldRowid)
        p.rows.replaceRow(index, cells);
    else
        forgetFromRowid(oldRowid);
}

void PageCache::forgetAll() const
{
    discardReadAhead();
    pages_.clear();
    starts_.forgetAll();
    tail_.forget();
    pin_.clear();
}

void PageCache::forgetFromRowid(qint64 rowid)
{
    discardReadAhead();
    // The page starts past the changed rowid go; a page that is not full, or
    // whose rows reach the changed rowid, is read again.
    const std::optional<qint64> pinStart = pinned() ? starts_.known(pin_.fromPage()) : std::nullopt;
    if (pinned() && (!pinStart || *pinStart > rowid)) {
        // Rows placed by counting from the start move under the pinned ones: all are placed again.
        forgetAll();
        ++generation_;
        return;
    }
    starts_.forgetPast(rowid);
    if (const std::optional<qsizetype> tail = tail_.first(); tail && !starts_.anyFrom(*tail))
        tail_.forget(); // nothing counted back from the end is left
    pages_.eraseIf([&](const Page& p) {
        return p.rowids.empty() || p.rows.rows() < pageRows_ || p.rowids.back() >= rowid;
    });
}

void PageCache::rowInserted(std::optional<qint64> rowid)
{
    // Rows known after the new one stand a place further on.
    bool moves = !byRowid() || !rowid;
    pages_.forEach([&](qsizetype, const Page& p) {
        if (!moves && !p.rowids.empty() && p.rowids.back() > *rowid)
            moves = true;
    });
    if (byRowid() && rowid)
        forgetFromRowid(*rowid);
    else
        forgetAll();
    if (moves)
        ++generation_;
    ++count_;
}

void PageCache::rowsDeleted(const std::vector<qint64>& rowids)
{
    if (rowids.empty())
        return;
    if (byRowid())
        forgetFromRowid(*std::min_element(rowids.begin(), rowids.end()));
    else
        forgetAll();
    count_ = std::max<qsizetype>(0, count_ - qsizetype(rowids.size()));
}

void PageCache::forgetRow(qsizetype row)
{
    discardReadAhead();
    pages_.erase(row / pageRows_);
}

void PageCache::setIdentity(std::vector<int> keyColumns, bool rowidsRenumbered)
{
    keyColumns_ = std::move(keyColumns);
    rowidsRenumbered_ = rowidsRenumbered;
}

qint64 PageCache::dataVersion() const
{
    odbc::Statement st = statement_();
    st.execute(QStringLiteral("PRAGMA data_version;"));
    return st.fetch() ? number(st, 0).value_or(0) : 0;
}

bool PageCache::followFile(bool settle) const
{
    bool changed = checkVersion();
    do {
        if (settle && pinned())
            pin_.wait();
        changed = settlePin() || changed;
    } while (settle && pinned());
    return changed;
}

bool PageCache::checkVersion() const
{
    // While another program holds the file, asking waits the busy time-out:
    // asked again a few seconds later (what is read meanwhile says why it cannot be).
    if (!heldUntil_.hasExpired())
        return false;
    qint64 version = 0;
    try {
        version = dataVersion();
    } catch (...) {
        heldWhy_ = DescribeException(std::current_exception());
        heldUntil_.setRemainingTime(kHeldFor);
        return false;
    }
    if (version == dataVersion_)
        return false;
    dataVersion_ = version;
    // Another program wrote the file: nothing read before is trusted. The
    // count read so far stands as the estimate until the new one arrives.
    forgetAll();
    starts_.restart();
    spanCurrent_ = false;
    tail_.drop();
    lastRead_ = -1;
    if (countKnown_ || counter_.running()) {
        countKnown_ = false;
        startCount();
    }
    ++generation_;
    return true;
}

void PageCache::rowsMoved()
{
    forgetAll();
    ++generation_;
}

RowAnchor PageCache::anchorAt(qsizetype row) const
{
    qsizetype index = 0;
    const RowStore& rows = locate(row, &index);
    RowAnchor anchor;
    anchor.position = row;
    anchor.generation = generation_;
    anchor.cells = rows.row(index);
    if (byRowid())
        anchor.rowid = pages_.at(row / pageRows_).rowids[size_t(index)];
    return anchor;
}

QString PageCache::keyCondition(const char* comparison, const RowAnchor& anchor,
                                std::vector<odbc::Param>& params) const
{
    if (byRowid()) {
        params.push_back(odbc::Param::text(QByteArray::number(*anchor.rowid)));
        return alias_ + QLatin1Char(' ') + QLatin1String(comparison) + QLatin1String(" ?");
    }
    const QLatin1String how(comparison);
    KeySide side = KeySide::At;
    if (how == QLatin1String("<"))
        side = KeySide::Before;
    else if (how == QLatin1String(">="))
        side = KeySide::AtOrAfter;
    else if (how != QLatin1String("="))
        throw AppError(QStringLiteral("Unsupported key comparison %1.").arg(how));
    return KeyCondition(keyOrder_, keyDescending_, side, [&](size_t k) {
        const StoredCell& cell = anchor.cells[size_t(keyColumns_[k])];
        params.push_back(cell.blob ? odbc::Param::bytes(cell.value) : odbc::Param::text(cell.value));
        return QStringLiteral("?");
    });
}

bool PageCache::holdsKey(const RowAnchor& anchor) const
{
    std::vector<odbc::Param> params;
    const QString where = keyCondition("=", anchor, params);
    odbc::Statement st = statement_();
    if (!rowidsRenumbered_) {
        st.execute(QLatin1String("SELECT 1 FROM ") + source_ + QLatin1String(" WHERE ") + where
                       + QLatin1String(" LIMIT 1;"),
                   params);
        return st.fetch();
    }
    // A rowid that VACUUM may have given to another row: the row must hold what it held.
    Page found;
    found.rows = RowStore(columns_);
    st.execute(QLatin1String("SELECT ") + alias_ + QLatin1String(", * FROM ") + source_ + QLatin1String(" WHERE ")
                   + where + QLatin1Char(';'),
               params);
    FetchRows(st, found.rows, &found.rowids);
    return found.rows.rows() == 1 && found.rows.row(0) == anchor.cells;
}

std::vector<qsizetype> PageCache::rowsBefore(const std::vector<const RowAnchor*>& sorted, bool fromStart) const
{
    // Each counted from the one before, so the whole costs one pass to the last.
    std::vector<qsizetype> counts;
    qsizetype before = 0;
    const RowAnchor* previous = nullptr;
    for (const RowAnchor* anchor : sorted) {
        if (!previous && !fromStart) {
            counts.push_back(0);
            previous = anchor;
            continue;
        }
        std::vector<odbc::Param> params;
        QString where = previous ? keyCondition(">=", *previous, params) + QLatin1String(" AND ") : QString();
        where += keyCondition("<", *anchor, params);
        odbc::Statement st = statement_();
        st.execute(QLatin1String("SELECT count(*) FROM ") + source_ + QLatin1String(" WHERE ") + where
                       + QLatin1Char(';'),
                   params);
        before += st.fetch() ? qsizetype(number(st, 0).value_or(0)) : 0;
        counts.push_back(before);
        previous = anchor;
    }
    return counts;
}

bool PageCache::keyLess(const RowAnchor& a, const RowAnchor& b) const
{
    if (byRowid())
        return *a.rowid < *b.rowid;
    // Rows keep their order in the key order while others come and go: where
    // they stood tells their order.
    return std::pair(a.generation, a.position) < std::pair(b.generation, b.position);
}

std::vector<AnchorPlace> PageCache::place(const std::vector<RowAnchor>& anchors) const
{
    std::vector<AnchorPlace> places(anchors.size());
    std::vector<const RowAnchor*> keyed;
    for (size_t i = 0; i < anchors.size(); ++i) {
        const RowAnchor& anchor = anchors[i];
        if (anchor.generation == generation_) {
            places[i] = {anchor.position, true};
        } else if (const std::optional<qsizetype> moved = pin_.movedPosition(anchor, generation_)) {
            // Placed while pinned, and the pin settled since: moved as the pinned rows moved.
            places[i] = {*moved, true};
        } else if (byRowid() ? bool(anchor.rowid) : !keyColumns_.empty() && !anchor.cells.empty()) {
            keyed.push_back(&anchor);
        } else {
            // A view's row has no identity but its position.
            places[i] = {std::clamp<qsizetype>(anchor.position, 0, std::max<qsizetype>(0, count_ - 1)),
                         anchor.position < count_};
        }
    }
    if (keyed.empty())
        return places;
    std::sort(keyed.begin(), keyed.end(), [this](const RowAnchor* a, const RowAnchor* b) { return keyLess(*a, *b); });
    std::vector<bool> present;
    for (const RowAnchor* anchor : keyed)
        present.push_back(holdsKey(*anchor));
    if (placePinned(anchors, keyed, present, places))
        return places;
    const std::vector<qsizetype> before = rowsBefore(keyed, true);
    for (size_t k = 0; k < keyed.size(); ++k) {
        const size_t i = size_t(keyed[k] - anchors.data());
        places[i] = {before[k], present[k]};
        if (!places[i].present && rowidsRenumbered_) {
            // Renumbered (VACUUM keeps the rowid order): the row is sought where it stood.
            places[i].position = std::clamp<qsizetype>(anchors[i].position, 0, std::max<qsizetype>(0, count_ - 1));
        }
    }
    return places;
}

bool PageCache::placePinned(const std::vector<RowAnchor>& anchors, const std::vector<const RowAnchor*>& keyed,
                            const std::vector<bool>& present, std::vector<AnchorPlace>& places) const
{
    // The first anchor given is pinned where it is one to count, else the first in key order.
    size_t pin = 0;
    while (pin < keyed.size() && keyed[pin] != &anchors.front())
        ++pin;
    if (pin == keyed.size())
        pin = 0;
    const RowAnchor& pinned = *keyed[pin];
    if (!byRowid() || pinned.position < 2 * pinFrom || (rowidsRenumbered_ && !present[pin]) || !reader(3))
        return false;
    // Anchors near the table's start are counted from it, those near the
    // pinned row from it; where one is far from both, all are counted.
    size_t nearStart = 0;
    while (nearStart < keyed.size() && keyed[nearStart]->position < pinFrom)
        ++nearStart;
    for (size_t k = nearStart; k < keyed.size(); ++k)
        if (std::abs(keyed[k]->position - pinned.position) >= pinFrom)
            return false;
    const std::vector<const RowAnchor*> first(keyed.begin(), keyed.begin() + qsizetype(nearStart));
    const std::vector<const RowAnchor*> nearby(keyed.begin() + qsizetype(nearStart), keyed.end());
    std::vector<qsizetype> positions = rowsBefore(first, true);
    // From one to the next, so that the whole costs what lies between them.
    const std::vector<qsizetype> between = rowsBefore(nearby, false);
    const qsizetype atPin = between[pin - nearStart];
    const qsizetype at = std::max(pinned.position, atPin);
    for (qsizetype b : between)
        positions.push_back(at - atPin + b);
    const qsizetype lowest = positions[nearStart];
    if (nearStart && positions[nearStart - 1] >= lowest - lowest % pageRows_)
        return false; // the pinned pages would reach rows counted from the start
    const qsizetype offset = lowest % pageRows_;
    const std::optional<qint64> start = offset ? startBefore(*nearby.front()->rowid, offset) : nearby.front()->rowid;
    if (!start)
        return false; // fewer rows before the anchors than the page needs: few enough to count
    forgetAll();
    pin_.set(lowest / pageRows_, at, *pinned.rowid, *reader(3));
    starts_.set(pin_.fromPage(), *start);
    count_ = std::max(count_, positions.back() + 1);
    for (size_t k = 0; k < keyed.size(); ++k) {
        const size_t i = size_t(keyed[k] - anchors.data());
        places[i] = {positions[k], present[k]};
    }
    return true;
}

std::optional<qint64> PageCache::startBefore(qint64 rowid, qsizetype rows) const
{
    odbc::Statement st = statement_();
    st.execute(QLatin1String("SELECT ") + alias_ + QLatin1String(" FROM ") + source_ + QLatin1String(" WHERE ") + alias_
                   + QLatin1String(" < ? ORDER BY ") + alias_ + QLatin1String(" DESC LIMIT 1 OFFSET ?;"),
               {odbc::Param::text(QByteArray::number(rowid)), odbc::Param::text(QByteArray::number(rows - 1))});
    return st.fetch() ? number(st, 0) : std::nullopt;
}

bool PageCache::settlePin() const
{
    const RowPin::Settled settled = pin_.settle(pin_.counting() ? reader(3) : nullptr, generation_);
    if (settled.failed) {
        forgetAll();
        ++generation_;
        return true;
    }
    if (settled.fromPage < 0)
        return false;
    discardReadAhead();
    pages_.eraseFrom(settled.fromPage);
    starts_.forgetFrom(settled.fromPage);
    ++generation_;
    return true;
}
