#include "orderedrows.h"

#include "error.h"
#include "fetch.h"
#include "keyorder.h"
#include "piecegate.h"
#include "quote.h"
#include "threadpriority.h"

#include <algorithm>
#include <limits>
#include <thread>

namespace {
// The list and the keys sorted into it each live in a database of their
// own, private and temporary: letting one go is closing a file, where
// dropping a table of ten million rows would free its pages one by one.
const QString kListDb = QStringLiteral("vestrel_list");
const QString kList = kListDb + QLatin1String(".vestrel_order");
const QString kKeysDb = QStringLiteral("vestrel_sort");
constexpr int kParamsPerInsert = 400;

qint64 numberOf(odbc::Statement& st)
{
    std::string buffer;
    return st.fetch() && st.getData(0, buffer) ? std::strtoll(buffer.c_str(), nullptr, 10) : 0;
}

odbc::Param cellParam(const StoredCell& cell)
{
    return cell.blob ? odbc::Param::bytes(cell.value) : odbc::Param::text(cell.value);
}
} // namespace

OrderedRows::OrderedRows(OpenReader openReader, Source source, RowView view, qsizetype pageRows, size_t maxPages,
                         qsizetype knownRows)
    : openReader_(std::move(openReader)), source_(std::move(source)), view_(std::move(view)),
      columns_(int(source_.columns.size())), pageRows_(std::max<qsizetype>(1, pageRows)),
      pages_(std::max<size_t>(2, maxPages))
{
    if (source_.identity == Identity::Rowid)
        identity_ << source_.alias;
    else if (source_.identity == Identity::Key)
        for (int c : source_.keyColumns)
            identity_ << source_.columns[c];
    else
        identity_ = source_.columns;
    filter_ = FilterWhere(source_.columns, view_.filters);
    order_ = OrderClause(source_.columns, view_.order, identity_);
    scannedOrder_ = OrderClause(source_.columns, view_.order, identity_, true);
    list_ = openReader_();
    {
        // The list lives in a file of its own beside the temporary files,
        // so a long order costs disk, not memory.
        odbc::Statement st = list_.statement();
        st.execute(QStringLiteral("PRAGMA temp_store = FILE;"));
        odbc::Statement cache = list_.statement();
        cache.execute(QStringLiteral("PRAGMA temp.cache_size = -16384;"));
        // The sort of a long order is shared with the database's helper
        // threads (at the build's lower priority: see startBuild).
        odbc::Statement threads = list_.statement();
        threads.execute(QStringLiteral("PRAGMA threads = 2;"));
    }
    indexed_ = indexServes();
    // Where an index serves the order, the first rows come from it at once and
    // the list is built after them. Under a filter the index is walked only
    // for the first rows (the matches may be few and far between): the list
    // is built beside them, from the table read in its own order.
    buildAfterFirst_ = indexed_ && filter_.where.isEmpty();
    if (buildAfterFirst_ && knownRows >= 0 && filter_.where.isEmpty() && source_.identity == Identity::Rowid) {
        // Every row, in an order an index serves: read from the index at once, wherever the user goes.
        readsByIndex_ = true;
        buildAfterFirst_ = false;
        count_ = knownRows;
        startBuild();
        return;
    }
    // A rowid table: its first rows and the list are read side by side (in
    // pieces, in step: see PieceGate).
    startFirstRows();
    if (!buildAfterFirst_)
        startBuild();
}

bool OrderedRows::indexServes() const
{
    if (view_.order.empty())
        return false;
    // Without a sorter of its own, the database reads the rows in order from an index.
    odbc::Statement st = listStatement();
    st.execute(QLatin1String("EXPLAIN QUERY PLAN SELECT * FROM main.") + source_.table
                   + (filter_.where.isEmpty() ? QString() : QLatin1String(" WHERE ") + filter_.where) + QLatin1Char(' ')
                   + order_ + QLatin1Char(';'),
               filter_.params);
    bool sorts = false;
    std::string detail;
    const int columns = st.columnCount();
    while (st.fetch())
        if (st.getData(columns - 1, detail) && detail.find("TEMP B-TREE") != std::string::npos)
            sorts = true;
    return !sorts;
}

OrderedRows::~OrderedRows()
{
    // Not waited for: each stops at once, and its thread lets its connection go.
    if (build_)
        build_->cancel();
    if (first_)
        first_->cancel();
    // The list's connection is closed on another thread too: closing it frees
    // a temporary file as large as the list.
    LetGoElsewhere(std::make_tuple(std::move(list_), std::move(indexReader_), std::move(build_), std::move(first_)));
}

QString OrderedRows::identityColumns() const
{
    switch (source_.identity) {
    case Identity::Rowid:
        return QStringLiteral("rid");
    case Identity::Key: {
        QStringList names;
        for (size_t k = 0; k < source_.keyColumns.size(); ++k)
            names << QStringLiteral("k%1").arg(k);
        return names.join(QLatin1Char(','));
    }
    case Identity::Cells: {
        QStringList names;
        for (int c = 0; c < columns_; ++c)
            names << QStringLiteral("c%1").arg(c);
        return names.join(QLatin1Char(','));
    }
    }
    return QString();
}

QString OrderedRows::identityOf(const QString& table) const
{
    const QString prefix = table.isEmpty() ? QString() : table + QLatin1Char('.');
    if (source_.identity == Identity::Rowid)
        return prefix + source_.alias;
    QStringList names;
    if (source_.identity == Identity::Key)
        for (int c : source_.keyColumns)
            names << prefix + source_.columns[c];
    else
        for (const QString& column : source_.columns)
            names << prefix + column;
    return names.join(QLatin1Char(','));
}

