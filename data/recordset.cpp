#include "recordset.h"

#include "error.h"
#include "fetch.h"
#include "quote.h"
#include "backgroundread.h"
#include "orderedrows.h"
#include "pagecache.h"
#include "rowfilter.h"
#include "rowidsearch.h"

#include <thread>

#include <algorithm>
#include <map>
#include <limits>

namespace ADODB {

namespace {

constexpr qsizetype kPageRows = 20000;
const QString kClosed = QStringLiteral("Operation is not allowed when the object is closed.");

qsizetype pagingThreshold = 250000;
qsizetype cachePageRows = 0;        // 0: by the width of the table
constexpr qsizetype kPageCells = 50000; // a page holds about this many cells, however wide the table
size_t cachedPages = 16;

qsizetype pageRowsFor(int columns)
{
    if (cachePageRows > 0)
        return cachePageRows;
    return std::max<qsizetype>(100, kPageCells / std::max(1, columns));
}

// Opens connections of our own beside the one given, by its recipe.
OpenReader readersBeside(const Connection& connection)
{
    return [text = connection.ConnectionString()] {
        auto reader = std::make_shared<Connection>();
        reader->Open(text);
        return Reader{reader, [reader] { return reader->statement(); }};
    };
}

bool hasTextAffinity(const QString& declaredType)
{
    const QString t = declaredType.toUpper();
    return t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB"))
        || t.contains(QLatin1String("TEXT"));
}

} // namespace

void RecordSet::setPaging(qsizetype threshold, qsizetype pageRows, size_t maxPages)
{
    pagingThreshold = threshold;
    cachePageRows = pageRows;
    cachedPages = maxPages;
}

void RecordSet::Close()
{
    open_ = false;
    writer_.reset();
    cache_.reset();
    ordered_.reset();
    orderedBefore_.reset();
    paged_ = false;
    view_ = RowView();
    connection_.reset();
    columns_.clear();
    declaredTypes_.clear();
    store_ = RowStore();
    rowids_.clear();
    position_ = 0;
    shape_ = TableShape();
}

void RecordSet::openRowset(odbc::Statement& statement)
{
    Close();
    describeColumns(statement, 0);
    FetchRows(statement, store_, nullptr);
    open_ = true;
}

void RecordSet::Open(const QString& table, std::shared_ptr<Connection> connection,
                     int /*cursorType*/, int lockType)
{
    Close();
    if (!connection || !connection->isOpen())
        throw AppError(kClosed);
    connection_ = connection;
    if (lockType != adLockReadOnly)
        shape_ = DescribeTable(*connection_, table);
    try {
        if (shape_.key == RowKey::RowId) {
            openRowidTable();
        } else if (!shape_.name.isEmpty() && holdsMoreThan(pagingThreshold)) {
            paged_ = true;
            openPaged(QString());
        } else {
            odbc::Statement st = connection_->statement();
            st.execute(QLatin1String("SELECT * FROM ") + QuoteIdentifier(table) + QLatin1Char(';'));
            describeColumns(st, 0);
            FetchRows(st, store_, nullptr);
        }
    } catch (...) {
        Close();
        throw;
    }
    for (const QString& name : columns_) {
        const int index = shape_.columnIndex(name);
        declaredTypes_ << (index >= 0 ? shape_.declaredTypes[index] : QString());
    }
    if (shape_.key != RowKey::ReadOnly && shape_.columns.size() == columns_.size())
        writer_ = std::make_unique<RowWriter>(connection_, shape_);
    open_ = true;
}

void RecordSet::describeColumns(odbc::Statement& st, int leading)
{
    const int n = st.columnCount();
    columns_.clear(); // (a view set again reads the same columns)
    for (int i = leading; i < n; ++i)
        columns_ << st.columnName(i);
    store_ = RowStore(n - leading);
}

bool RecordSet::holdsMoreThan(qsizetype rows) const
{
    odbc::Statement st = connection_->statement();
    st.execute(QLatin1String("SELECT 1 FROM ") + QuoteIdentifier(shape_.name) + QLatin1String(" LIMIT 1 OFFSET ")
               + QString::number(rows) + QLatin1Char(';'));
    return st.fetch();
}

void RecordSet::openPaged(const QString& alias)
{
    const QString source = QuoteIdentifier(shape_.name);
    {
        odbc::Statement st = connection_->statement();
        st.execute(QLatin1String("SELECT ") + (alias.isEmpty() ? QString() : alias + QLatin1String(", ")) + QLatin1String("* FROM ")
                   + source + QLatin1String(" LIMIT 0;"));
        describeColumns(st, alias.isEmpty() ? 0 : 1);
    }
    // A table without a rowid is read in the order of its primary key, from either end.
    QStringList keyOrder;
    if (shape_.key == RowKey::PrimaryKey && !shape_.isView)
        for (int c : shape_.keyColumns)
            keyOrder << QuoteIdentifier(shape_.columns[c]);
    cache_ = std::make_unique<PageCache>([c = connection_] { return c->statement(); }, source, alias,
                                          int(columns_.size()), pageRowsFor(int(columns_.size())), cachedPages,
                                          pagingThreshold + 1, readersBeside(*connection_), keyOrder,
                                          shape_.keyDescending);
    cache_->setIdentity(keyOrder.isEmpty() ? std::vector<int>() : shape_.keyColumns,
                         !alias.isEmpty() && shape_.rowidColumn < 0);
    if (Progress)
        Progress(cache_->count(), cache_->count()); // the rest is read as it is shown
}

void RecordSet::openRowidTable()
{
    const QString& alias = shape_.rowidAlias;
    if (holdsMoreThan(pagingThreshold)) {
        paged_ = true;
        openPaged(alias);
        return;
    }
    // Smaller tables are read whole, in pages in the table's own order (rowid)
    // with the rowid in front, so the driver never holds more than one page
    // besides our own store.
    const QString page = QLatin1String("SELECT ") + alias + QLatin1String(", * FROM ") + QuoteIdentifier(shape_.name)
        + QLatin1String(" WHERE ") + alias + QLatin1String(" >= ? ORDER BY ") + alias + QLatin1String(" LIMIT ");
    QByteArray from = QByteArray::number(std::numeric_limits<qint64>::min());
    for (;;) {
        odbc::Statement st = connection_->statement();
        st.execute(page + QString::number(kPageRows) + QLatin1Char(';'), {odbc::Param::text(from)});
        if (columns_.isEmpty())
            describeColumns(st, 1);
        const qsizetype before = store_.rows();
        FetchRows(st, store_, &rowids_);
        if (Progress)
            Progress(store_.rows(), 0);
        if (store_.rows() - before < kPageRows || rowids_.back() == std::numeric_limits<qint64>::max())
            break;
        from = QByteArray::number(rowids_.back() + 1);
    }
    if (Progress)
        Progress(store_.rows(), store_.rows());
}


QStringList RecordSet::quotedColumns() const
{
    QStringList quoted;
    for (const QString& column : columns_)
        quoted << QuoteIdentifier(column);
    return quoted;
}

QStringList RecordSet::identityColumns() const
{
    if (shape_.key == RowKey::RowId)
        return {shape_.rowidAlias};
    QStringList identity;
    if (shape_.key == RowKey::PrimaryKey && !shape_.isView)
        for (int c : shape_.keyColumns)
            identity << QuoteIdentifier(shape_.columns[c]);
    return identity.isEmpty() ? quotedColumns() : identity;
}

void RecordSet::readWhole()
{
    const bool byRowid = shape_.key == RowKey::RowId;
    const FilterSql filter = FilterWhere(quotedColumns(), view_.filters);
    QString order = OrderClause(quotedColumns(), view_.order, identityColumns());
    if (order.isEmpty() && byRowid)
        order = QLatin1String("ORDER BY ") + shape_.rowidAlias; // the table's own order
    store_ = RowStore(int(columns_.size()));
    rowids_.clear();
    odbc::Statement st = connection_->statement();
    st.execute(QLatin1String("SELECT ") + (byRowid ? shape_.rowidAlias + QLatin1String(", ") : QString())
                   + QLatin1String("* FROM main.") + QuoteIdentifier(shape_.name)
                   + (filter.where.isEmpty() ? QString() : QLatin1String(" WHERE ") + filter.where) + QLatin1Char(' ')
                   + order + QLatin1Char(';'),
               filter.params);
    FetchRows(st, store_, byRowid ? &rowids_ : nullptr);
}

void RecordSet::setView(const RowView& view)
{
    if (!open_)
        throw AppError(kClosed);
    if (shape_.name.isEmpty())
        throw AppError(QStringLiteral("This result cannot be sorted or filtered: it does not come from one table "
                                      "or view of the database."));
    ++viewGeneration_;
    if (!paged_) {
        const RowView before = std::exchange(view_, view);
        try {
            readWhole();
        } catch (...) {
            view_ = before;
            readWhole();
            throw;
        }
        return;
    }
    // The table's row count, where it is known (an order of every row may use it).
    qsizetype knownRows = -1;
    if (cache_ && cache_->countKnown())
        knownRows = cache_->count();
    else if (ordered_ && ordered_->ready() && FilterWhere(quotedColumns(), view_.filters).where.isEmpty())
        knownRows = ordered_->count();
    // What is shown now stays at hand until the new order is built (cancelView).
    if (ordered_ && ordered_->ready()) {
        orderedBefore_ = std::move(ordered_);
        viewBefore_ = view_;
    } else if (!ordered_) {
        orderedBefore_.reset();
        viewBefore_ = RowView();
    }
    ordered_.reset();
    cache_.reset();
    view_ = view;
    if (view.isPlain()) {
        orderedBefore_.reset();
        openPaged(shape_.key == RowKey::RowId ? shape_.rowidAlias : QString());
        return;
    }
    OrderedRows::Source source;
    source.table = QuoteIdentifier(shape_.name);
    source.columns = quotedColumns();
    source.collations = shape_.collations;
    if (shape_.key == RowKey::RowId) {
        source.identity = OrderedRows::Identity::Rowid;
        source.alias = shape_.rowidAlias;
    } else if (shape_.key == RowKey::PrimaryKey && !shape_.isView) {
        source.identity = OrderedRows::Identity::Key;
        source.keyColumns = shape_.keyColumns;
        source.keyDescending = shape_.keyDescending;
    }
    ordered_ = std::make_unique<OrderedRows>(readersBeside(*connection_), source, view,
                                             pageRowsFor(int(columns_.size())), cachedPages, knownRows);
}

void RecordSet::cancelView()
{
    if (!ordered_ || ordered_->ready())
        return;
    ordered_->cancel();
    ++viewGeneration_;
    view_ = viewBefore_;
    ordered_ = std::move(orderedBefore_);
    if (!ordered_)
        openPaged(shape_.key == RowKey::RowId ? shape_.rowidAlias : QString());
}

void RecordSet::setSearchPieces(quint64 rowidsPerPiece, int mostPieces) { SetSearchPieces(rowidsPerPiece, mostPieces); }
void RecordSet::setOrderPieces(qsizetype rows) { OrderedRows::setPieceRows(rows); }

bool RecordSet::isGone(qsizetype row) const
{
    return ordered_ && ordered_->isGone(row);
}

std::optional<FoundRow> RecordSet::find(qsizetype from, bool forward, const FindText& text,
                                        const std::function<bool()>& keepGoing)
{
    if (!open_)
        throw AppError(kClosed);
    if (ordered_)
        return ordered_->find(from, forward, text, keepGoing);
    if (shape_.name.isEmpty())
        throw AppError(QStringLiteral("This result cannot be searched: it does not come from one table or view of "
                                      "the database."));
    if (cache_)
        cache_->followFile(true); // positions exact: the row found is counted
    if (from < 0 || from >= recordCount())
        return std::nullopt;
    const QString table = QLatin1String("main.") + QuoteIdentifier(shape_.name);
    QString cells;
    const FilterSql match = FindCondition(quotedColumns(), text, &cells);
    const size_t half = match.params.size() / 2;
    std::vector<odbc::Param> params(match.params.begin(), match.params.begin() + qsizetype(half));
    const std::vector<odbc::Param> condition(match.params.begin() + qsizetype(half), match.params.end());
    const QString towards = forward ? QStringLiteral(" >= ") : QStringLiteral(" <= ");
    if (cache_ && cache_->byRowid()) {
        // By rowid from the row on, to the table's last rowid that way and past it.
        const QString& alias = shape_.rowidAlias;
        odbc::Statement st = connection_->statement();
        st.execute(QLatin1String(forward ? "SELECT max(" : "SELECT min(") + alias + QLatin1String(") FROM ") + table
                   + QLatin1Char(';'));
        std::string last;
        if (!st.fetch() || !st.getData(0, last))
            return std::nullopt; // no rows left
        st.close();
        const RowidSearch search{table, alias, cells, params, match.where, condition, cache_->rowid(from), forward};
        const std::optional<RowidFound> found =
            SearchByRowid(readersBeside(*connection_), search, std::strtoll(last.c_str(), nullptr, 10), keepGoing);
        if (!found)
            return std::nullopt;
        return FoundRow{found->position, QString::fromStdString(found->cells)};
    }
    // Numbered in the order the rows are shown (named apart from every column).
    QString n = QStringLiteral("vestrel_row");
    while (columns_.contains(n, Qt::CaseInsensitive))
        n += QLatin1Char('_');
    const FilterSql filter = FilterWhere(quotedColumns(), view_.filters);
    QString order = OrderClause(quotedColumns(), view_.order, identityColumns());
    if (order.isEmpty() && shape_.key == RowKey::RowId)
        order = QLatin1String("ORDER BY ") + shape_.rowidAlias;
    else if (order.isEmpty() && shape_.key == RowKey::PrimaryKey && !shape_.isView)
        order = QLatin1String("ORDER BY ") + identityColumns().join(QLatin1String(", "));
    const QString sql = QLatin1String("SELECT ") + n + QLatin1String(" - 1, ") + cells
        + QLatin1String(" FROM (SELECT row_number() OVER (") + order + QLatin1String(") AS ") + n
        + QLatin1String(", * FROM ") + table + (filter.where.isEmpty() ? QString() : QLatin1String(" WHERE ") + filter.where)
        + QLatin1String(") WHERE ") + n + towards + QLatin1String("CAST(? AS INTEGER) AND (") + match.where
        + QLatin1String(") ORDER BY ") + n + (forward ? "" : " DESC") + QLatin1String(" LIMIT 1;");
    params.insert(params.end(), filter.params.begin(), filter.params.end());
    params.push_back(odbc::Param::text(QByteArray::number(from + 1)));
    params.insert(params.end(), condition.begin(), condition.end());
    auto found = std::make_shared<std::optional<FoundRow>>();
    const bool finished = RunWhile(readersBeside(*connection_)(), [sql, params, found](BackgroundRead& read) {
        odbc::Statement st = read.statement();
        read.runGivingWay(st, sql, params);
        std::string cell, holding;
        if (st.fetch() && st.getData(0, cell) && st.getData(1, holding))
            *found = FoundRow{qsizetype(std::strtoll(cell.c_str(), nullptr, 10)), QString::fromStdString(holding)};
    }, keepGoing);
    return finished ? *found : std::nullopt;
}

RecordSet::RecordSet() = default;
RecordSet::~RecordSet() = default;

bool RecordSet::pollCount()
{
    if (!ordered_)
        return cache_ && cache_->pollCount();
    const bool changed = ordered_->poll();
    if (ordered_->ready())
        orderedBefore_.reset();
    return changed;
}
qsizetype RecordSet::recordCount() const
{
    return ordered_ ? ordered_->count() : cache_ ? cache_->count() : store_.rows();
}
bool RecordSet::countKnown() const { return ordered_ ? ordered_->countExact() : !cache_ || cache_->countKnown(); }
bool RecordSet::viewReady() const { return !ordered_ || ordered_->ready(); }
bool RecordSet::endReadableUncounted() const { return cache_ && cache_->endReadableUncounted(); }
std::optional<TailShift> RecordSet::takeTailShift() { return cache_ ? cache_->takeTailShift() : std::nullopt; }
quint64 RecordSet::generation() const
{
    // An order's rows keep their places: one generation for each view.
    return ordered_ ? viewGeneration_ << 32 : cache_ ? cache_->generation() : 0;
}
bool RecordSet::followFile(bool settle)
{
    if (ordered_) {
        if (settle)
            ordered_->wait();
        return ordered_->followFile();
    }
    return cache_ && cache_->followFile(settle);
}
bool RecordSet::samePage(qsizetype a, qsizetype b) const { return !cache_ || cache_->samePage(a, b); }
bool RecordSet::pinned() const { return cache_ && cache_->pinned(); }
void RecordSet::readAgain()
{
    if (cache_)
        cache_->readAgain();
}

void RecordSet::waitForCount()
{
    if (ordered_)
        ordered_->wait();
    else if (cache_)
        cache_->waitForCount();
}

const RowStore& RecordSet::storeFor(qsizetype row, qsizetype* index) const
{
    if (ordered_)
        return ordered_->locate(row, index);
    if (cache_)
        return cache_->locate(row, index);
    if (row < 0 || row >= store_.rows())
        throw AppError(QStringLiteral("Row %1 is outside the table.").arg(row));
    *index = row;
    return store_;
}

std::optional<qint64> RecordSet::rowidAt(qsizetype row) const
{
    if (shape_.key != RowKey::RowId)
        return std::nullopt;
    if (ordered_)
        return ordered_->rowid(row);
    return cache_ ? cache_->rowid(row) : rowids_[size_t(row)];
}

RowAnchor RecordSet::anchorAt(qsizetype row) const
{
    if (cache_)
        return cache_->anchorAt(row);
    qsizetype index = 0;
    RowAnchor anchor;
    anchor.cells = storeFor(row, &index).row(index);
    anchor.position = row;
    anchor.rowid = rowidAt(row);
    anchor.generation = generation();
    return anchor;
}

std::vector<AnchorPlace> RecordSet::place(const std::vector<RowAnchor>& anchors) const
{
    if (cache_)
        return cache_->place(anchors);
    std::vector<AnchorPlace> places;
    for (const RowAnchor& anchor : anchors)
        places.push_back({anchor.position, true});
    return places;
}

bool RecordSet::isBlob(qsizetype row, int column) const
{
    qsizetype index = 0;
    return storeFor(row, &index).isBlob(index, column);
}

QString RecordSet::text(qsizetype row, int column) const
{
    qsizetype index = 0;
    const RowStore& store = storeFor(row, &index);
    const std::string_view bytes = store.bytes(index, column);
    if (store.isBlob(index, column))
        return QStringLiteral("(BLOB, %1 bytes)").arg(bytes.size());
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

bool RecordSet::textBytes(qsizetype row, int column, std::string_view* bytes) const
{
    qsizetype index = 0;
    const RowStore& store = storeFor(row, &index);
    if (store.isBlob(index, column))
        return false;
    *bytes = store.bytes(index, column);
    return true;
}

QString RecordSet::Field(const QString& name) const
{
    if (isEOF())
        throw AppError(QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                      "deleted. Requested operation requires a current record."));
    int index = -1;
    for (int c = 0; c < columnCount() && index < 0; ++c)
        if (columns_[c].compare(name, Qt::CaseInsensitive) == 0)
            index = c;
    if (index < 0)
        throw AppError(QStringLiteral("Item cannot be found in the collection corresponding to "
                                      "the requested name or ordinal."));
    return text(position_, index);
}

void RecordSet::MoveNext()
{
    if (isEOF())
        throw AppError(QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                      "deleted. Requested operation requires a current record."));
    ++position_;
}

