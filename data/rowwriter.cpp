#include "rowwriter.h"

#include "error.h"
#include "fetch.h"
#include "quote.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>

namespace ADODB {

namespace {
// Rows written together in one statement (a statement with too many parameters for the database is
// refused, and its rows are written one by one).
constexpr size_t kTogether = 80;
const QString kNotFound = QStringLiteral(
    "The row was not written: it was changed or deleted by another program since it was read. "
    "Press Esc to undo your change.");
const QString kTooMany = QStringLiteral(
    "Too many rows affected: the row is not unique in the table, so the change was not written.");
const QString kIgnored = QStringLiteral(
    "The change was not written: a trigger of the table ignored it, so the database changed no row.");
const QString kViewNotApplied = QStringLiteral(
    "The change was not written: the view's INSTEAD OF trigger did not make it (the view does not "
    "show the row as it was changed).");

// The letter a read puts before each exact value.
StorageClass storageClass(char letter)
{
    switch (letter) {
    case 'i':
        return StorageClass::Integer;
    case 'r':
        return StorageClass::Real;
    case 't':
        return StorageClass::Text;
    case 'b':
        return StorageClass::Blob;
    }
    return StorageClass::Null;
}

// A typed value against a column: the column's affinity applies to it, its
// text compares with BINARY collation.
QString typedMatch(const QString& column, const CellValue& value, std::vector<odbc::Param>& params)
{
    if (!value)
        return column + QLatin1String(" IS NULL");
    params.push_back(odbc::Param::text(value));
    return column + QLatin1String(" = ? COLLATE BINARY");
}

// A shown cell against a column: its storage class (BLOB or not) and its text.
QString shownMatch(const QString& column, const StoredCell& cell, std::vector<odbc::Param>& params)
{
    if (!cell.value)
        return column + QLatin1String(" IS NULL");
    params.push_back(odbc::Param::bytes(cell.value));
    if (cell.blob)
        return QLatin1String("typeof(") + column + QLatin1String(") = 'blob' AND ") + column + QLatin1String(" = ?");
    return QLatin1String("typeof(") + column + QLatin1String(") <> 'blob' AND CAST(") + column
        + QLatin1String(" AS TEXT) = CAST(? AS TEXT) COLLATE BINARY");
}

// An original value's parameter (not NULL): exactCast turns it into the value stored.
void exactParam(OriginalView value, std::vector<odbc::Param>& params)
{
    const bool number = value.type == StorageClass::Integer || value.type == StorageClass::Real;
    params.push_back(number ? odbc::Param::text(value.bytes.toByteArray()) : odbc::Param::bytes(value.bytes.toByteArray()));
}

// The expression that gives the parameter of an original value of that
// storage class (exactParam) as it was stored: storage class and value.
QString exactCast(StorageClass type, const QString& parameter)
{
    switch (type) {
    case StorageClass::Null:
        return QStringLiteral("NULL");
    case StorageClass::Integer:
        return QLatin1String("CAST(") + parameter + QLatin1String(" AS INTEGER)");
    case StorageClass::Real:
        return QLatin1String("CAST(") + parameter + QLatin1String(" AS REAL)");
    case StorageClass::Text:
        return QLatin1String("CAST(") + parameter + QLatin1String(" AS TEXT)");
    case StorageClass::Blob:
        return parameter;
    }
    return {};
}

// One original value as an expression that stores it exactly: storage class and value.
QString exactValue(OriginalView value, std::vector<odbc::Param>& params)
{
    if (value.type != StorageClass::Null)
        exactParam(value, params);
    return exactCast(value.type, QStringLiteral("?"));
}

// One original value against its column: storage class and value, exactly.
QString originalMatch(const QString& column, OriginalView value, std::vector<odbc::Param>& params)
{
    static const char* const types[] = {"null", "integer", "real", "text", "blob"};
    if (value.type == StorageClass::Null)
        return column + QLatin1String(" IS NULL");
    return QLatin1String("typeof(") + column + QLatin1String(") = '") + QLatin1String(types[int(value.type)])
        + QLatin1String("' AND ") + column + QLatin1String(" = ") + exactValue(value, params)
        + (value.type == StorageClass::Text ? QLatin1String(" COLLATE BINARY") : QLatin1String(""));
}

std::vector<odbc::Param> joined(std::vector<odbc::Param> first, const std::vector<odbc::Param>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}
} // namespace

RowWriter::RowWriter(std::shared_ptr<Connection> connection, TableShape shape)
    : connection_(std::move(connection)), shape_(std::move(shape))
{
}

QString RowWriter::quoted(int column) const { return QuoteIdentifier(shape_.columns[column]); }

QString RowWriter::condition(const RowIdentity& identity, std::vector<odbc::Param>& params) const
{
    QStringList parts;
    if (shape_.key == RowKey::RowId && identity.rowid) {
        parts << shape_.rowidAlias + QLatin1String(" = ?");
        params.push_back(odbc::Param::text(QByteArray::number(*identity.rowid)));
    }
    int c = 0;
    for (const OriginalView value : identity.values) {
        if (c >= shape_.columns.size())
            break;
        parts << originalMatch(quoted(c++), value, params);
    }
    return parts.join(QLatin1String(" AND "));
}

std::vector<StoredRecord> RowWriter::read(const QString& condition, const std::vector<odbc::Param>& params,
                                          int limit, std::vector<StoredRow>* delivered, bool withCells) const
{
    const bool withRowid = shape_.key == RowKey::RowId;
    const int n = int(shape_.columns.size());
    QStringList columns;
    if (withRowid)
        columns << shape_.rowidAlias;
    if (withCells)
        columns << QStringLiteral("*");
    QString sql = QLatin1String("SELECT ") + columns.join(QLatin1String(", "));
    for (int c = 0; c < n; ++c) {
        const QString q = quoted(c);
        // One column for each value: its storage class's letter, then the value exactly (NULL for NULL).
        sql += QLatin1String(columns.isEmpty() && c == 0 ? " CASE typeof(" : ", CASE typeof(") + q + QLatin1String(") WHEN 'real' THEN 'r' || quote(") + q
            + QLatin1String(") WHEN 'integer' THEN 'i' || ") + q + QLatin1String(" WHEN 'text' THEN 't' || hex(") + q
            + QLatin1String(") WHEN 'blob' THEN 'b' || hex(") + q + QLatin1String(") END");
    }
    sql += QLatin1String(" FROM ") + QuoteIdentifier(shape_.name) + QLatin1String(" WHERE ") + condition
        + QLatin1String(" LIMIT ") + QString::number(limit) + QLatin1Char(';');
    std::vector<StoredRecord> records;
    connection_->runPrepared(sql, params, [&](odbc::Statement& st) {
    std::string buffer;
    const int lead = withRowid ? 1 : 0;
    while (st.fetch()) {
        StoredRecord record;
        if (withRowid) {
            st.getData(0, buffer);
            record.rowid = std::strtoll(buffer.c_str(), nullptr, 10);
            record.identity.rowid = record.rowid;
        }
        StoredRow& cells = record.cells;
        for (int c = 0; c < n && withCells; ++c) {
            const bool present = st.getData(lead + c, buffer);
            cells.push_back(DeliveredCell(present, buffer));
        }
        const int exactFrom = lead + (withCells ? n : 0);
        if (delivered)
            delivered->push_back(cells);
        OriginalValues& values = record.identity.values;
        for (int c = 0; c < n; ++c) {
            const bool present = st.getData(exactFrom + c, buffer) && !buffer.empty();
            const StorageClass kind = present ? storageClass(buffer.front()) : StorageClass::Null;
            const std::string_view exact = present ? std::string_view(buffer).substr(1) : std::string_view();
            if (kind == StorageClass::Integer || kind == StorageClass::Real || kind == StorageClass::Null) {
                values.push_back(kind, QByteArrayView(exact.data(), qsizetype(exact.size())));
                continue;
            }
            const QByteArrayView bytes = values.pushHex(kind, exact);
            if (!withCells)
                continue;
            // What the grid shows: the cell by its own storage class, text whole.
            StoredCell& cell = cells[size_t(c)];
            if (kind == StorageClass::Blob)
                cell = {bytes.toByteArray(), true};
            else if (cell.blob || bytes.contains('\0'))
                cell = {bytes.toByteArray(), false};
        }
        values.squeeze();
        records.push_back(std::move(record));
    }
    });
    return records;
}

StoredRecord RowWriter::identify(const StoredRow& shown, std::optional<qint64> rowid) const
{
    QStringList parts;
    std::vector<odbc::Param> params;
    if (shape_.key == RowKey::RowId && rowid) {
        parts << shape_.rowidAlias + QLatin1String(" = ?");
        params.push_back(odbc::Param::text(QByteArray::number(*rowid)));
    } else if (shape_.key == RowKey::PrimaryKey) {
        for (int c : shape_.keyColumns) {
            // Looked up through the key's index (the column's affinity and
            // collation apply), then checked exactly.
            const StoredCell& cell = shown.at(size_t(c));
            if (cell.value) {
                // A REAL is shown to 15 digits: its stored value lies within a hair of the text.
                bool real = false;
                const double value = cell.blob ? 0 : cell.value->toDouble(&real);
                real = real && (cell.value->contains('.') || cell.value->contains('e') || cell.value->contains('E'));
                if (real && value != 0) {
                    const double hair = std::abs(value) * 1e-14;
                    parts << QLatin1Char('(') + quoted(c) + QLatin1String(" = ? OR ") + quoted(c)
                            + QLatin1String(" BETWEEN ? AND ?)");
                    params.push_back(odbc::Param::text(*cell.value));
                    params.push_back(odbc::Param::text(QByteArray::number(value - hair, 'g', 17)));
                    params.push_back(odbc::Param::text(QByteArray::number(value + hair, 'g', 17)));
                } else {
                    parts << quoted(c) + QLatin1String(" = ?");
                    params.push_back(cell.blob ? odbc::Param::bytes(cell.value) : odbc::Param::text(cell.value));
                }
            }
            parts << shownMatch(quoted(c), cell, params);
        }
    } else {
        for (int c = 0; c < int(shown.size()) && c < shape_.columns.size(); ++c)
            parts << shownMatch(quoted(c), shown[size_t(c)], params);
    }
    std::vector<StoredRow> delivered;
    std::vector<StoredRecord> found = read(parts.join(QLatin1String(" AND ")), params, 2, &delivered);
    if (found.empty())
        throw AppError(kNotFound);
    // Two rows that show the same (REALs equal to 15 digits) cannot be told apart: neither is written.
    if (found.size() > 1 && shape_.key != RowKey::AllValues)
        throw AppError(kTooMany);
    // The row must still hold what the grid shows of it.
    for (size_t c = 0; c < shown.size(); ++c)
        if (c >= found[0].cells.size() || (shown[c] != delivered[0][c] && shown[c] != found[0].cells[c]))
            throw AppError(kNotFound);
    return std::move(found[0]);
}

std::vector<std::optional<StoredRecord>> RowWriter::identifyMany(
    const std::vector<std::pair<StoredRow, std::optional<qint64>>>& rows) const
{
    std::vector<std::optional<StoredRecord>> records(rows.size());
    if (shape_.key != RowKey::RowId) {
        for (size_t i = 0; i < rows.size(); ++i) {
            try {
                records[i] = identify(rows[i].first, rows[i].second);
            } catch (const AppError&) {
            }
        }
        return records;
    }
    // By rowid, many at a time; each checked as identify checks it.
    constexpr size_t kBatch = 250;
    for (size_t from = 0; from < rows.size(); from += kBatch) {
        const size_t to = std::min(rows.size(), from + kBatch);
        QStringList marks;
        std::vector<odbc::Param> params;
        for (size_t i = from; i < to; ++i)
            if (rows[i].second) {
                marks << QStringLiteral("?");
                params.push_back(odbc::Param::text(QByteArray::number(*rows[i].second)));
            }
        if (marks.isEmpty())
            continue;
        std::vector<StoredRow> delivered;
        std::vector<StoredRecord> found = read(shape_.rowidAlias + QLatin1String(" IN (") + marks.join(QLatin1Char(','))
                                                   + QLatin1Char(')'),
                                               params, int(marks.size()), &delivered);
        std::map<qint64, size_t> byRowid;
        for (size_t k = 0; k < found.size(); ++k)
            byRowid[found[k].rowid.value_or(0)] = k;
        for (size_t i = from; i < to; ++i) {
            if (!rows[i].second)
                continue;
            const auto at = byRowid.find(*rows[i].second);
            if (at == byRowid.end())
                continue;
            const StoredRow& shown = rows[i].first;
            const StoredRecord& record = found[at->second];
            bool same = true;
            for (size_t c = 0; c < shown.size() && same; ++c)
                same = c < record.cells.size()
                    && (shown[c] == delivered[at->second][c] || shown[c] == record.cells[c]);
            if (same)
                records[i] = record;
        }
    }
    return records;
}

void RowWriter::requireOneRow(const QString& statement, const QString& where,
                              const std::vector<odbc::Param>& whereParams, const std::vector<odbc::Param>& params) const
{
    const QString count = QLatin1String("SELECT COUNT(*) FROM ") + QuoteIdentifier(shape_.name)
        + QLatin1String(" WHERE ") + where + QLatin1Char(';');
    if (shape_.isView) {
        // The database counts no rows for a view's triggers: the row is counted first.
        const qint64 n = connection_->queryNumber(count, whereParams);
        if (n == 0)
            throw AppError(kNotFound);
        if (n > 1)
            throw AppError(kTooMany);
    }
    SQLLEN affected = 0;
    connection_->runPrepared(statement, params, [&](odbc::Statement& st) { affected = st.rowCount(); });
    if (shape_.isView)
        return;
    if (affected == 1)
        return;
    if (affected > 1)
        throw AppError(kTooMany);
    throw AppError(connection_->queryNumber(count, whereParams) > 0 ? kIgnored : kNotFound);
}

const QString& RowWriter::changedMessage() { return kNotFound; }

std::optional<qint64> RowWriter::writeUnread(const RowIdentity* identity, const RowChanges& changes) const
{
    if (shape_.key != RowKey::RowId || shape_.isView || (identity && !identity->rowid))
        return std::nullopt;
    std::optional<qint64> rowid = identity ? identity->rowid : std::nullopt;
    if (identity) {
        if (const auto key = changes.find(shape_.rowidColumn); key != changes.end()) {
            bool number = false;
            rowid = key->second ? key->second->toLongLong(&number) : 0;
            if (!number)
                return std::nullopt; // (found again as update finds it)
        }
    }
    QStringList sets, names, marks;
    std::vector<odbc::Param> params;
    for (const auto& [column, value] : changes) {
        sets << quoted(column) + QLatin1String(" = ?");
        names << quoted(column);
        marks << QStringLiteral("?");
        params.push_back(odbc::Param::text(value));
    }
    connection_->inTransaction([&] {
        if (identity) {
            std::vector<odbc::Param> whereParams;
            const QString where = condition(*identity, whereParams);
            requireOneRow(QLatin1String("UPDATE OR ABORT ") + QuoteIdentifier(shape_.name) + QLatin1String(" SET ")
                              + sets.join(QLatin1String(", ")) + QLatin1String(" WHERE ") + where + QLatin1Char(';'),
                          where, whereParams, joined(params, whereParams));
            return;
        }
        SQLLEN affected = 0;
        connection_->runPrepared(QLatin1String("INSERT OR ABORT INTO ") + QuoteIdentifier(shape_.name)
                                     + (names.isEmpty() ? QStringLiteral(" DEFAULT VALUES;")
                                                        : QLatin1String(" (") + names.join(QLatin1String(", "))
                                                  + QLatin1String(") VALUES (") + marks.join(QLatin1String(", "))
                                                  + QLatin1String(");")),
                                 params, [&](odbc::Statement& st) { affected = st.rowCount(); });
        if (affected != 1)
            throw AppError(affected == 0 ? kIgnored : kTooMany);
        std::string last;
        connection_->runPrepared(QStringLiteral("SELECT last_insert_rowid();"), {},
                                 [&](odbc::Statement& st) { st.fetch() && st.getData(0, last); });
        rowid = std::strtoll(last.c_str(), nullptr, 10);
    }, true); // (the UPDATE or the INSERT is the one statement that writes)
    return rowid;
}

QStringList RowWriter::guardsTogether(const std::vector<StorageClass>& classes, int& next) const
{
    static const char* const types[] = {"null", "integer", "real", "text", "blob"};
    const QString table = QuoteIdentifier(shape_.name);
    QStringList guards{table + QLatin1Char('.') + shape_.rowidAlias + QLatin1String(" = v.column1")};
    for (int c = 0; c < int(classes.size()); ++c) {
        const QString column = table + QLatin1Char('.') + quoted(c);
        if (classes[size_t(c)] == StorageClass::Null) {
            guards << column + QLatin1String(" IS NULL");
            continue;
        }
        guards << QLatin1String("typeof(") + column + QLatin1String(") = '") + QLatin1String(types[int(classes[size_t(c)])])
                + QLatin1String("' AND ") + column + QLatin1String(" = ")
                + exactCast(classes[size_t(c)], QLatin1String("v.column") + QString::number(next++))
                + (classes[size_t(c)] == StorageClass::Text ? QLatin1String(" COLLATE BINARY") : QLatin1String(""));
    }
    return guards;
}

bool RowWriter::updateTogether(const QStringList& sets, const QStringList& guards, const QString& tuples, qsizetype rows,
                               const std::vector<odbc::Param>& params) const
{
    return writeTogether(QLatin1String("UPDATE OR ABORT ") + QuoteIdentifier(shape_.name) + QLatin1String(" SET ")
                             + sets.join(QLatin1String(", ")) + QLatin1String(" FROM (VALUES ") + tuples
                             + QLatin1String(") AS v WHERE ") + guards.join(QLatin1String(" AND ")) + QLatin1Char(';'),
                         params, rows);
}

bool RowWriter::writeTogether(const QString& sql, const std::vector<odbc::Param>& params, qsizetype rows) const
{
    try {
        connection_->inTransaction([&] {
            SQLLEN affected = 0;
            connection_->runPrepared(sql, params, [&](odbc::Statement& st) { affected = st.rowCount(); });
            if (affected != SQLLEN(rows))
                throw AppError(kIgnored); // (rolled back: the rows are written one by one)
        });
        return true;
    } catch (const AppError&) {
        return false; // left to be written row by row
    }
}

namespace {
// Rows alike (by their shape) in groups of a few dozen (within 999
// parameters), each written by `group` (true: written whole); keepGoing is
// asked row by row, as the caller counts rows.
template <typename Shape>
std::vector<bool> InGroups(size_t rows, const std::map<Shape, std::vector<size_t>>& alike,
                           const std::function<bool(size_t)>& keepGoing, const QString& cancelled,
                           const std::function<bool(const Shape&, const std::vector<size_t>&)>& group)
{
    std::vector<bool> written(rows, false);
    size_t done = 0;
    for (const auto& [shape, members] : alike)
        for (size_t from = 0; from < members.size(); from += kTogether) {
            const std::vector<size_t> part(members.begin() + qsizetype(from),
                                           members.begin() + qsizetype(std::min(members.size(), from + kTogether)));
            if (group(shape, part))
                for (size_t i : part)
                    written[i] = true;
            for (size_t k = 0; k < part.size(); ++k)
                if (keepGoing && !keepGoing(++done))
                    throw AppError(cancelled);
        }
    return written;
}
// The parameters of a group's rows, each its rowid, what `put` adds, then
// the values it holds now (not NULL), as exactParam gives them. Rows alike
// give as many each: returns their tuples ("(?,?),(?,?)").
QString GroupValues(const std::vector<size_t>& group, std::vector<odbc::Param>& params,
                    const std::function<std::pair<qint64, const OriginalValues*>(size_t)>& row,
                    const std::function<void(size_t)>& put)
{
    const size_t first = params.size();
    for (size_t i : group) {
        const auto [rowid, held] = row(i);
        params.push_back(odbc::Param::text(QByteArray::number(rowid)));
        put(i);
        for (const OriginalView value : *held)
            if (value.type != StorageClass::Null)
                exactParam(value, params);
    }
    const size_t each = group.empty() ? 0 : (params.size() - first) / group.size();
    QString tuple = QStringLiteral("(?");
    for (size_t k = 1; k < each; ++k)
        tuple += QLatin1String(",?");
    tuple += QLatin1Char(')');
    QString tuples;
    tuples.reserve(qsizetype(group.size()) * (tuple.size() + 1));
    for (size_t k = 0; k < group.size(); ++k)
        tuples += (k ? QLatin1String(",") : QLatin1String("")) + tuple;
    return tuples;
}
} // namespace

std::vector<bool> RowWriter::writeUnreadTogether(
    const std::vector<std::pair<const RowIdentity*, const PackedChanges*>>& rows,
    const std::function<bool(size_t)>& keepGoing) const
{
    if (shape_.key != RowKey::RowId || shape_.isView)
        return std::vector<bool>(rows.size(), false);
    // Rows alike: the columns changed, and the storage classes held before.
    using Shape = std::pair<std::vector<int>, std::vector<StorageClass>>;
    std::map<Shape, std::vector<size_t>> alike;
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto& [identity, changes] = rows[i];
        if (!identity || !identity->rowid || !changes || changes->empty()
            || int(identity->values.size()) != shape_.columns.size())
            continue;
        Shape shape;
        shape.first = changes->columns();
        if (std::find(shape.first.begin(), shape.first.end(), shape_.rowidColumn) != shape.first.end())
            continue;
        for (const OriginalView value : identity->values)
            shape.second.push_back(value.type);
        alike[std::move(shape)].push_back(i);
    }
    return InGroups<Shape>(rows.size(), alike, keepGoing, QStringLiteral("The paste was cancelled: nothing was written."),
                           [&](const Shape& shape, const std::vector<size_t>& group) {
        // v.column1: the rowid; then the new values; then the values held before (not NULL).
        QStringList sets;
        int next = 2;
        for (int c : shape.first)
            sets << quoted(c) + QLatin1String(" = v.column") + QString::number(next++);
        const QStringList guards = guardsTogether(shape.second, next);
        std::vector<odbc::Param> params;
        const QString tuples = GroupValues(
            group, params, [&](size_t i) { return std::pair(*rows[i].first->rowid, &rows[i].first->values); },
            [&](size_t i) {
                for (const auto& entry : rows[i].second->unpacked())
                    params.push_back(odbc::Param::text(entry.second));
            });
        return updateTogether(sets, guards, tuples, qsizetype(group.size()), params);
    });
}