namespace {
// Walks a rowid table in pieces of at most `rows` rows, in rowid order: each
// piece is a read of its own, so another program's write never waits long
// for ours. A piece is a span of `rows` rowids from the lowest one not yet
// read (found by a seek, so spans where no rowid is used cost nothing).
// `piece` runs with the condition that bounds the piece's rowids and the
// parameters (the bounds', then `after`), and returns whether to go on.
// Other walks of the same gate go in step with it.
void InPieces(BackgroundRead& read, PieceGate* gate, const QString& table, const QString& alias, qsizetype rows,
              const std::vector<odbc::Param>& after,
              const std::function<bool(const QString&, const std::vector<odbc::Param>&)>& piece)
{
    PieceGate::Reader inStep(gate);
    const QString next = QLatin1String("SELECT min(") + alias + QLatin1String(") FROM main.") + table
        + QLatin1String(" WHERE ") + alias + QLatin1String(" >= ?;");
    const QString range = alias + QLatin1String(" >= ? AND ") + alias + QLatin1String(" <= ?");
    constexpr qint64 highest = std::numeric_limits<qint64>::max();
    qint64 from = std::numeric_limits<qint64>::min();
    for (;;) {
        inStep.begin();
        odbc::Statement first = read.statement();
        read.run(first, next, {odbc::Param::text(QByteArray::number(from))});
        std::string lowest;
        if (!first.fetch() || !first.getData(0, lowest))
            return; // no rowid left
        from = std::strtoll(lowest.c_str(), nullptr, 10);
        const qint64 to = from > highest - (rows - 1) ? highest : from + (rows - 1);
        std::vector<odbc::Param> params{odbc::Param::text(QByteArray::number(from)),
                                        odbc::Param::text(QByteArray::number(to))};
        params.insert(params.end(), after.begin(), after.end());
        const bool more = piece(range, params);
        inStep.end();
        if (!more || to == highest)
            return;
        from = to + 1;
    }
}
// A temporary table of that name, made afresh.
void FreshTable(BackgroundRead& read, const QString& name, const QString& create)
{
    odbc::Statement drop = read.statement();
    read.run(drop, QLatin1String("DROP TABLE IF EXISTS ") + name + QLatin1Char(';'));
    odbc::Statement st = read.statement();
    read.run(st, create);
}
// Walks a table without a rowid in pieces of at most `rows` rows, in its key
// order, as InPieces walks rowids: a piece ends at the key `rows` rows on from
// where the one before ended (found by a seek). The keys a piece lies between
// are kept in temporary tables, so they are compared as the table holds
// them (storage class and collation), never as text. The key's columns run
// ascending (one descending in part cannot be sought as a row value: see
// piecesByKey).
void InKeyPieces(BackgroundRead& read, const QString& table, const QStringList& key, qsizetype rows, const std::vector<odbc::Param>& after,
                 const std::function<bool(const QString&, const std::vector<odbc::Param>&)>& piece)
{
    const QString low = QStringLiteral("temp.vestrel_low"), high = QStringLiteral("temp.vestrel_high");
    QStringList columns;
    for (qsizetype k = 0; k < key.size(); ++k)
        columns << QStringLiteral("c%1").arg(k);
    const QString shape = QLatin1Char('(') + columns.join(QLatin1String(", ")) + QLatin1String(");");
    FreshTable(read, low, QLatin1String("CREATE TABLE ") + low + shape);
    FreshTable(read, high, QLatin1String("CREATE TABLE ") + high + shape);
    const auto valuesOf = [](const QString& bound) {
        return [bound](size_t k) { return QStringLiteral("(SELECT c%1 FROM %2)").arg(k).arg(bound); };
    };
    const std::vector<bool> ascending(size_t(key.size()), false);
    const QString pastLow = KeyCondition(key, ascending, KeySide::After, valuesOf(low));
    const QString upToHigh = KeyCondition(key, ascending, KeySide::AtOrBefore, valuesOf(high));
    const auto exec = [&read](const QString& sql) {
        odbc::Statement st = read.statement();
        read.run(st, sql);
    };
    for (bool first = true;; first = false) {
        exec(QLatin1String("DELETE FROM ") + high + QLatin1Char(';'));
        exec(QLatin1String("INSERT INTO ") + high + QLatin1String(" SELECT ") + key.join(QLatin1String(", "))
             + QLatin1String(" FROM main.") + table + (first ? QString() : QLatin1String(" WHERE ") + pastLow)
             + QLatin1String(" ORDER BY ") + KeyOrder(key, ascending) + QLatin1String(" LIMIT 1 OFFSET ")
             + QString::number(std::max<qsizetype>(1, rows) - 1) + QLatin1Char(';'));
        odbc::Statement ended = read.statement();
        read.run(ended, QLatin1String("SELECT count(*) FROM ") + high + QLatin1Char(';'));
        const bool last = numberOf(ended) == 0;
        QStringList range;
        if (!first)
            range << pastLow;
        if (!last)
            range << upToHigh;
        if (!piece(range.isEmpty() ? QStringLiteral("1") : range.join(QLatin1String(" AND ")), after) || last)
            return;
        exec(QLatin1String("DELETE FROM ") + low + QLatin1Char(';'));
        exec(QLatin1String("INSERT INTO ") + low + QLatin1String(" SELECT * FROM ") + high + QLatin1Char(';'));
    }
}
bool Attached(BackgroundRead& read, const QString& database)
{
    odbc::Statement st = read.statement();
    read.run(st, QStringLiteral("SELECT count(*) FROM pragma_database_list WHERE name = ?;"),
             {odbc::Param::text(database.toUtf8())});
    return numberOf(st) > 0;
}
void Detach(BackgroundRead& read, const QString& database)
{
    if (!Attached(read, database))
        return;
    odbc::Statement st = read.statement();
    read.run(st, QLatin1String("DETACH DATABASE ") + database + QLatin1Char(';'));
}
// A private temporary database of that name (the one before let go), holding
// the table that create makes.
void FreshDatabase(BackgroundRead& read, const QString& database, const QString& create)
{
    Detach(read, database);
    odbc::Statement attach = read.statement();
    read.run(attach, QLatin1String("ATTACH DATABASE '' AS ") + database + QLatin1Char(';'));
    odbc::Statement cache = read.statement();
    read.run(cache, QLatin1String("PRAGMA ") + database + QLatin1String(".cache_size = -16384;"));
    odbc::Statement st = read.statement();
    read.run(st, create);
}
} // namespace