CellValue RecordSet::typedValue(int column, const QString& text) const
{
    if (text.isEmpty() && !hasTextAffinity(declaredTypes_.value(column)))
        return std::nullopt;
    return text.toUtf8();
}

QString RecordSet::readOnlyReason() const
{
    if (shape_.isView)
        return QStringLiteral("The view \"%1\" cannot be changed here: it has no INSTEAD OF trigger for this "
                              "change.")
            .arg(shape_.name);
    return QStringLiteral("This result cannot be changed: it does not come from one table of the database.");
}

const RowWriter& RecordSet::writer(bool allowed, bool writing) const
{
    if (!open_)
        throw AppError(kClosed);
    if (!writer_ || !allowed)
        throw AppError(readOnlyReason());
    if (cache_ && writing) {
        // No reader beside a write: the pages read ahead are waited for (a page
        // is short); the counts are interrupted by the write itself, and taken again.
        cache_->discardReadAhead();
    }
    return *writer_;
}

void RecordSet::storeRecord(qsizetype row, std::optional<qint64> oldRowid, const StoredRecord& record)
{
    if (ordered_) {
        ordered_->rowUpdated(row, record.cells, record.rowid ? record.rowid : oldRowid, oldRowid);
        return;
    }
    if (cache_) {
        cache_->updateRow(row, oldRowid.value_or(0), record.rowid.value_or(oldRowid.value_or(0)), record.cells);
        return;
    }
    store_.replaceRow(row, record.cells);
    if (shape_.key == RowKey::RowId && record.rowid)
        rowids_[size_t(row)] = *record.rowid;
}

