#include "adodb.h"

#include "error.h"
#include "quote.h"
#include "sqlitelib.h"

#include <QRegularExpression>
#include <algorithm>
#include <limits>

namespace ADODB {

// ---------------------------------------------------------------- Connection

Connection::~Connection() { Close(); }

void Connection::Open(const QString& connectionString)
{
    Close();
    SqliteLibrary::Prepare();
    odbc::Handle env(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    odbc::check(SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION,
                              reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                SQL_HANDLE_ENV, env.get(), "SQLSetEnvAttr");
    odbc::Handle dbc(SQL_HANDLE_DBC, env.get());
    QByteArray text = connectionString.toUtf8();
    SQLCHAR out[1024];
    SQLSMALLINT outLength = 0;
    odbc::check(SQLDriverConnectA(dbc.get(), nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                                  SQL_NTS, out, sizeof out, &outLength, SQL_DRIVER_NOPROMPT),
                SQL_HANDLE_DBC, dbc.get(), "SQLDriverConnect");
    env_ = std::move(env);
    dbc_ = std::move(dbc);
    connectionString_ = connectionString;
    // SQLite opens lazily; reading the schema version makes a file that is not
    // a database fail here, where the caller expects a refused connection.
    try {
        odbc::Statement probe = statement();
        probe.execute(QStringLiteral("PRAGMA schema_version;"));
        probe.fetch();
    } catch (...) {
        Close();
        throw;
    }
}

void Connection::Close()
{
    if (dbc_.get() != SQL_NULL_HANDLE)
        SQLDisconnect(dbc_.get());
    dbc_.reset();
    env_.reset();
}

void Connection::requireOpen() const
{
    if (!IsOpen())
        throw AppError(QStringLiteral("Operation is not allowed when the object is closed."));
}

odbc::Statement Connection::statement() const
{
    requireOpen();
    return odbc::Statement(dbc_.get());
}

namespace {
std::function<void(const QString&)>& executeObserver()
{
    static std::function<void(const QString&)> observer;
    return observer;
}
} // namespace

void SetExecuteObserver(std::function<void(const QString&)> observer) { executeObserver() = std::move(observer); }

void Connection::Execute(const QString& sql)
{
    if (executeObserver())
        executeObserver()(sql);
    odbc::Statement st = statement();
    st.execute(sql);
}

std::shared_ptr<RecordSet> Connection::OpenSchema(int schema)
{
    requireOpen();
    if (schema != adSchemaTables)
        throw AppError(QStringLiteral("Schema %1 is not supported.").arg(schema));
    auto rs = std::make_shared<RecordSet>();
    odbc::Statement st = statement();
    st.tables();
    rs->OpenRowset(st);
    return rs;
}

void Connection::inTransaction(const std::function<void()>& work)
{
    requireOpen();
    SQLHDBC dbc = dbc_.get();
    odbc::check(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                                  reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
                SQL_HANDLE_DBC, dbc, "SQLSetConnectAttr");
    auto autocommitOn = [dbc] {
        SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    };
    try {
        work();
        odbc::check(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT), SQL_HANDLE_DBC, dbc, "SQLEndTran");
    } catch (...) {
        SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
        autocommitOn();
        throw;
    }
    autocommitOn();
}


// ----------------------------------------------------------------- RecordSet

namespace {

constexpr qsizetype kPageRows = 20000;
const QString kClosed = QStringLiteral("Operation is not allowed when the object is closed.");

bool isBinaryType(SQLSMALLINT type)
{
    return type == SQL_BINARY || type == SQL_VARBINARY || type == SQL_LONGVARBINARY;
}

bool hasTextAffinity(const QString& declaredType)
{
    const QString t = declaredType.toUpper();
    return t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB"))
        || t.contains(QLatin1String("TEXT"));
}

odbc::Param originalParam(const CellValue& value, bool blob)
{
    return blob ? odbc::Param::bytes(value) : odbc::Param::text(value);
}

// The check that a column still holds the value that was read: compared in the
// text form in which the driver delivered it.
QString sameAsRead(const QString& quotedColumn, bool blob)
{
    return blob ? quotedColumn + QLatin1String(" IS ?")
                : QLatin1String("CAST(") + quotedColumn + QLatin1String(" AS TEXT) IS ?");
}

} // namespace

void RecordSet::Close()
{
    open_ = false;
    connection_.reset();
    columns_.clear();
    blobColumns_.clear();
    declaredTypes_.clear();
    store_ = RowStore();
    rowids_.clear();
    window_.reset();
    position_ = 0;
    key_ = RowKey::ReadOnly;
    table_.clear();
    rowidAlias_.clear();
    keyColumns_.clear();
}

void RecordSet::OpenRowset(odbc::Statement& statement)
{
    Close();
    describeColumns(statement, 0);
    FetchRows(statement, blobColumns_, store_, nullptr);
    open_ = true;
}

void RecordSet::Open(const QString& source, std::shared_ptr<Connection> connection,
                     int /*cursorType*/, int lockType)
{
    Close();
    if (!connection || !connection->IsOpen())
        throw AppError(kClosed);
    static const QRegularExpression wholeTable(
        QStringLiteral(R"re(^\s*SELECT\s+\*\s+FROM\s+"((?:[^"]|"")*)"\s*;?\s*$)re"),
        QRegularExpression::CaseInsensitiveOption);

    connection_ = connection;
    bool byRowid = false;
    QHash<QString, QString> types;
    QStringList keyNames;
    const auto match = wholeTable.match(source);
    if (lockType != adLockReadOnly && match.hasMatch()) {
        QString table = match.captured(1);
        table.replace(QLatin1String("\"\""), QLatin1String("\""));
        describeTable(table, types, keyNames);
        byRowid = key_ == RowKey::RowId;
    }
    try {
        if (byRowid) {
            openRowidTable();
        } else {
            odbc::Statement st = connection_->statement();
            st.execute(source);
            describeColumns(st, 0);
            FetchRows(st, blobColumns_, store_, nullptr);
        }
    } catch (...) {
        Close();
        throw;
    }
    for (const QString& name : columns_)
        declaredTypes_ << types.value(name.toLower());
    for (const QString& name : keyNames) {
        const int index = int(columns_.indexOf(name));
        if (index < 0) {
            key_ = RowKey::AllValues;
            keyColumns_.clear();
            break;
        }
        keyColumns_.push_back(index);
    }
    // Without a rowid or a key, a row is found by all of its values.
    if (key_ == RowKey::AllValues)
        for (int c = 0; c < columnCount(); ++c)
            keyColumns_.push_back(c);
    open_ = true;
}

void RecordSet::describeTable(const QString& table, QHash<QString, QString>& types,
                              QStringList& keyNames)
{
    odbc::Statement st = connection_->statement();
    st.execute(QStringLiteral("SELECT type, name FROM sqlite_master WHERE name = ? COLLATE NOCASE "
                              "AND type IN ('table', 'view');"),
               {odbc::Param::text(table.toUtf8())});
    std::string kind, name;
    if (!st.fetch())
        return; // not a table of this database: read-only
    st.getData(0, kind);
    st.getData(1, name);
    st.closeCursor();
    table_ = QString::fromUtf8(name.data(), qsizetype(name.size()));

    odbc::Statement info = connection_->statement();
    info.execute(QLatin1String("PRAGMA table_info(") + QuoteIdentifier(table_) + QLatin1String(");"));
    std::map<int, QString> primaryKey;
    QStringList lowerNames;
    std::string column, type, pk;
    while (info.fetch()) {
        info.getData(1, column);
        info.getData(2, type);
        info.getData(5, pk);
        const QString columnName = QString::fromUtf8(column.data(), qsizetype(column.size()));
        types.insert(columnName.toLower(), QString::fromUtf8(type.data(), qsizetype(type.size())));
        lowerNames << columnName.toLower();
        if (const int order = std::atoi(pk.c_str()); order > 0)
            primaryKey[order] = columnName;
    }

    key_ = RowKey::AllValues;
    if (kind == "view")
        return;
    for (const char* alias : {"rowid", "_rowid_", "oid"}) {
        if (lowerNames.contains(QLatin1String(alias)))
            continue;
        try {
            odbc::Statement probe = connection_->statement();
            probe.execute(QLatin1String("SELECT ") + QLatin1String(alias) + QLatin1String(" FROM ")
                          + QuoteIdentifier(table_) + QLatin1String(" LIMIT 0;"));
            rowidAlias_ = QLatin1String(alias);
            key_ = RowKey::RowId;
            return;
        } catch (const AppError&) {
            break; // WITHOUT ROWID
        }
    }
    if (!primaryKey.empty()) {
        key_ = RowKey::PrimaryKey;
        for (const auto& entry : primaryKey)
            keyNames << entry.second;
    }
}

namespace {
qsizetype windowThreshold = 250000;
qsizetype windowPageRows = 10000;
constexpr size_t kWindowPages = 16;
} // namespace

void RecordSet::SetWindowing(qsizetype threshold, qsizetype pageRows)
{
    windowThreshold = threshold;
    windowPageRows = pageRows;
}

void RecordSet::describeColumns(odbc::Statement& st, int leading)
{
    const int n = st.columnCount();
    for (int i = leading; i < n; ++i) {
        columns_ << st.columnName(i);
        blobColumns_ << isBinaryType(st.columnType(i));
    }
    store_ = RowStore(n - leading);
}

void RecordSet::openRowidTable()
{
    const QString from = QLatin1String(" FROM ") + QuoteIdentifier(table_);
    qsizetype count = 0;
    {
        odbc::Statement st = connection_->statement();
        st.execute(QLatin1String("SELECT COUNT(*)") + from + QLatin1Char(';'));
        std::string buffer;
        if (st.fetch() && st.getData(0, buffer))
            count = std::strtoll(buffer.c_str(), nullptr, 10);
    }
    // The table's own order (rowid) with the rowid in front, so rows can be found again.
    const QString page = QLatin1String("SELECT ") + rowidAlias_ + QLatin1String(", *") + from + QLatin1String(" WHERE ")
        + rowidAlias_ + QLatin1String(" > ? ORDER BY ") + rowidAlias_ + QLatin1String(" LIMIT ");
    if (count > windowThreshold) {
        odbc::Statement st = connection_->statement();
        st.execute(page + QLatin1String("0;"), {odbc::Param::text(QByteArray("0"))});
        describeColumns(st, 1);
        auto openReader = [text = connection_->ConnectionString()] {
            auto reader = std::make_shared<Connection>();
            reader->Open(text);
            return RowWindow::Reader{reader, [reader] { return reader->statement(); }};
        };
        window_ = std::make_unique<RowWindow>([c = connection_] { return c->statement(); }, QuoteIdentifier(table_),
                                              rowidAlias_, blobColumns_, count, windowPageRows, kWindowPages,
                                              openReader);
        if (count > 0) {
            qsizetype index = 0;
            window_->locate(0, &index); // the first page, ready to paint
        }
        if (Progress)
            Progress(count, count); // the rest is read as it is shown
        return;
    }
    // Smaller tables are read whole, in pages, so the driver never holds more
    // than one page besides our own store.
    QByteArray after = QByteArray::number(std::numeric_limits<qint64>::min());
    for (;;) {
        odbc::Statement st = connection_->statement();
        st.execute(page + QString::number(kPageRows) + QLatin1Char(';'), {odbc::Param::text(after)});
        if (columns_.isEmpty())
            describeColumns(st, 1);
        const qsizetype before = store_.rows();
        FetchRows(st, blobColumns_, store_, &rowids_);
        if (Progress)
            Progress(store_.rows(), count);
        if (store_.rows() - before < kPageRows)
            break;
        after = QByteArray::number(rowids_.back());
    }
}

const RowStore& RecordSet::storeFor(qsizetype row, qsizetype* index) const
{
    if (window_)
        return window_->locate(row, index);
    *index = row;
    return store_;
}

qint64 RecordSet::rowidOf(qsizetype row) const { return window_ ? window_->rowid(row) : rowids_[size_t(row)]; }

void RecordSet::replaceRow(qsizetype row, const std::vector<CellValue>& cells)
{
    if (window_)
        window_->replaceRow(row, cells);
    else
        store_.replaceRow(row, cells);
}

CellValue RecordSet::value(qsizetype row, int column) const
{
    qsizetype index = 0;
    return storeFor(row, &index).value(index, column);
}

QString RecordSet::text(qsizetype row, int column) const
{
    qsizetype index = 0;
    const RowStore& store = storeFor(row, &index);
    const std::string_view bytes = store.bytes(index, column);
    if (blobColumns_.value(column) && !store.isNull(index, column))
        return QStringLiteral("(BLOB, %1 bytes)").arg(bytes.size());
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

bool RecordSet::textBytes(qsizetype row, int column, std::string_view* bytes) const
{
    if (blobColumns_.value(column))
        return false;
    qsizetype index = 0;
    *bytes = storeFor(row, &index).bytes(index, column);
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

void RecordSet::requireUpdatable() const
{
    if (!open_)
        throw AppError(kClosed);
    if (key_ == RowKey::ReadOnly)
        throw AppError(QStringLiteral("This result cannot be changed: it does not come from one "
                                      "table of the database."));
}

QString RecordSet::keyCondition(qsizetype row, std::vector<odbc::Param>& params) const
{
    if (key_ == RowKey::RowId) {
        params.push_back(odbc::Param::text(QByteArray::number(rowidOf(row))));
        return rowidAlias_ + QLatin1String(" = ?");
    }
    QStringList parts;
    auto add = [&](int c) {
        parts << sameAsRead(QuoteIdentifier(columns_[c]), blobColumns_[c]);
        params.push_back(originalParam(value(row, c), blobColumns_[c]));
    };
    for (int c : keyColumns_)
        add(c);
    return parts.join(QLatin1String(" AND "));
}

bool RecordSet::readBack(const QString& condition, const std::vector<odbc::Param>& params,
                         std::vector<CellValue>& cells, qint64* rowid)
{
    const bool withRowid = key_ == RowKey::RowId;
    odbc::Statement st = connection_->statement();
    st.execute(QLatin1String("SELECT ") + (withRowid ? rowidAlias_ + QLatin1String(", ") : QString())
                   + QLatin1String("* FROM ") + QuoteIdentifier(table_) + QLatin1String(" WHERE ")
                   + condition + QLatin1Char(';'),
               params);
    if (!st.fetch())
        return false;
    std::string buffer;
    const int leading = withRowid ? 1 : 0;
    if (withRowid) {
        st.getData(0, buffer);
        *rowid = std::strtoll(buffer.c_str(), nullptr, 10);
    }
    cells.clear();
    for (int c = 0; c < columnCount(); ++c) {
        const bool present = st.getData(c + leading, buffer, blobColumns_[c]);
        cells.push_back(present ? CellValue(QByteArray(buffer.data(), qsizetype(buffer.size())))
                                : CellValue());
    }
    return !st.fetch(); // found again only when exactly one row fits
}

namespace {
const QString kNotFound = QStringLiteral(
    "The row was not written: it was changed or deleted by another program since it was read. "
    "Press Esc to undo your change.");
const QString kTooMany = QStringLiteral(
    "Too many rows affected: the row is not unique in the table, so the change was not written.");

void requireOneRow(SQLLEN affected)
{
    if (affected == 0)
        throw AppError(kNotFound);
    if (affected != 1)
        throw AppError(kTooMany);
}
} // namespace

void RecordSet::Update(qsizetype row, const RowChanges& changes)
{
    requireUpdatable();
    if (window_)
        window_->discardReadAhead(); // no reader beside the write
    if (changes.empty())
        return;
    QStringList assignments, checks;
    std::vector<odbc::Param> params;
    for (const auto& [column, value] : changes) {
        if (blobColumns_.value(column))
            throw AppError(QStringLiteral("The column \"%1\" holds binary data and cannot be edited here.")
                               .arg(columns_[column]));
        assignments << QuoteIdentifier(columns_[column]) + QLatin1String(" = ?");
        params.push_back(odbc::Param::text(value));
    }
    const QString where = keyCondition(row, params);
    if (key_ != RowKey::AllValues) {
        for (const auto& entry : changes) {
            const int column = entry.first;
            checks << sameAsRead(QuoteIdentifier(columns_[column]), false);
            params.push_back(odbc::Param::text(value(row, column)));
        }
    }
    const QString sql = QLatin1String("UPDATE ") + QuoteIdentifier(table_) + QLatin1String(" SET ")
        + assignments.join(QLatin1String(", ")) + QLatin1String(" WHERE ") + where
        + (checks.isEmpty() ? QString() : QLatin1String(" AND ") + checks.join(QLatin1String(" AND ")))
        + QLatin1Char(';');
    connection_->inTransaction([&] {
        odbc::Statement st = connection_->statement();
        st.execute(sql, params);
        requireOneRow(st.rowCount());
    });

    // Find the row again, now with its new values, and show what was stored.
    std::vector<CellValue> merged;
    for (int c = 0; c < columnCount(); ++c)
        merged.push_back(value(row, c));
    for (const auto& [column, value] : changes)
        merged[size_t(column)] = value;
    std::vector<odbc::Param> again;
    QString condition;
    if (key_ == RowKey::RowId) {
        condition = keyCondition(row, again);
    } else {
        QStringList parts;
        for (int c : keyColumns_) {
            const QString q = QuoteIdentifier(columns_[c]);
            if (changes.count(c)) {
                parts << q + QLatin1String(" IS ?");
                again.push_back(odbc::Param::text(changes.at(c)));
            } else {
                parts << sameAsRead(q, blobColumns_[c]);
                again.push_back(originalParam(value(row, c), blobColumns_[c]));
            }
        }
        condition = parts.join(QLatin1String(" AND "));
    }
    std::vector<CellValue> stored;
    qint64 rowid = 0;
    try {
        if (readBack(condition, again, stored, &rowid)) {
            replaceRow(row, stored);
            return;
        }
    } catch (const AppError&) {
    }
    replaceRow(row, merged);
}

qsizetype RecordSet::AddNew(const RowChanges& values)
{
    requireUpdatable();
    if (window_)
        window_->discardReadAhead();
    QStringList names, marks;
    std::vector<odbc::Param> params;
    for (const auto& [column, value] : values) {
        if (blobColumns_.value(column))
            throw AppError(QStringLiteral("The column \"%1\" holds binary data and cannot be edited here.")
                               .arg(columns_[column]));
        names << QuoteIdentifier(columns_[column]);
        marks << QStringLiteral("?");
        params.push_back(odbc::Param::text(value));
    }
    const QString sql = QLatin1String("INSERT INTO ") + QuoteIdentifier(table_)
        + (names.isEmpty() ? QStringLiteral(" DEFAULT VALUES;")
                           : QLatin1String(" (") + names.join(QLatin1String(", "))
                   + QLatin1String(") VALUES (") + marks.join(QLatin1String(", ")) + QLatin1String(");"));
    qint64 rowid = 0;
    connection_->inTransaction([&] {
        odbc::Statement st = connection_->statement();
        st.execute(sql, params);
        requireOneRow(st.rowCount());
        if (key_ == RowKey::RowId) {
            odbc::Statement last = connection_->statement();
            last.execute(QStringLiteral("SELECT last_insert_rowid();"));
            std::string buffer;
            if (last.fetch() && last.getData(0, buffer))
                rowid = std::strtoll(buffer.c_str(), nullptr, 10);
        }
    });

    std::vector<CellValue> row(static_cast<size_t>(columnCount()));
    for (const auto& [column, value] : values)
        row[size_t(column)] = value;
    QStringList parts;
    std::vector<odbc::Param> again;
    if (key_ == RowKey::RowId) {
        parts << rowidAlias_ + QLatin1String(" = ?");
        again.push_back(odbc::Param::text(QByteArray::number(rowid)));
    } else {
        for (const auto& [column, value] : values) {
            parts << QuoteIdentifier(columns_[column]) + QLatin1String(" IS ?");
            again.push_back(odbc::Param::text(value));
        }
    }
    std::vector<CellValue> stored;
    qint64 found = rowid;
    try {
        if (!parts.isEmpty() && readBack(parts.join(QLatin1String(" AND ")), again, stored, &found))
            row = stored;
    } catch (const AppError&) {
    }
    if (window_) {
        window_->rowAppended();
        return window_->count() - 1;
    }
    store_.appendRow(row);
    if (key_ == RowKey::RowId)
        rowids_.push_back(rowid);
    return store_.rows() - 1;
}

void RecordSet::Delete(std::vector<qsizetype> rows)
{
    requireUpdatable();
    if (window_)
        window_->discardReadAhead();
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    connection_->inTransaction([&] {
        for (qsizetype row : rows) {
            std::vector<odbc::Param> params;
            const QString where = keyCondition(row, params);
            odbc::Statement st = connection_->statement();
            st.execute(QLatin1String("DELETE FROM ") + QuoteIdentifier(table_)
                           + QLatin1String(" WHERE ") + where + QLatin1Char(';'),
                       params);
            requireOneRow(st.rowCount());
        }
    });
    if (window_) {
        window_->rowsRemoved(rows);
        return;
    }
    for (qsizetype row : rows) {
        store_.removeRow(row);
        if (key_ == RowKey::RowId)
            rowids_.erase(rowids_.begin() + row);
    }
}

} // namespace ADODB