QString OrderedRows::keysTable(const QString& name) const
{
    QStringList columns;
    if (source_.identity == Identity::Key) {
        // The key's values as the table holds them, compared by the key's own collations.
        for (size_t k = 0; k < source_.keyColumns.size(); ++k) {
            const QString collation = source_.collations.value(source_.keyColumns[k]);
            columns << QStringLiteral("i%1").arg(k)
                    + (collation.isEmpty() ? QString() : QLatin1String(" COLLATE ") + QuoteIdentifier(collation));
        }
    } else {
        columns << QStringLiteral("rid INTEGER");
    }
    for (size_t k = 0; k < view_.order.size(); ++k) {
        const QString collation = source_.collations.value(view_.order[k].column);
        columns << QStringLiteral("k%1").arg(k)
                + (collation.isEmpty() ? QString() : QLatin1String(" COLLATE ") + QuoteIdentifier(collation));
    }
    return QLatin1String("CREATE TABLE ") + name + QLatin1Char('(') + columns.join(QLatin1String(", "))
        + QLatin1String(");");
}

QStringList OrderedRows::keysIdentity(const QString& prefix) const
{
    if (source_.identity != Identity::Key)
        return {prefix + QLatin1String("rid")};
    QStringList names;
    for (size_t k = 0; k < source_.keyColumns.size(); ++k)
        names << prefix + QStringLiteral("i%1").arg(k);
    return names;
}

QString OrderedRows::keysOrder(const QString& prefix) const
{
    QStringList terms;
    for (size_t k = 0; k < view_.order.size(); ++k)
        terms << prefix + QStringLiteral("k%1").arg(k)
                + (view_.order[k].descending ? QLatin1String(" DESC") : QLatin1String(" ASC"));
    const QString direction =
        !view_.order.empty() && view_.order.back().descending ? QLatin1String(" DESC") : QLatin1String(" ASC");
    for (const QString& name : keysIdentity(prefix))
        terms << name + direction;
    return QLatin1String(" ORDER BY ") + terms.join(QLatin1String(", "));
}

QString OrderedRows::keysOf() const
{
    QString keys = source_.identity == Identity::Key ? keyNames().join(QLatin1String(", ")) : source_.alias;
    for (const SortKey& key : view_.order)
        keys += QLatin1String(", ") + source_.columns.value(key.column);
    return keys;
}

QStringList OrderedRows::keyNames() const
{
    QStringList names;
    for (int c : source_.keyColumns)
        names << source_.columns.value(c);
    return names;
}