std::vector<bool> RowWriter::restoreTogether(const std::vector<std::pair<const RowIdentity*, const RowIdentity*>>& rows,
                                             const std::function<bool(size_t)>& keepGoing) const
{
    if (shape_.key != RowKey::RowId || shape_.isView)
        return std::vector<bool>(rows.size(), false);
    // Rows alike: the columns put back, the storage classes they take, and those held now.
    using Shape = std::pair<std::vector<std::pair<int, StorageClass>>, std::vector<StorageClass>>;
    std::map<Shape, std::vector<size_t>> alike;
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto& [now, then] = rows[i];
        if (!now || !then || !now->rowid || !then->rowid || *now->rowid != *then->rowid
            || int(now->values.size()) != shape_.columns.size() || then->values.size() != now->values.size())
            continue;
        Shape shape;
        int c = 0;
        for (auto held = now->values.begin(), back = then->values.begin(); held != now->values.end(); ++held, ++back, ++c) {
            if (!(*held == *back))
                shape.first.emplace_back(c, (*back).type);
            shape.second.push_back((*held).type);
        }
        if (!shape.first.empty())
            alike[std::move(shape)].push_back(i);
    }
    return InGroups<Shape>(rows.size(), alike, keepGoing, QStringLiteral("Cancelled: nothing was written."),
                           [&](const Shape& shape, const std::vector<size_t>& group) {
        // v.column1: the rowid; then the values put back (not NULL); then the values held now (not NULL).
        QStringList sets;
        int next = 2;
        for (const auto& [c, type] : shape.first)
            sets << quoted(c) + QLatin1String(" = ")
                    + exactCast(type, type == StorageClass::Null ? QString() : QLatin1String("v.column") + QString::number(next++));
        const QStringList guards = guardsTogether(shape.second, next);
        std::vector<odbc::Param> params;
        const QString tuples = GroupValues(
            group, params, [&](size_t i) { return std::pair(*rows[i].first->rowid, &rows[i].first->values); },
            [&](size_t i) {
                auto back = rows[i].second->values.begin();
                int at = 0;
                for (const auto& [c, type] : shape.first) {
                    for (; at < c; ++at, ++back) {
                    }
                    if (type != StorageClass::Null)
                        exactParam(*back, params);
                }
            });
        return updateTogether(sets, guards, tuples, qsizetype(group.size()), params);
    });
}