StoredRecord RecordSet::identify(qsizetype row)
{
    const RowWriter& w = writer(true, false); // only reads: the count need not be waited for
    qsizetype index = 0;
    const StoredRow shown = storeFor(row, &index).row(index);
    const std::optional<qint64> rowid = rowidAt(row);
    StoredRecord record = w.identify(shown, rowid);
    if (record.cells != shown)
        storeRecord(row, rowid, record); // the text whole, each cell by its own storage class
    return record;
}

std::vector<std::optional<RowIdentity>> RecordSet::identifyRows(const std::vector<qsizetype>& rows)
{
    const RowWriter& w = writer(true, false);
    std::vector<std::pair<StoredRow, std::optional<qint64>>> shown;
    shown.reserve(rows.size());
    for (qsizetype row : rows) {
        qsizetype index = 0;
        shown.emplace_back(storeFor(row, &index).row(index), rowidAt(row));
    }
    std::vector<std::optional<StoredRecord>> found = w.identifyMany(shown);
    std::vector<std::optional<RowIdentity>> identities(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        if (!found[i])
            continue;
        if (found[i]->cells != shown[i].first)
            storeRecord(rows[i], shown[i].second, *found[i]); // the text whole, each cell by its own storage class
        identities[i] = std::move(found[i]->identity);
    }
    return identities;
}