void OrderedRows::startBuild(bool keptAreAll)
{
    ready_ = false;
    const QString where = filter_.where.isEmpty() ? QString() : QLatin1String(" WHERE ") + filter_.where;
    const QString create = QLatin1String("CREATE TABLE ") + kList + QLatin1String("(pos INTEGER PRIMARY KEY, ")
        + identityColumns() + QLatin1String(");");
    QString fill = QLatin1String("INSERT INTO ") + kList + QLatin1Char('(') + identityColumns()
        + QLatin1String(") SELECT ") + identityOf(QString()) + QLatin1String(" FROM main.") + source_.table + where;
    // Rows already shown first stay first (a write of ours came between).
    const std::vector<qint64> kept = keptFirst_;
    if (!kept.empty())
        fill += (where.isEmpty() ? QLatin1String(" WHERE ") : QLatin1String(" AND ")) + source_.alias
            + QLatin1String(" NOT IN (SELECT rid FROM ") + kList + QLatin1Char(')');
    fill += QLatin1Char(' ') + (filter_.where.isEmpty() ? order_ : scannedOrder_) + QLatin1Char(';');
    // A table is read a piece at a time, by rowid or by key. In the table's
    // own order its identities are listed piece after piece; in another, each
    // piece's identities and sort keys are copied beside the list, and sorted
    // there once all are in, by the columns' own collations: the sort holds no
    // lock on the file.
    const QStringList key = keyNames();
    const bool byKey = piecesByKey();
    const bool inPieces = source_.identity == Identity::Rowid || byKey;
    const bool sorted = !view_.order.empty();
    QString pieceHead, pieceTail, keysCreate, keysSort;
    const QString keys = kKeysDb + QLatin1String(".vestrel_keys");
    if (inPieces) {
        const QString identity = byKey ? key.join(QLatin1String(", ")) : source_.alias;
        const QString tableOrder = byKey ? KeyOrder(key, {}) : source_.alias;
        pieceHead = (sorted ? QLatin1String("INSERT INTO ") + keys + QLatin1String(" SELECT ") + keysOf()
                            : QLatin1String("INSERT INTO ") + kList + QLatin1Char('(') + identityColumns()
                                  + QLatin1String(") SELECT ") + identity)
            + QLatin1String(" FROM main.") + source_.table + QLatin1String(" WHERE ");
        pieceTail = (filter_.where.isEmpty() ? QString() : QLatin1String(" AND (") + filter_.where + QLatin1Char(')'))
            + (kept.empty() ? QString()
                            : QLatin1String(" AND ") + source_.alias + QLatin1String(" NOT IN (SELECT rid FROM ")
                                  + kList + QLatin1Char(')'))
            + (sorted ? QString() : QLatin1String(" ORDER BY ") + tableOrder) + QLatin1Char(';');
        if (sorted) {
            keysCreate = keysTable(keys);
            keysSort = QLatin1String("INSERT INTO ") + kList + QLatin1Char('(') + identityColumns()
                + QLatin1String(") SELECT ") + keysIdentity(QString()).join(QLatin1String(", ")) + QLatin1String(" FROM ") + keys
                + keysOrder(QString()) + QLatin1Char(';');
        }
    }
    const std::vector<odbc::Param> params = filter_.params;
    auto listed = std::make_shared<Built>();
    build_ = BackgroundRead::start(list_, [create, fill, params, kept, keptAreAll, listed, inPieces, pieceHead,
                                           pageQuery = pageQuery(), columns = columns_,
                                           pieceTail, keysCreate, keysSort, keys, source = source_.table,
                                           alias = source_.alias, gate = pieces_, sorted, byKey, key](BackgroundRead& read) {
        // A sort gives way to the first rows read beside it, which the user waits for.
        if (sorted)
            ThreadPriority::LowerThisThread();
        FreshDatabase(read, kListDb, create);
        for (size_t i = 0; i < kept.size(); i += kParamsPerInsert) {
            const size_t n = std::min<size_t>(kParamsPerInsert, kept.size() - i);
            QStringList marks;
            std::vector<odbc::Param> ids;
            for (size_t k = 0; k < n; ++k) {
                marks << QStringLiteral("(?)");
                ids.push_back(odbc::Param::text(QByteArray::number(kept[i + k])));
            }
            odbc::Statement st = read.statement();
            read.run(st, QLatin1String("INSERT INTO ") + kList + QLatin1String("(rid) VALUES ") + marks.join(QLatin1Char(','))
                             + QLatin1Char(';'), ids);
        }
        // In one statement, as long as no other program waits to write the
        // file (the statement gives way to it at once); else in pieces.
        bool done = keptAreAll;
        if (!done && inPieces) {
            odbc::Statement st = read.statement();
            done = read.runUnlessAWriterWaits(st, fill, params);
        }
        if (!done && inPieces) {
            if (!keysCreate.isEmpty())
                FreshDatabase(read, kKeysDb, keysCreate);
            const auto piece = [&](const QString& range, const std::vector<odbc::Param>& all) {
                odbc::Statement st = read.statement();
                read.run(st, pieceHead + range + pieceTail, all);
                return true;
            };
            if (byKey)
                InKeyPieces(read, source, key, pieceRows, params, piece);
            else
                InPieces(read, gate.get(), source, alias, pieceRows, params, piece);
            if (!keysSort.isEmpty()) {
                odbc::Statement sort = read.statement();
                read.run(sort, keysSort);
                Detach(read, kKeysDb);
            }
        } else if (!done) {
            odbc::Statement st = read.statement();
            read.runGivingWay(st, fill, params);
        }
        odbc::Statement last = read.statement();
        read.run(last, QLatin1String("SELECT max(pos) FROM ") + kList + QLatin1Char(';'));
        listed->highest = numberOf(last);
        // The first page, read here rather than by the grid when the list
        // arrives (its rows may lie anywhere in a file the system no longer
        // holds in memory). Taken after the file's version, so that a change
        // in between reads it again.
        odbc::Statement version = read.statement();
        read.run(version, QStringLiteral("PRAGMA data_version;"));
        listed->version = numberOf(version);
        odbc::Statement first = read.statement();
        read.run(first, pageQuery, {odbc::Param::text(QByteArrayLiteral("1"))});
        listed->firstPage = takePage(first, columns);
    });
    // (The result is taken by poll, once the read has finished.)
    buildListed_ = listed;
}