size_t RowWriter::insertTogether(const std::vector<const PackedChanges*>& rows, size_t from,
                                 std::vector<std::optional<qint64>>& rowids) const
{
    if (from >= rows.size() || !rows[from])
        return from + 1;
    const std::vector<int> columns = rows[from]->columns();
    size_t to = from + 1;
    while (to < rows.size() && to - from < kTogether && rows[to] && rows[to]->columns() == columns)
        ++to;
    const qint64 n = qint64(to - from);
    if (shape_.key != RowKey::RowId || shape_.isView || n < 2 || columns.empty()
        || std::find(columns.begin(), columns.end(), shape_.rowidColumn) != columns.end())
        return to;
    QStringList names, marks;
    for (int c : columns) {
        names << quoted(c);
        marks << QStringLiteral("?");
    }
    const QString tuple = QLatin1Char('(') + marks.join(QLatin1Char(',')) + QLatin1Char(')');
    QStringList tuples;
    std::vector<odbc::Param> params;
    for (size_t i = from; i < to; ++i) {
        tuples << tuple;
        for (const auto& entry : rows[i]->unpacked())
            params.push_back(odbc::Param::text(entry.second));
    }
    const QString table = QuoteIdentifier(shape_.name), alias = shape_.rowidAlias;
    try {
        connection_->inTransaction([&] {
            const qint64 last = connection_->queryNumber(QLatin1String("SELECT ifnull(max(") + alias
                                                         + QLatin1String("), 0) FROM ") + table + QLatin1Char(';'));
            if (last > std::numeric_limits<qint64>::max() - n)
                throw AppError(kIgnored); // (the database picks rowids at random there)
            SQLLEN affected = 0;
            connection_->runPrepared(QLatin1String("INSERT OR ABORT INTO ") + table + QLatin1String(" (")
                                         + names.join(QLatin1String(", ")) + QLatin1String(") VALUES ")
                                         + tuples.join(QLatin1Char(',')) + QLatin1Char(';'),
                                     params, [&](odbc::Statement& st) { affected = st.rowCount(); });
            // Ours are exactly the n rowids after the last one: the last row
            // inserted is there, and no other row stands past the old last.
            const qint64 inserted = connection_->queryNumber(QStringLiteral("SELECT last_insert_rowid();"));
            const qint64 past = connection_->queryNumber(QLatin1String("SELECT count(*) FROM ") + table
                                                             + QLatin1String(" WHERE ") + alias + QLatin1String(" > ?;"),
                                                         {odbc::Param::text(QByteArray::number(last))});
            if (affected != SQLLEN(n) || inserted != last + n || past != n)
                throw AppError(kIgnored); // (taken back: the rows are written one by one)
            for (qint64 k = 0; k < n; ++k)
                rowids[from + size_t(k)] = last + 1 + k;
        });
    } catch (const AppError&) {
        for (size_t i = from; i < to; ++i)
            rowids[i].reset();
    }
    return to;
}