template <typename Write> void RecordSet::writingBlock(Write write)
{
    // (The pages read before the block stand for the file as it was: the rows
    // written are taken into them once it has ended.)
    struct Hold {
        PageCache* cache;
        explicit Hold(PageCache* c) : cache(c) { if (cache) cache->holdReads(true); }
        ~Hold() { if (cache) cache->holdReads(false); }
    } hold(cache_.get());
    writing([&] { connection_->inTransaction(write); });
}

template <typename Write> void RecordSet::writing(Write write)
{
    if (!ordered_) {
        write();
        return;
    }
    // An order being built holds the file's read lock: it stops for the write and starts again after it.
    ordered_->pauseForWrite();
    try {
        write();
    } catch (...) {
        ordered_->resume();
        throw;
    }
    ordered_->resume();
}

StoredRecord RecordSet::Update(qsizetype row, const RowIdentity& identity, const RowChanges& changes)
{
    const RowWriter& w = writer(shape_.canUpdate);
    if (changes.empty())
        return StoredRecord{identity.rowid, {}, identity};
    StoredRecord record;
    writing([&] {
        record = w.update(identity, changes);
        // The row may have moved meanwhile (pages read again); it is replaced only where it still stands.
        storeRecord(row, identity.rowid, record);
    });
    return record;
}