void OrderedRows::startFirstRows()
{
    const QString where = filter_.where.isEmpty() ? QString() : QLatin1String(" WHERE ") + filter_.where;
    const bool byRowid = source_.identity == Identity::Rowid;
    // (A filter alone on a rowid table: in the table's own order, as its list is.)
    const QString order = byRowid && view_.order.empty() ? QLatin1String("ORDER BY ") + source_.alias : order_;
    // A filter in the table's own order: its first rows are sought among the
    // first rowids only. Further ones come with the list, built beside them in
    // the same order, so that where few rows match two scans do not run side
    // by side to the table's end.
    const bool reachBounded = byRowid && view_.order.empty() && !filter_.where.isEmpty();
    const QString reach = reachBounded ? QLatin1String(" AND ") + source_.alias + QLatin1String(" < (SELECT min(")
            + source_.alias + QLatin1String(") FROM main.") + source_.table + QLatin1String(") + ")
            + QString::number(kFirstRowsReach)
                                       : QString();
    const QString sql = QLatin1String("SELECT ") + (byRowid ? source_.alias + QLatin1String(", ") : QString())
        + QLatin1String("* FROM main.") + source_.table + where + reach + QLatin1Char(' ') + order
        + QLatin1String(" LIMIT ") + QString::number(firstLimit()) + QLatin1Char(';');
    auto rows = std::make_shared<Page>();
    rows->rows = RowStore(columns_);
    firstRows_ = rows;
    const bool byKey = piecesByKey();
    if ((!byRowid && !byKey) || indexed_) {
        first_ = BackgroundRead::start(openReader_(), [sql, params = filter_.params, rows, byRowid](BackgroundRead& read) {
            odbc::Statement st = read.statement();
            read.runGivingWay(st, sql, params);
            FetchRows(st, rows->rows, byRowid ? &rows->rowids : nullptr);
            rows->gone.assign(size_t(rows->rows.rows()), 0);
        });
        return;
    }
    // Otherwise they are found a piece of the table at a time. In the table's
    // order, piece after piece until there are enough; in another, the first
    // rows of each piece (identity and keys) are kept aside, and the first of
    // those are the first rows.
    const QString& alias = source_.alias;
    const QString filter = filter_.where.isEmpty() ? QString() : QLatin1String(" AND (") + filter_.where + QLatin1Char(')');
    const QString limit = QLatin1String(" LIMIT ") + QString::number(firstLimit());
    const bool sorted = !view_.order.empty();
    const QString top = QStringLiteral("temp.vestrel_first");
    const QStringList key = keyNames();
    // (A table without a rowid: its key's columns, compared as the table holds them.)
    QStringList same;
    for (qsizetype k = 0; k < key.size(); ++k)
        same << QLatin1String("t.") + key[k] + QStringLiteral(" = f.i%1").arg(k);
    const QString rowidFirst = byKey ? QString() : alias + QLatin1String(", ");
    QString pieceHead, pieceTail, create, result;
    if (sorted) {
        create = keysTable(top);
        pieceHead = QLatin1String("INSERT INTO ") + top + QLatin1String(" SELECT ") + keysOf() + QLatin1String(" FROM main.")
            + source_.table + QLatin1String(" WHERE ");
        pieceTail = filter + QLatin1Char(' ') + order_ + limit + QLatin1Char(';');
        result = QLatin1String("SELECT ") + (byKey ? QString() : QLatin1String("t.") + rowidFirst)
            + QLatin1String("t.* FROM ") + top + QLatin1String(" AS f JOIN main.") + source_.table + QLatin1String(" AS t ON ")
            + (byKey ? same.join(QLatin1String(" AND ")) : QLatin1String("t.") + alias + QLatin1String(" = f.rid"))
            + keysOrder(QStringLiteral("f.")) + limit + QLatin1Char(';');
    } else {
        pieceHead = QLatin1String("SELECT ") + rowidFirst + QLatin1String("* FROM main.") + source_.table
            + QLatin1String(" WHERE ");
        pieceTail = filter + QLatin1String(" ORDER BY ") + (byKey ? KeyOrder(key, {}) : alias) + QLatin1String(" LIMIT ");
    }
    const qsizetype wanted = firstLimit();
    // (A filter in the table's own order: its first rows are sought among the first rows only, as above.)
    const qsizetype pieces = reachBounded || (byKey && !sorted && !filter_.where.isEmpty())
        ? std::max<qsizetype>(1, kFirstRowsReach / pieceRows)
        : -1;
    first_ = BackgroundRead::start(openReader_(), [=, params = filter_.params, table = source_.table,
                                                   gate = pieces_](BackgroundRead& read) {
        qsizetype piecesLeft = pieces;
        std::vector<qint64>* rowids = byKey ? nullptr : &rows->rowids;
        {
            // In one statement while no other program waits to write (as the list is).
            odbc::Statement st = read.statement();
            if (read.runUnlessAWriterWaits(st, sql, params)) {
                FetchRows(st, rows->rows, rowids);
                rows->gone.assign(size_t(rows->rows.rows()), 0);
                return;
            }
        }
        if (sorted)
            FreshTable(read, top, create);
        const auto piece = [&](const QString& range, const std::vector<odbc::Param>& all) {
            odbc::Statement st = read.statement();
            read.run(st, pieceHead + range + pieceTail
                             + (sorted ? QString() : QString::number(wanted - rows->rows.rows()) + QLatin1Char(';')),
                     all);
            if (sorted)
                return true;
            FetchRows(st, rows->rows, rowids);
            return rows->rows.rows() < wanted && --piecesLeft != 0;
        };
        if (byKey)
            InKeyPieces(read, table, key, pieceRows, params, piece);
        else
            InPieces(read, gate.get(), table, alias, pieceRows, params, piece);
        if (sorted) {
            odbc::Statement st = read.statement();
            read.run(st, result);
            FetchRows(st, rows->rows, rowids);
        }
        rows->gone.assign(size_t(rows->rows.rows()), 0);
    });
}

bool OrderedRows::piecesByKey() const
{
    // (Not a key ordered descending in part, which the database cannot seek
    // as a row value: its reads give way to other programs whole.)
    return source_.identity == Identity::Key
        && std::find(source_.keyDescending.begin(), source_.keyDescending.end(), true) == source_.keyDescending.end();
}

bool OrderedRows::poll()
{
    const qsizetype before = count_;
    if (first_ && first_->finished()) {
        const std::shared_ptr<BackgroundRead> first = std::exchange(first_, nullptr);
        if (std::exchange(buildAfterFirst_, false) && !build_ && !ready_ && !cancelled_ && !paused_) {
            const bool all = !first->error() && !first->cancelled() && firstRows_->rows.rows() < firstLimit()
                && source_.identity == Identity::Rowid && keptFirst_.empty();
            if (all)
                keptFirst_ = firstRows_->rowids;
            startBuild(all);
        }
        if (!ready_ && !first->error() && !first->cancelled() && !pages_.holds(0)) {
            // The first rows, until the list is there.
            pages_.add(0, std::move(*firstRows_));
            count_ = pages_.at(0).rows.rows();
        }
        firstRows_.reset();
        if (first->cancelled() && !cancelled_ && !paused_ && !ready_ && !readsByIndex_ && !pages_.holds(0))
            startFirstRows(); // interrupted by a write of ours: read again
    }
    if (build_ && build_->finished()) {
        const std::shared_ptr<BackgroundRead> build = std::exchange(build_, nullptr);
        if (build->cancelled()) {
            // Interrupted by a write of ours (not stopped by the user): built again,
            // the first rows on show kept first.
            if (!cancelled_ && !paused_) {
                if (source_.identity == Identity::Rowid && pages_.holds(0) && keptFirst_.empty())
                    keptFirst_ = pages_.at(0).rowids;
                startBuild();
            }
            return count_ != before;
        }
        if (const std::exception_ptr error = build->error())
            std::rethrow_exception(error);
        ready_ = true;
        readsByIndex_ = false;
        keptFirst_.clear();
        listed_ = buildListed_->highest;
        holes_.clear();
        count_ = listed_;
        pages_.clear(); // read again from the list, the first page read with it
        dataVersion_ = buildListed_->version;
        if (buildListed_->firstPage.rows.rows() > 0)
            pages_.add(0, std::move(buildListed_->firstPage));
        buildListed_.reset();
        if (first_)
            first_->cancel();
    }
    return count_ != before;
}