std::vector<bool> RowWriter::removeTogether(const std::vector<const RowIdentity*>& rows,
                                            const std::function<bool(size_t)>& keepGoing) const
{
    if (shape_.key != RowKey::RowId || shape_.isView)
        return std::vector<bool>(rows.size(), false);
    // Rows alike: the storage classes they hold.
    using Shape = std::vector<StorageClass>;
    std::map<Shape, std::vector<size_t>> alike;
    for (size_t i = 0; i < rows.size(); ++i) {
        const RowIdentity* identity = rows[i];
        if (!identity || !identity->rowid || int(identity->values.size()) != shape_.columns.size())
            continue;
        Shape shape;
        for (const OriginalView value : identity->values)
            shape.push_back(value.type);
        alike[std::move(shape)].push_back(i);
    }
    return InGroups<Shape>(rows.size(), alike, keepGoing, QStringLiteral("Cancelled: nothing was written."),
                           [&](const Shape& shape, const std::vector<size_t>& group) {
        // v.column1: the rowid; then the values held now (not NULL).
        int next = 2;
        const QStringList guards = guardsTogether(shape, next);
        std::vector<odbc::Param> params;
        const QString tuples = GroupValues(
            group, params, [&](size_t i) { return std::pair(*rows[i]->rowid, &rows[i]->values); }, [](size_t) {});
        const QString table = QuoteIdentifier(shape_.name);
        return writeTogether(QLatin1String("DELETE FROM ") + table + QLatin1String(" WHERE ") + shape_.rowidAlias
                                 + QLatin1String(" IN (SELECT v.column1 FROM (VALUES ") + tuples
                                 + QLatin1String(") AS v, ") + table + QLatin1String(" WHERE ")
                                 + guards.join(QLatin1String(" AND ")) + QLatin1String(");"),
                             params, qsizetype(group.size()));
    });
}