void RecordSet::storeAdded(const StoredRecord& record)
{
    if (ordered_) {
        ordered_->rowAdded(record.cells, record.rowid); // (shown last until the order is built again)
        return;
    }
    if (cache_) {
        cache_->rowInserted(record.rowid);
        return;
    }
    store_.appendRow(record.cells);
    if (shape_.key == RowKey::RowId)
        rowids_.push_back(record.rowid.value_or(0));
}

StoredRecord RecordSet::AddNew(const RowChanges& values)
{
    const RowWriter& w = writer(shape_.canInsert);
    StoredRecord record;
    writing([&] {
        record = w.insert(values);
        storeAdded(record);
    });
    return record;
}

std::vector<RowIdentity> RecordSet::Delete(std::vector<qsizetype> rows)
{
    const RowWriter& w = writer(shape_.canDelete);
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<RowIdentity> identities;
    for (qsizetype row : rows)
        identities.push_back(identify(row).identity);
    writing([&] {
        w.remove(identities);
        if (ordered_) {
            ordered_->rowsDeleted(rows);
            return;
        }
        if (cache_) {
            std::vector<qint64> rowids;
            for (const RowIdentity& identity : identities)
                rowids.push_back(identity.rowid.value_or(std::numeric_limits<qint64>::min()));
            cache_->rowsDeleted(rowids);
            return;
        }
        for (qsizetype row : rows) {
            store_.removeRow(row);
            if (shape_.key == RowKey::RowId)
                rowids_.erase(rowids_.begin() + row);
        }
    });
    return identities;
}

