#include "tableshape.h"

#include "columncollations.h"
#include "connection.h"
#include "error.h"
#include "odbc.h"
#include "quote.h"

#include <QRegularExpression>
#include <map>

namespace ADODB {

namespace {
QString text(const std::string& bytes) { return QString::fromUtf8(bytes.data(), qsizetype(bytes.size())); }

bool hasRowid(const Connection& connection, const QString& table, const QString& alias)
{
    try {
        odbc::Statement probe = connection.statement();
        probe.execute(QLatin1String("SELECT ") + alias + QLatin1String(" FROM ") + QuoteIdentifier(table)
                      + QLatin1String(" LIMIT 0;"));
        return true;
    } catch (const AppError&) {
        return false; // WITHOUT ROWID
    }
}
} // namespace

int TableShape::columnIndex(const QString& column) const
{
    for (int c = 0; c < columns.size(); ++c)
        if (columns[c].compare(column, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

TableShape DescribeTable(const Connection& connection, const QString& table)
{
    TableShape shape;
    std::string kind, name, sql;
    {
        odbc::Statement st = connection.statement();
        st.execute(QStringLiteral("SELECT type, name, sql FROM sqlite_master WHERE name = ? COLLATE NOCASE "
                                  "AND type IN ('table', 'view');"),
                   {odbc::Param::text(table.toUtf8())});
        if (!st.fetch())
            return shape;
        st.getData(0, kind);
        st.getData(1, name);
        if (!st.getData(2, sql))
            sql.clear();
    }
    shape.name = text(name);
    shape.isView = kind == "view";

    std::map<int, int> primaryKey; // key order -> column
    {
        odbc::Statement info = connection.statement();
        info.execute(QLatin1String("PRAGMA table_info(") + QuoteIdentifier(shape.name) + QLatin1String(");"));
        std::string column, type, pk;
        while (info.fetch()) {
            info.getData(1, column);
            if (!info.getData(2, type))
                type.clear();
            info.getData(5, pk);
            shape.columns << text(column);
            shape.declaredTypes << text(type);
            if (const int order = std::atoi(pk.c_str()); order > 0)
                primaryKey[order] = int(shape.columns.size()) - 1;
        }
    }

    shape.collations = shape.isView ? QStringList(shape.columns.size(), QString())
                                    : ColumnCollations(text(sql), shape.columns);
    if (shape.isView) {
        // A view can be written only through its INSTEAD OF triggers.
        odbc::Statement st = connection.statement();
        st.execute(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ? COLLATE NOCASE;"),
                   {odbc::Param::text(shape.name.toUtf8())});
        static const QRegularExpression insteadOf(QStringLiteral(R"(\bINSTEAD\s+OF\s+(INSERT|UPDATE|DELETE)\b)"),
                                                  QRegularExpression::CaseInsensitiveOption);
        std::string sql;
        while (st.fetch()) {
            if (!st.getData(0, sql))
                continue;
            const auto match = insteadOf.match(text(sql));
            if (!match.hasMatch())
                continue;
            const QString what = match.captured(1).toUpper();
            shape.canInsert |= what == QLatin1String("INSERT");
            shape.canUpdate |= what == QLatin1String("UPDATE");
            shape.canDelete |= what == QLatin1String("DELETE");
        }
        if (shape.canInsert || shape.canUpdate || shape.canDelete)
            shape.key = RowKey::AllValues;
        return shape;
    }

    shape.canInsert = shape.canUpdate = shape.canDelete = true;
    QStringList lowerNames;
    for (const QString& column : shape.columns)
        lowerNames << column.toLower();
    for (const char* alias : {"rowid", "_rowid_", "oid"}) {
        if (lowerNames.contains(QLatin1String(alias)))
            continue;
        if (!hasRowid(connection, shape.name, QLatin1String(alias)))
            break;
        shape.rowidAlias = QLatin1String(alias);
        shape.key = RowKey::RowId;
        // A single INTEGER PRIMARY KEY column is the rowid itself.
        if (primaryKey.size() == 1
            && shape.declaredTypes[primaryKey.begin()->second].trimmed().compare(QLatin1String("INTEGER"),
                                                                               Qt::CaseInsensitive) == 0)
            shape.rowidColumn = primaryKey.begin()->second;
        return shape;
    }
    // WITHOUT ROWID, or every rowid name taken by a column: by the primary key where there is one.
    if (!primaryKey.empty()) {
        shape.key = RowKey::PrimaryKey;
        for (const auto& entry : primaryKey)
            shape.keyColumns.push_back(entry.second);
        shape.keyDescending.assign(shape.keyColumns.size(), false);
        // The key's index tells which of its columns it orders descending.
        odbc::Statement list = connection.statement();
        list.execute(QLatin1String("SELECT name FROM pragma_index_list(?) WHERE origin = 'pk';"),
                     {odbc::Param::text(shape.name.toUtf8())});
        std::string index;
        if (list.fetch() && list.getData(0, index)) {
            odbc::Statement info = connection.statement();
            info.execute(QLatin1String("SELECT desc FROM pragma_index_xinfo(?) WHERE key = 1 ORDER BY seqno;"),
                         {odbc::Param::text(QByteArray::fromStdString(index))});
            std::string desc;
            for (size_t k = 0; k < shape.keyDescending.size() && info.fetch(); ++k)
                shape.keyDescending[k] = info.getData(0, desc) && desc == "1";
        }
        return shape;
    }
    shape.key = RowKey::AllValues;
    return shape;
}

} // namespace ADODB
