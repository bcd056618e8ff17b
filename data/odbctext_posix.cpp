#include "odbctext.h"

#include <algorithm>

namespace odbc::text {

SQLRETURN driverConnect(SQLHDBC dbc, const QString& connectionString)
{
    QByteArray text = connectionString.toUtf8();
    SQLCHAR out[1024];
    SQLSMALLINT outLength = 0;
    return SQLDriverConnectA(dbc, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS, out, sizeof out,
                             &outLength, SQL_DRIVER_NOPROMPT);
}

SQLRETURN execDirect(SQLHSTMT statement, const QString& sql)
{
    QByteArray text = sql.toUtf8();
    return SQLExecDirectA(statement, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
}

SQLRETURN prepare(SQLHSTMT statement, const QString& sql)
{
    QByteArray text = sql.toUtf8();
    return SQLPrepareA(statement, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
}

SQLRETURN tables(SQLHSTMT statement) { return SQLTablesA(statement, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0); }

bool diagnosticRecord(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT record, QString* message)
{
    SQLCHAR state[8] = {};
    SQLINTEGER native = 0;
    SQLCHAR text[2048] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRecA(handleType, handle, record, state, &native, text, sizeof text, &length)))
        return false;
    *message = QString::fromUtf8(reinterpret_cast<const char*>(text));
    return true;
}

SQLRETURN describeColumn(SQLHSTMT statement, int column, QString* name, SQLSMALLINT* type)
{
    SQLCHAR text[1024] = {};
    SQLSMALLINT length = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    const SQLRETURN rc = SQLDescribeColA(statement, SQLUSMALLINT(column + 1), text, sizeof text, &length, type,
                                         &size, &digits, &nullable);
    *name = QString::fromUtf8(reinterpret_cast<const char*>(text));
    return rc;
}

SQLSMALLINT cellType() { return SQL_C_CHAR; }

size_t cellTerminator() { return 1; }

bool cellsAreUtf8() { return true; }

void cellToUtf8(std::string&) {}

SQLRETURN bindText(SQLHSTMT statement, SQLUSMALLINT column, const QByteArray& utf8, std::string&, SQLLEN* indicator)
{
    *indicator = utf8.size();
    return SQLBindParameter(statement, column, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                            std::max<SQLULEN>(1, utf8.size()), 0, const_cast<char*>(utf8.constData()), utf8.size(),
                            indicator);
}

} // namespace odbc::text