void OrderedRows::wait()
{
    buildAfterFirst_ = false;
    while (!ready_) {
        if (!build_) {
            if (cancelled_)
                throw AppError(QStringLiteral("The order was not built: it was cancelled."));
            startBuild();
        }
        build_->wait();
        poll();
    }
}

void OrderedRows::cancel()
{
    cancelled_ = true;
    if (build_)
        build_->cancel();
    if (first_)
        first_->cancel();
}

void OrderedRows::pauseForWrite()
{
    if (!build_ || paused_)
        return;
    // The first rows on show keep their places when the order is built again.
    if (source_.identity == Identity::Rowid && pages_.holds(0) && keptFirst_.empty())
        keptFirst_ = pages_.at(0).rowids;
    build_->cancel();
    build_->wait();
    build_.reset();
    paused_ = true;
}

void OrderedRows::resume()
{
    if (!std::exchange(paused_, false) || ready_ || cancelled_)
        return;
    if (!first_ && !readsByIndex_ && !pages_.holds(0))
        startFirstRows();
    startBuild();
}

odbc::Statement OrderedRows::listStatement() const
{
    return list_.statement();
}

qint64 OrderedRows::positionOf(qsizetype row) const
{
    // Positions of rows we deleted are skipped.
    qint64 position = row + 1;
    for (;;) {
        const qint64 next = row + 1 + qint64(std::upper_bound(holes_.begin(), holes_.end(), position) - holes_.begin());
        if (next == position)
            return position;
        position = next;
    }
}

qsizetype OrderedRows::rowOf(qint64 position) const
{
    return qsizetype(position - 1 - (std::lower_bound(holes_.begin(), holes_.end(), position) - holes_.begin()));
}

QString OrderedRows::pageQuery() const
{
    const QString list = kList + QLatin1String(" o");
    switch (source_.identity) {
    case Identity::Rowid:
        return QLatin1String("SELECT o.pos, o.rid, t.") + source_.alias + QLatin1String(" IS NULL, t.* FROM ") + list
            + QLatin1String(" LEFT JOIN main.") + source_.table + QLatin1String(" t ON t.") + source_.alias
            + QLatin1String(" = o.rid WHERE o.pos >= ? ORDER BY o.pos LIMIT ") + QString::number(pageRows_)
            + QLatin1Char(';');
    case Identity::Key: {
        QStringList on;
        for (size_t k = 0; k < source_.keyColumns.size(); ++k)
            on << QLatin1String("t.") + source_.columns[source_.keyColumns[k]] + QLatin1String(" = o.k")
                    + QString::number(k);
        return QLatin1String("SELECT o.pos, NULL, t.") + source_.columns[source_.keyColumns.front()]
            + QLatin1String(" IS NULL, t.* FROM ") + list + QLatin1String(" LEFT JOIN main.") + source_.table
            + QLatin1String(" t ON ") + on.join(QLatin1String(" AND ")) + QLatin1String(" WHERE o.pos >= ? ORDER BY o.pos LIMIT ")
            + QString::number(pageRows_) + QLatin1Char(';');
    }
    case Identity::Cells:
        return QLatin1String("SELECT o.pos, NULL, 0, ") + identityColumns() + QLatin1String(" FROM ") + list
            + QLatin1String(" WHERE o.pos >= ? ORDER BY o.pos LIMIT ") + QString::number(pageRows_) + QLatin1Char(';');
    }
    return QString();
}

OrderedRows::Page& OrderedRows::page(qsizetype index) const
{
    if (Page* found = pages_.find(index))
        return *found;
    if (!ready_ && !readsByIndex_)
        throw AppError(QStringLiteral("The rows are still being put in order."));
    Page fresh;
    if (!ready_) {
        fresh = readByIndex(index);
    } else {
        followFile();
        fresh = readFromList(index);
    }
    return pages_.add(index, std::move(fresh));
}

OrderedRows::Page OrderedRows::readFromList(qsizetype index) const
{
    odbc::Statement st = listStatement();
    st.execute(pageQuery(), {odbc::Param::text(QByteArray::number(positionOf(index * pageRows_)))});
    return takePage(st, columns_);
}

OrderedRows::Page OrderedRows::takePage(odbc::Statement& st, int columns)
{
    Page fresh;
    fresh.rows = RowStore(columns);
    std::vector<std::optional<qint64>> numbers;
    FetchRows(st, fresh.rows, 3, &numbers);
    for (size_t r = 0; r + 2 < numbers.size(); r += 3) {
        fresh.rowids.push_back(numbers[r + 1].value_or(0));
        fresh.gone.push_back(numbers[r + 2].value_or(0) != 0);
    }
    return fresh;
}

QString OrderedRows::reversedOrder() const
{
    std::vector<SortKey> reversed = view_.order;
    for (SortKey& key : reversed)
        key.descending = !key.descending;
    return OrderClause(source_.columns, reversed, identity_);
}

