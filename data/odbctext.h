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

// Cells and parameters. The driver of Windows hands SQL_C_CHAR text in the ANSI
// code page, so there text travels as UTF-16 and is turned into UTF-8 here.
// The C type a text cell is read as, and the bytes of its terminator.
SQLSMALLINT cellType();
size_t cellTerminator();
// Whether cells are read as UTF-8 already; where not, cellToUtf8 turns the bytes
// read for one text cell into UTF-8, in place.
bool cellsAreUtf8();
void cellToUtf8(std::string& cell);
// Binds a UTF-8 text parameter (column counted from 1); storage keeps what is
// bound alive until the statement has run.
SQLRETURN bindText(SQLHSTMT statement, SQLUSMALLINT column, const QByteArray& utf8, std::string& storage,
                   SQLLEN* indicator);
} // namespace odbc::text