namespace {
std::function<void()>& blockObserver()
{
    static std::function<void()> observer;
    return observer;
}
} // namespace

void setBlockObserver(std::function<void()> observer) { blockObserver() = std::move(observer); }

BlockOutcome RecordSet::writeBlock(std::vector<BlockRow> rows, const std::function<bool(size_t done)>& keepGoing)
{
    bool updates = false, inserts = false;
    for (const BlockRow& row : rows)
        (row.row < 0 ? inserts : updates) = true;
    const RowWriter& w = writer(true);
    if ((updates && !shape_.canUpdate) || (inserts && !shape_.canInsert))
        throw AppError(readOnlyReason());
    BlockOutcome outcome;
    // The rows as written, taken into the rows shown once committed: which
    // row of the block, its rowid and identity, and its cells (held packed).
    struct Written {
        size_t i;
        std::optional<qint64> rowid;
        RowIdentity identity;
        qsizetype cells = -1; // in cellsWritten (none: the row is not held where it is shown)
    };
    std::vector<Written> stored;
    stored.reserve(rows.size());
    RowStore cellsWritten(shape_.columns.size());
    const auto keep = [&](size_t i, StoredRecord&& record) {
        stored.push_back({i, record.rowid, std::move(record.identity), -1});
        if (!record.cells.empty()) {
            stored.back().cells = cellsWritten.rows();
            cellsWritten.appendRow(record.cells);
        }
    };
    // A table read in pages by rowid, or in an order listing rowids, takes in
    // only the rows of the pages it holds (the rest are read when shown);
    // anything else takes in every row.
    const auto showsCells = [&](const BlockRow& row) {
        if (ordered_)
            return row.row < 0 || !ordered_->listsRowids() || ordered_->holdsPageOf(row.row);
        return !cache_ || !cache_->byRowid() || (row.row >= 0 && cache_->holdsPageOf(row.row));
    };
    if (blockObserver())
        blockObserver()();
    writingBlock([&] {
        // A rowid table's rows are read back after the block, many at once.
        std::vector<std::pair<size_t, qint64>> unread;
        // Rows alike are written together first; the rest (and those of a
        // group that was refused) one by one, in order.
        std::vector<std::pair<const RowIdentity*, const PackedChanges*>> alike(rows.size(), {nullptr, nullptr});
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].row >= 0 && rows[i].identity)
                alike[i] = {&*rows[i].identity, &rows[i].changes};
        const std::vector<bool> together = w.writeUnreadTogether(alike, keepGoing);
        alike = {};
        // New rows: runs alike inserted together as they come, so that rows
        // keep the block's order; the rest one by one in their places.
        std::vector<const PackedChanges*> fresh(rows.size(), nullptr);
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].row < 0)
                fresh[i] = &rows[i].changes;
        std::vector<std::optional<qint64>> inserted(rows.size());
        size_t triedUpTo = 0;
        for (size_t i = 0; i < rows.size(); ++i) {
            const BlockRow& row = rows[i];
            if (row.row < 0 && i >= triedUpTo)
                triedUpTo = w.insertTogether(fresh, i, inserted);
            if (together[i] || inserted[i]) {
                unread.emplace_back(i, together[i] ? *row.identity->rowid : *inserted[i]);
                if (inserted[i] && keepGoing && !keepGoing(i + 1))
                    throw AppError(QStringLiteral("The paste was cancelled: nothing was written."));
                continue;
            }
            try {
                if (row.row >= 0 && !row.identity)
                    throw AppError(row.why);
                if (row.row >= 0 && row.changes.empty())
                    continue;
                const RowIdentity* identity = row.row >= 0 ? &*row.identity : nullptr;
                const RowChanges changes = row.changes.unpacked();
                if (const std::optional<qint64> rowid = w.writeUnread(identity, changes)) {
                    unread.emplace_back(i, *rowid);
                } else {
                    keep(i, identity ? w.update(*identity, changes) : w.insert(changes));
                }
            } catch (const AppError& error) {
                outcome.refused.emplace_back(i, error.description());
            }
            if (keepGoing && !keepGoing(i + 1))
                throw AppError(QStringLiteral("The paste was cancelled: nothing was written."));
        }
        // Read back a few hundred at a time (what is held of each: its identity and packed cells).
        constexpr size_t kReadBack = 500;
        for (size_t from = 0; from < unread.size(); from += kReadBack) {
            const size_t to = std::min(unread.size(), from + kReadBack);
            std::vector<qint64> withCells, withoutCells;
            for (size_t k = from; k < to; ++k)
                (showsCells(rows[unread[k].first]) ? withCells : withoutCells).push_back(unread[k].second);
            std::map<qint64, StoredRecord> back;
            for (const bool cells : {true, false})
                if (!(cells ? withCells : withoutCells).empty())
                    for (StoredRecord& record : w.readRowids(cells ? withCells : withoutCells, cells))
                        back.emplace(record.rowid.value_or(0), std::move(record));
            for (size_t k = from; k < to; ++k) {
                auto found = back.find(unread[k].second);
                if (found == back.end())
                    throw AppError(QStringLiteral("A row written could not be read back (a trigger of the table "
                                                  "moved or deleted it): nothing was written."));
                keep(unread[k].first, std::move(found->second));
                back.erase(found);
            }
        }
    });
    // Taken into the rows shown, in the block's order; the identities written
    // are kept for taking the block back.
    std::vector<size_t> order(stored.size());
    for (size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return stored[a].i < stored[b].i; });
    outcome.written.reserve(stored.size());
    for (size_t k : order) {
        Written& written = stored[k];
        BlockRow& row = rows[written.i];
        const StoredRecord record{written.rowid, written.cells >= 0 ? cellsWritten.row(written.cells) : StoredRow(), {}};
        if (row.row >= 0)
            storeRecord(row.row, row.identity->rowid, record);
        else
            storeAdded(record);
        outcome.written.push_back(
            RowImage{row.row >= 0 ? std::move(row.identity) : std::nullopt, std::move(written.identity)});
        row = BlockRow();
    }
    if (ordered_)
        ordered_->followFile(); // (the rows written are read again where shown)
    return outcome;
}