OrderedRows::Page OrderedRows::readByIndex(qsizetype index) const
{
    // By OFFSET along the index from the nearer end: the database steps over
    // index entries only, without reading the rows passed.
    Page fresh;
    fresh.rows = RowStore(columns_);
    const qsizetype start = index * pageRows_;
    const qsizetype rows = std::min(pageRows_, count_ - start);
    const qsizetype fromEnd = count_ - start - rows;
    const bool backwards = fromEnd < start;
    // (On a connection of its own: the list's is busy building the list.)
    if (!indexReader_.statement)
        indexReader_ = openReader_();
    const QString head = QLatin1String("SELECT ") + source_.alias + QLatin1String(", * FROM main.") + source_.table;
    const auto take = [&](odbc::Statement& st, bool turn) {
        fresh.rows = RowStore(columns_);
        fresh.rowids.clear();
        if (!turn) {
            FetchRows(st, fresh.rows, &fresh.rowids);
            return;
        }
        RowStore turned(columns_);
        std::vector<qint64> rowids;
        FetchRows(st, turned, &rowids);
        for (qsizetype r = turned.rows() - 1; r >= 0; --r) {
            fresh.rows.appendRow(turned.row(r));
            fresh.rowids.push_back(rowids[size_t(r)]);
        }
    };
    // Next to a page held, the page is sought from the row beside it (its
    // sort values and rowid, taken from the table by that rowid, so they
    // compare as the table holds them), with no steps over the entries before.
    // Where that row has gone or holds NULL, fewer rows come: by OFFSET then.
    const std::optional<QString> keyset = keysetAfter();
    const Page* previous = index > 0 ? pages_.find(index - 1) : nullptr;
    const Page* next = previous ? nullptr : pages_.find(index + 1);
    if (keyset && ((previous && !previous->rowids.empty()) || (next && !next->rowids.empty()))) {
        const bool forward = previous != nullptr;
        const qint64 beside = forward ? previous->rowids.back() : next->rowids.front();
        // (Ascending, the rows after it are greater; descending, less.)
        const bool greater = forward != view_.order.front().descending;
        odbc::Statement st = indexReader_.statement();
        st.execute(head + QLatin1String(" WHERE (") + *keyset + (greater ? QLatin1String(") > ") : QLatin1String(") < "))
                       + QLatin1String("(SELECT ") + *keyset + QLatin1String(" FROM main.") + source_.table
                       + QLatin1String(" WHERE ") + source_.alias + QLatin1String(" = ?) ")
                       + (forward ? order_ : reversedOrder()) + QLatin1String(" LIMIT ") + QString::number(rows)
                       + QLatin1Char(';'),
                   {odbc::Param::text(QByteArray::number(beside))});
        take(st, !forward);
        if (fresh.rows.rows() == rows) {
            fresh.gone.assign(size_t(rows), 0);
            return fresh;
        }
    }
    odbc::Statement st = indexReader_.statement();
    st.execute(head + QLatin1Char(' ') + (backwards ? reversedOrder() : order_) + QLatin1String(" LIMIT ")
                   + QString::number(rows) + QLatin1String(" OFFSET ") + QString::number(backwards ? fromEnd : start)
                   + QLatin1Char(';'));
    take(st, backwards);
    fresh.gone.assign(size_t(fresh.rows.rows()), 0);
    return fresh;
}

std::optional<QString> OrderedRows::keysetAfter() const
{
    // A row value of the sort keys and the rowid: where every key runs the
    // same way, the order is that of the row value (or its reverse).
    if (view_.order.empty())
        return std::nullopt;
    QStringList terms;
    for (const SortKey& key : view_.order) {
        if (key.descending != view_.order.front().descending)
            return std::nullopt;
        terms << source_.columns.value(key.column);
    }
    terms << source_.alias;
    return terms.join(QLatin1String(", "));
}

const RowStore& OrderedRows::locate(qsizetype row, qsizetype* index) const
{
    if (row < 0 || row >= count_)
        throw RowGoneError(QStringLiteral("Row %1 is outside the table.").arg(row));
    const Page& p = page(row / pageRows_);
    *index = row % pageRows_;
    if (*index >= p.rows.rows())
        throw RowGoneError(QStringLiteral("Row %1 is outside the table.").arg(row));
    return p.rows;
}

std::optional<qint64> OrderedRows::rowid(qsizetype row) const
{
    if (source_.identity != Identity::Rowid)
        return std::nullopt;
    qsizetype index = 0;
    locate(row, &index);
    return pages_.at(row / pageRows_).rowids[size_t(index)];
}

bool OrderedRows::isGone(qsizetype row) const
{
    qsizetype index = 0;
    locate(row, &index);
    return pages_.at(row / pageRows_).gone[size_t(index)] != 0;
}

std::vector<odbc::Param> OrderedRows::identityParams(const StoredRow& cells, std::optional<qint64> rowid) const
{
    std::vector<odbc::Param> params;
    if (source_.identity == Identity::Rowid)
        params.push_back(odbc::Param::text(QByteArray::number(rowid.value_or(0))));
    else if (source_.identity == Identity::Key)
        for (int c : source_.keyColumns)
            params.push_back(cellParam(cells[size_t(c)]));
    else
        for (const StoredCell& cell : cells)
            params.push_back(cellParam(cell));
    return params;
}

void OrderedRows::rowUpdated(qsizetype row, const StoredRow& cells, std::optional<qint64> rowid,
                             std::optional<qint64> previousRowid)
{
    const qsizetype index = row / pageRows_;
    if (Page* found = pages_.find(index); found && row % pageRows_ < found->rows.rows() && !cells.empty()) {
        found->rows.replaceRow(row % pageRows_, cells);
        if (rowid && !found->rowids.empty())
            found->rowids[size_t(row % pageRows_)] = *rowid;
    }
    if (!ready_) {
        if (rowid && !keptFirst_.empty() && row < qsizetype(keptFirst_.size()))
            keptFirst_[size_t(row)] = *rowid;
        return;
    }
    // A row that keeps its rowid is listed as it was.
    if (source_.identity == Identity::Rowid && rowid == previousRowid)
        return;
    // The list knows the row by its new identity, in the same place.
    QStringList sets;
    const QStringList names = identityColumns().split(QLatin1Char(','));
    for (const QString& name : names)
        sets << name + QLatin1String(" = ?");
    std::vector<odbc::Param> params = identityParams(cells, rowid);
    params.push_back(odbc::Param::text(QByteArray::number(positionOf(row))));
    odbc::Statement st = listStatement();
    st.execute(QLatin1String("UPDATE ") + kList + QLatin1String(" SET ") + sets.join(QLatin1String(", "))
                   + QLatin1String(" WHERE pos = ?;"),
               params);
    followFile(); // (our own write is not another program's)
}

