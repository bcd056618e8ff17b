#pragma once
// The ODBC calls that carry text, in the character width of the platform's
// driver manager: UTF-8 through the A functions on POSIX (unixODBC), UTF-16
// through the W functions on Windows (where wine's odbc32 has no A functions).
#include "odbc.h"

namespace odbc::text {
SQLRETURN driverConnect(SQLHDBC dbc, const QString& connectionString);
SQLRETURN execDirect(SQLHSTMT statement, const QString& sql);
SQLRETURN prepare(SQLHSTMT statement, const QString& sql);
SQLRETURN tables(SQLHSTMT statement);
// One diagnostic record's message; false when there is no such record.
bool diagnosticRecord(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT record, QString* message);
// A result column's name and SQL type (column counted from 0).
SQLRETURN describeColumn(SQLHSTMT statement, int column, QString* name, SQLSMALLINT* type);
} // namespace odbc::text