void RecordSet::applyImages(const std::vector<RowImage>& rows, bool undo, const std::function<bool(size_t done)>& keepGoing)
{
    const RowWriter& w = writer(true);
    std::vector<StoredRecord> added;
    std::vector<qint64> removed;
    writingBlock([&] {
        // Rows alike are put back together first; the rest one by one, in order.
        std::vector<std::pair<const RowIdentity*, const RowIdentity*>> alike(rows.size(), {nullptr, nullptr});
        for (size_t i = 0; i < rows.size(); ++i) {
            const std::optional<RowIdentity>& now = undo ? rows[i].after : rows[i].before;
            const std::optional<RowIdentity>& then = undo ? rows[i].before : rows[i].after;
            if (now && then)
                alike[i] = {&*now, &*then};
        }
        const std::vector<bool> together = w.restoreTogether(alike, keepGoing);
        alike = {};
        // Rows to delete (new rows taken back, deletes made again), alike together.
        std::vector<const RowIdentity*> gone(rows.size(), nullptr);
        for (size_t i = 0; i < rows.size(); ++i) {
            const std::optional<RowIdentity>& now = undo ? rows[i].after : rows[i].before;
            const std::optional<RowIdentity>& then = undo ? rows[i].before : rows[i].after;
            if (now && !then)
                gone[i] = &*now;
        }
        const std::vector<bool> goneTogether = w.removeTogether(gone, keepGoing);
        gone = {};
        for (size_t i = 0; i < rows.size(); ++i) {
            const std::optional<RowIdentity>& now = undo ? rows[i].after : rows[i].before;
            const std::optional<RowIdentity>& then = undo ? rows[i].before : rows[i].after;
            if (together[i]) {
                // (put back with its group)
            } else if (goneTogether[i]) {
                removed.push_back(now->rowid.value_or(std::numeric_limits<qint64>::min()));
            } else if (now && then) {
                w.restore(*now, *then);
            } else if (now) {
                w.remove({*now});
                removed.push_back(now->rowid.value_or(std::numeric_limits<qint64>::min()));
            } else if (then) {
                added.push_back(w.reinsert(*then));
            }
            if (keepGoing && !keepGoing(i + 1))
                throw AppError(QStringLiteral("Cancelled: nothing was written."));
        }
    });
    // What is shown is read again: rows read whole at once; pages from where
    // they are shown (a new reading: the grid finds its rows again by who
    // they are); an order's rows keep their places, the rows put back shown last.
    if (!paged_) {
        readWhole();
    } else if (cache_) {
        if (!removed.empty())
            cache_->rowsDeleted(removed);
        for (const StoredRecord& record : added)
            cache_->rowInserted(record.rowid);
        cache_->rowsMoved();
    } else if (ordered_) {
        for (const StoredRecord& record : added)
            ordered_->rowAdded(record.cells, record.rowid);
        ordered_->followFile();
    }
}

void RecordSet::reload(qsizetype row)
{
    if (!writer_)
        return;
    if (ordered_) {
        ordered_->forgetRow(row);
        return;
    }
    if (cache_) {
        cache_->forgetRow(row);
        return;
    }
    const std::optional<qint64> rowid = rowidAt(row);
    if (!rowid)
        return;
    if (const auto record = writer_->find(*rowid))
        storeRecord(row, rowid, *record);
}

} // namespace ADODB
