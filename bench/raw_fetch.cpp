// Reference: fetch every row of a table through the raw ODBC API with the
// program's connection string, touching every cell. Prints seconds, rows, peak MB.
#include "peak.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <sql.h>
#include <sqlext.h>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DATABASE TABLE\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    SQLHENV env;
    SQLHDBC dbc;
    SQLHSTMT st;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    std::string cs = std::string("DRIVER=SQLite3 ODBC Driver;Database=") + argv[1]
        + ";LongNames=0;Timeout=1000;NoTXN=0;SyncPragma=NORMAL;StepAPI=0;";
    if (!SQL_SUCCEEDED(SQLDriverConnectA(dbc, nullptr, (SQLCHAR*)cs.c_str(), SQL_NTS, nullptr, 0, nullptr,
                                         SQL_DRIVER_NOPROMPT)))
        return 1;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
    std::string sql = std::string("SELECT * FROM \"") + argv[2] + "\";";
    if (!SQL_SUCCEEDED(SQLExecDirectA(st, (SQLCHAR*)sql.c_str(), SQL_NTS)))
        return 1;
    SQLSMALLINT columns = 0;
    SQLNumResultCols(st, &columns);
    char buffer[256];
    long rows = 0;
    unsigned long bytes = 0;
    while (SQL_SUCCEEDED(SQLFetch(st))) {
        for (SQLUSMALLINT c = 1; c <= columns; ++c) {
            SQLLEN indicator = 0;
            // Longer values come in several parts, as a reader of any length gets them.
            while (SQLGetData(st, c, SQL_C_CHAR, buffer, sizeof buffer, &indicator) == SQL_SUCCESS_WITH_INFO)
                bytes += sizeof buffer - 1;
            if (indicator > 0)
                bytes += indicator;
        }
        ++rows;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f %ld %.1f %lu\n", seconds, rows, PeakResidentMB(), bytes);
    return 0;
}