void OrderedRows::rowAdded(const StoredRow& cells, std::optional<qint64> rowid)
{
    if (!ready_) {
        // The order being built takes it in; read from the index, it stands in its place already.
        if (readsByIndex_) {
            ++count_;
            pages_.clear();
        }
        return;
    }
    const std::vector<odbc::Param> params = identityParams(cells, rowid);
    QStringList marks;
    for (size_t i = 0; i < params.size(); ++i)
        marks << QStringLiteral("?");
    odbc::Statement st = listStatement();
    st.execute(QLatin1String("INSERT INTO ") + kList + QLatin1Char('(') + identityColumns() + QLatin1String(") VALUES (")
                   + marks.join(QLatin1Char(',')) + QLatin1String(");"),
               params);
    ++listed_;
    ++count_;
    dropPagesFrom((count_ - 1) / pageRows_);
}

void OrderedRows::rowsDeleted(const std::vector<qsizetype>& rows)
{
    if (rows.empty())
        return;
    std::vector<qint64> positions;
    for (qsizetype row : rows)
        positions.push_back(positionOf(row));
    if (ready_) {
        for (qint64 position : positions) {
            odbc::Statement st = listStatement();
            st.execute(QLatin1String("DELETE FROM ") + kList + QLatin1String(" WHERE pos = ?;"),
                       {odbc::Param::text(QByteArray::number(position))});
        }
        holes_.insert(holes_.end(), positions.begin(), positions.end());
        std::sort(holes_.begin(), holes_.end());
    }
    count_ = std::max<qsizetype>(0, count_ - qsizetype(rows.size()));
    dropPagesFrom(*std::min_element(rows.begin(), rows.end()) / pageRows_);
    if (!ready_)
        keptFirst_.clear();
}

void OrderedRows::forgetRow(qsizetype row)
{
    if (ready_ || readsByIndex_)
        pages_.erase(row / pageRows_);
}

void OrderedRows::dropPagesFrom(qsizetype index) const
{
    if (ready_ || readsByIndex_)
        pages_.eraseFrom(index);
}

bool OrderedRows::followFile() const
{
    if (!ready_)
        return false;
    odbc::Statement st = listStatement();
    st.execute(QStringLiteral("PRAGMA data_version;"));
    const qint64 version = numberOf(st);
    if (version == dataVersion_)
        return false;
    dataVersion_ = version;
    // Rows keep their places; what they hold is read again.
    pages_.clear();
    return true;
}

std::optional<FoundRow> OrderedRows::find(qsizetype from, bool forward, const FindText& text,
                                          const std::function<bool()>& keepGoing)
{
    wait();
    if (count_ == 0 || from < 0 || from >= count_)
        return std::nullopt;
    QString list = kList + QLatin1String(" o");
    QStringList columns;
    if (source_.identity == Identity::Cells) {
        for (int c = 0; c < columns_; ++c)
            columns << QStringLiteral("o.c%1").arg(c);
    } else {
        for (const QString& column : source_.columns)
            columns << QLatin1String("t.") + column;
        QStringList on;
        if (source_.identity == Identity::Rowid)
            on << QLatin1String("t.") + source_.alias + QLatin1String(" = o.rid");
        for (size_t k = 0; source_.identity == Identity::Key && k < source_.keyColumns.size(); ++k)
            on << QLatin1String("t.") + source_.columns[source_.keyColumns[k]] + QLatin1String(" = o.k")
                    + QString::number(k);
        list += QLatin1String(" JOIN main.") + source_.table + QLatin1String(" t ON ") + on.join(QLatin1String(" AND "));
    }
    QString cells;
    const FilterSql match = FindCondition(columns, text, &cells);
    const size_t half = match.params.size() / 2;
    const std::vector<odbc::Param> selected(match.params.begin(), match.params.begin() + qsizetype(half));
    const std::vector<odbc::Param> matched(match.params.begin() + qsizetype(half), match.params.end());
    const QString sql = QLatin1String("SELECT o.pos, ") + cells + QLatin1String(" FROM ") + list
        + QLatin1String(" WHERE o.pos BETWEEN ? AND ? AND (") + match.where + QLatin1String(") ORDER BY o.pos")
        + (forward ? "" : " DESC") + QLatin1String(" LIMIT 1;");
    // The list is searched a piece of positions at a time, each a read of its
    // own, so the file's lock is let go between them wherever the system
    // cannot tell that another program waits to write.
    const qint64 start = positionOf(from), last = listed_, step = std::max<qint64>(1, pieceRows);
    auto found = std::make_shared<std::optional<std::pair<qint64, QString>>>();
    if (!RunWhile(list_, [sql, selected, matched, found, start, last, step, forward](BackgroundRead& read) {
            for (qint64 at = start; at >= 1 && at <= last;) {
                const qint64 low = forward ? at : std::max<qint64>(1, at - (step - 1));
                const qint64 high = forward ? std::min(last, at + (step - 1)) : at;
                std::vector<odbc::Param> params = selected;
                params.push_back(odbc::Param::text(QByteArray::number(low)));
                params.push_back(odbc::Param::text(QByteArray::number(high)));
                params.insert(params.end(), matched.begin(), matched.end());
                odbc::Statement st = read.statement();
                read.runGivingWay(st, sql, params);
                std::string pos, holding;
                if (st.fetch() && st.getData(0, pos) && st.getData(1, holding)) {
                    *found = std::pair(std::strtoll(pos.c_str(), nullptr, 10), QString::fromStdString(holding));
                    return;
                }
                at = forward ? high + 1 : low - 1;
            }
        }, keepGoing) || !*found)
        return std::nullopt;
    return FoundRow{rowOf((*found)->first), (*found)->second};
}