std::vector<StoredRecord> RowWriter::readRowids(const std::vector<qint64>& rowids, bool withCells) const
{
    std::vector<StoredRecord> records;
    constexpr size_t kBatch = 250;
    for (size_t from = 0; from < rowids.size(); from += kBatch) {
        QStringList marks;
        std::vector<odbc::Param> params;
        for (size_t i = from; i < std::min(rowids.size(), from + kBatch); ++i) {
            marks << QStringLiteral("?");
            params.push_back(odbc::Param::text(QByteArray::number(rowids[i])));
        }
        std::vector<StoredRecord> found = read(shape_.rowidAlias + QLatin1String(" IN (") + marks.join(QLatin1Char(','))
                                                   + QLatin1Char(')'),
                                               params, int(marks.size()), nullptr, withCells);
        for (StoredRecord& record : found)
            records.push_back(std::move(record));
    }
    return records;
}

StoredRecord RowWriter::update(const RowIdentity& identity, const RowChanges& changes) const
{
    QStringList sets;
    std::vector<odbc::Param> params;
    for (const auto& [column, value] : changes) {
        sets << quoted(column) + QLatin1String(" = ?");
        params.push_back(odbc::Param::text(value));
    }
    std::vector<odbc::Param> whereParams;
    const QString where = condition(identity, whereParams);
    const QString sql = QLatin1String("UPDATE OR ABORT ") + QuoteIdentifier(shape_.name) + QLatin1String(" SET ")
        + sets.join(QLatin1String(", ")) + QLatin1String(" WHERE ") + where + QLatin1Char(';');

    // Found again by its rowid (the new one, where the rowid's column was changed),
    // or by the changed values beside the unchanged originals.
    QStringList again;
    std::vector<odbc::Param> againParams;
    if (shape_.key == RowKey::RowId && identity.rowid) {
        const auto key = changes.find(shape_.rowidColumn);
        again << shape_.rowidAlias + QLatin1String(" = ?");
        againParams.push_back(odbc::Param::text(key != changes.end() && key->second
                                                    ? *key->second
                                                    : QByteArray::number(*identity.rowid)));
    } else {
        int c = 0;
        for (const OriginalView value : identity.values) {
            const auto changed = changes.find(c);
            again << (changed != changes.end() ? typedMatch(quoted(c), changed->second, againParams)
                                               : originalMatch(quoted(c), value, againParams));
            ++c;
        }
    }

    StoredRecord result;
    connection_->inTransaction([&] {
        requireOneRow(sql, where, whereParams, joined(params, whereParams));
        std::vector<StoredRecord> found = read(again.join(QLatin1String(" AND ")), againParams, 1);
        if (!found.empty()) {
            result = std::move(found[0]);
            return;
        }
        if (shape_.isView)
            throw AppError(kViewNotApplied);
        // Written, but not found as typed (a trigger changed it): shown as typed.
        result.rowid = identity.rowid;
        int c = 0;
        for (const OriginalView v : identity.values) {
            const auto changed = changes.find(c++);
            result.cells.push_back(changed != changes.end() ? StoredCell{changed->second, false}
                                   : v.type == StorageClass::Null
                                   ? StoredCell{}
                                   : StoredCell{v.bytes.toByteArray(), v.type == StorageClass::Blob});
        }
    });
    return result;
}

