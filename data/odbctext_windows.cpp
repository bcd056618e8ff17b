#include "odbctext.h"

#include <algorithm>

namespace odbc::text {
namespace {
SQLWCHAR* wide(const QString& text) { return reinterpret_cast<SQLWCHAR*>(const_cast<ushort*>(text.utf16())); }
} // namespace

SQLRETURN driverConnect(SQLHDBC dbc, const QString& connectionString)
{
    SQLWCHAR out[1024];
    SQLSMALLINT outLength = 0;
    return SQLDriverConnectW(dbc, nullptr, wide(connectionString), SQL_NTS, out, 1024, &outLength,
                             SQL_DRIVER_NOPROMPT);
}

SQLRETURN execDirect(SQLHSTMT statement, const QString& sql) { return SQLExecDirectW(statement, wide(sql), SQL_NTS); }

SQLRETURN prepare(SQLHSTMT statement, const QString& sql) { return SQLPrepareW(statement, wide(sql), SQL_NTS); }

SQLRETURN tables(SQLHSTMT statement) { return SQLTablesW(statement, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0); }

bool diagnosticRecord(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT record, QString* message)
{
    SQLWCHAR state[8] = {};
    SQLINTEGER native = 0;
    SQLWCHAR text[2048] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRecW(handleType, handle, record, state, &native, text, 2048, &length)))
        return false;
    *message = QString::fromUtf16(reinterpret_cast<const char16_t*>(text));
    return true;
}

SQLRETURN describeColumn(SQLHSTMT statement, int column, QString* name, SQLSMALLINT* type)
{
    SQLWCHAR text[1024] = {};
    SQLSMALLINT length = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    const SQLRETURN rc =
        SQLDescribeColW(statement, SQLUSMALLINT(column + 1), text, 1024, &length, type, &size, &digits, &nullable);
    *name = QString::fromUtf16(reinterpret_cast<const char16_t*>(text));
    return rc;
}

SQLSMALLINT cellType() { return SQL_C_WCHAR; }

size_t cellTerminator() { return sizeof(SQLWCHAR); }

bool cellsAreUtf8() { return false; }

void cellToUtf8(std::string& cell)
{
    const QByteArray utf8 = QString::fromUtf16(reinterpret_cast<const char16_t*>(cell.data()),
                                               qsizetype(cell.size() / sizeof(char16_t)))
                                .toUtf8();
    cell.assign(utf8.constData(), size_t(utf8.size()));
}

SQLRETURN bindText(SQLHSTMT statement, SQLUSMALLINT column, const QByteArray& utf8, std::string& storage,
                   SQLLEN* indicator)
{
    const QString text = QString::fromUtf8(utf8);
    storage.assign(reinterpret_cast<const char*>(text.utf16()), size_t(text.size()) * sizeof(char16_t));
    storage.append(sizeof(char16_t), '\0');
    *indicator = SQLLEN(text.size() * sizeof(char16_t));
    return SQLBindParameter(statement, column, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                            std::max<SQLULEN>(1, text.size()), 0, storage.data(), *indicator, indicator);
}

} // namespace odbc::text