StoredRecord RowWriter::insert(const RowChanges& values) const
{
    QStringList names, marks, again;
    std::vector<odbc::Param> params, againParams;
    for (const auto& [column, value] : values) {
        names << quoted(column);
        marks << QStringLiteral("?");
        params.push_back(odbc::Param::text(value));
        again << typedMatch(quoted(column), value, againParams);
    }
    const QString sql = QLatin1String("INSERT OR ABORT INTO ") + QuoteIdentifier(shape_.name)
        + (names.isEmpty() ? QStringLiteral(" DEFAULT VALUES;")
                           : QLatin1String(" (") + names.join(QLatin1String(", ")) + QLatin1String(") VALUES (")
                   + marks.join(QLatin1String(", ")) + QLatin1String(");"));
    StoredRecord result;
    connection_->inTransaction([&] {
        SQLLEN affected = 0;
        connection_->runPrepared(sql, params, [&](odbc::Statement& st) { affected = st.rowCount(); });
        if (!shape_.isView && affected != 1)
            throw AppError(affected == 0 ? kIgnored : kTooMany);
        if (shape_.key == RowKey::RowId) {
            std::string rowid;
            connection_->runPrepared(QStringLiteral("SELECT last_insert_rowid();"), {},
                                     [&](odbc::Statement& st) { st.fetch() && st.getData(0, rowid); });
            again = QStringList{shape_.rowidAlias + QLatin1String(" = ?")};
            againParams = {odbc::Param::text(QByteArray::fromStdString(rowid))};
        }
        std::vector<StoredRecord> found;
        if (!again.isEmpty())
            found = read(again.join(QLatin1String(" AND ")), againParams, 1);
        if (!found.empty()) {
            result = std::move(found[0]);
            return;
        }
        if (shape_.isView)
            throw AppError(kViewNotApplied);
        result.cells.resize(size_t(shape_.columns.size()));
        for (const auto& [column, value] : values)
            result.cells[size_t(column)] = {value, false};
    });
    return result;
}

void RowWriter::restore(const RowIdentity& now, const RowIdentity& then) const
{
    QStringList sets;
    std::vector<odbc::Param> params;
    if (shape_.key == RowKey::RowId && now.rowid && then.rowid && *now.rowid != *then.rowid && shape_.rowidColumn < 0) {
        sets << shape_.rowidAlias + QLatin1String(" = ?");
        params.push_back(odbc::Param::text(QByteArray::number(*then.rowid)));
    }
    int c = 0;
    for (auto held = now.values.begin(), back = then.values.begin();
         held != now.values.end() && back != then.values.end(); ++held, ++back, ++c)
        if (!(*held == *back))
            sets << quoted(c) + QLatin1String(" = ") + exactValue(*back, params);
    if (sets.isEmpty())
        return;
    std::vector<odbc::Param> whereParams;
    const QString where = condition(now, whereParams);
    // (One statement: it writes the row or nothing.)
    requireOneRow(QLatin1String("UPDATE OR ABORT ") + QuoteIdentifier(shape_.name) + QLatin1String(" SET ")
                      + sets.join(QLatin1String(", ")) + QLatin1String(" WHERE ") + where + QLatin1Char(';'),
                  where, whereParams, joined(params, whereParams));
}

StoredRecord RowWriter::reinsert(const RowIdentity& row) const
{
    QStringList names, values;
    std::vector<odbc::Param> params;
    if (shape_.key == RowKey::RowId && row.rowid && shape_.rowidColumn < 0) {
        names << shape_.rowidAlias;
        values << QStringLiteral("?");
        params.push_back(odbc::Param::text(QByteArray::number(*row.rowid)));
    }
    int c = 0;
    for (const OriginalView value : row.values) {
        names << quoted(c++);
        values << exactValue(value, params);
    }
    StoredRecord result;
    connection_->inTransaction([&] {
        odbc::Statement st = connection_->statement();
        try {
            st.execute(QLatin1String("INSERT OR ABORT INTO ") + QuoteIdentifier(shape_.name) + QLatin1String(" (")
                           + names.join(QLatin1String(", ")) + QLatin1String(") VALUES (")
                           + values.join(QLatin1String(", ")) + QLatin1String(");"),
                       params);
        } catch (const AppError& error) {
            throw AppError(QStringLiteral("The row was not put back: %1").arg(error.description()));
        }
        if (!shape_.isView && st.rowCount() != 1)
            throw AppError(kIgnored);
        std::vector<odbc::Param> whereParams;
        std::vector<StoredRecord> found = read(condition(row, whereParams), whereParams, 1);
        if (!found.empty())
            result = std::move(found[0]);
        else
            result.identity = row;
    });
    return result;
}

std::optional<StoredRecord> RowWriter::find(qint64 rowid) const
{
    if (shape_.key != RowKey::RowId)
        return std::nullopt;
    std::vector<StoredRecord> found = read(shape_.rowidAlias + QLatin1String(" = ?"),
                                           {odbc::Param::text(QByteArray::number(rowid))}, 1);
    if (found.empty())
        return std::nullopt;
    return std::move(found[0]);
}

void RowWriter::remove(const std::vector<RowIdentity>& rows) const
{
    connection_->inTransaction([&] {
        for (const RowIdentity& identity : rows) {
            std::vector<odbc::Param> params;
            const QString where = condition(identity, params);
            requireOneRow(QLatin1String("DELETE FROM ") + QuoteIdentifier(shape_.name) + QLatin1String(" WHERE ")
                              + where + QLatin1Char(';'),
                          where, params, params);
            if (shape_.isView
                && connection_->queryNumber(QLatin1String("SELECT COUNT(*) FROM ") + QuoteIdentifier(shape_.name)
                                                + QLatin1String(" WHERE ") + where + QLatin1Char(';'),
                                            params)
                    > 0)
                throw AppError(kViewNotApplied);
        }
    });
}

} // namespace ADODB
