// The SQLite3 ODBC driver built for Windows, as the installer ships it: the
// program's connections reach it through the Windows driver manager and the
// registration the installer made (no other driver answers); called directly,
// it loads, opens a file, and carries text as UTF-16 both ways, as the program
// reads and binds it.
#include "testsupport.h"
#include "common/connection.h"
#include "data/adodb.h"

#include <QDir>
#include <QTest>
#include <windows.h>
#include <sql.h>
#include <sqlext.h>

namespace {
// Where the installer put the driver, as the registry names it.
QString registeredDriver()
{
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof path;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\ODBC\\ODBCINST.INI\\SQLite3 ODBC Driver", L"Driver", RRF_RT_REG_SZ,
                     nullptr, path, &size)
        != ERROR_SUCCESS)
        return {};
    return QString::fromWCharArray(path);
}

struct Driver {
    HMODULE module = LoadLibraryW(registeredDriver().toStdWString().c_str());
    template <typename F> F get(const char* name) { return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))); }
    decltype(&SQLAllocHandle) allocHandle = get<decltype(&SQLAllocHandle)>("SQLAllocHandle");
    decltype(&SQLFreeHandle) freeHandle = get<decltype(&SQLFreeHandle)>("SQLFreeHandle");
    decltype(&SQLDriverConnectW) driverConnect = get<decltype(&SQLDriverConnectW)>("SQLDriverConnectW");
    decltype(&SQLDisconnect) disconnect = get<decltype(&SQLDisconnect)>("SQLDisconnect");
    decltype(&SQLExecDirectW) execDirect = get<decltype(&SQLExecDirectW)>("SQLExecDirectW");
    decltype(&SQLPrepareW) prepare = get<decltype(&SQLPrepareW)>("SQLPrepareW");
    decltype(&SQLBindParameter) bindParameter = get<decltype(&SQLBindParameter)>("SQLBindParameter");
    decltype(&SQLExecute) execute = get<decltype(&SQLExecute)>("SQLExecute");
    decltype(&SQLFetch) fetch = get<decltype(&SQLFetch)>("SQLFetch");
    decltype(&SQLGetData) getData = get<decltype(&SQLGetData)>("SQLGetData");
    decltype(&SQLFreeStmt) freeStmt = get<decltype(&SQLFreeStmt)>("SQLFreeStmt");
};

SQLWCHAR* w(const QString& s) { return reinterpret_cast<SQLWCHAR*>(const_cast<ushort*>(s.utf16())); }
} // namespace

class DriverTest : public QObject {
    Q_OBJECT
    TestEnvironment env;

private slots:
    // The program's own connection string, through odbc32: the DLL that answers
    // is the one registered under the driver's name, on a Windows path.
    void connectionsReachTheRegisteredDll()
    {
        const QString registered = registeredDriver();
        QVERIFY2(!registered.isEmpty(), "no SQLite3 ODBC Driver registered");
        const QString path = env.makeDatabase("manager.db", "CREATE TABLE t(name TEXT); INSERT INTO t VALUES ('Zoë');");
        QVERIFY(path.startsWith(QDir::toNativeSeparators(QDir::tempPath()).left(3))); // a Windows path, drive and all
        ADODB::Connection connection;
        connection.Open(DatabaseConnectionString(path));
        HMODULE module = GetModuleHandleW(L"sqlite3odbc.dll");
        QVERIFY2(module, "no sqlite3odbc.dll in the process: another driver answered");
        wchar_t loaded[MAX_PATH] = {};
        GetModuleFileNameW(module, loaded, MAX_PATH);
        qInfo("driver DLL loaded: %s", qPrintable(QString::fromWCharArray(loaded)));
        QCOMPARE(QString::fromWCharArray(loaded).toLower(), registered.toLower());
        connection.Execute(QStringLiteral("INSERT INTO t VALUES ('Ærø 😀')"));
        QCOMPARE(Sqlite(path).value("SELECT group_concat(name, ',') FROM t"), QStringLiteral("Zoë,Ærø 😀"));
    }

    void textTravelsAsUtf16()
    {
        Driver d;
        QVERIFY2(d.module, "sqlite3odbc.dll did not load");
        QVERIFY(d.allocHandle && d.driverConnect && d.getData && d.bindParameter);
        const QString path = env.makeDatabase("driver.db", "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT);"
                                                           "INSERT INTO t VALUES (1, 'Zürich 東京 😀');");
        SQLHENV henv = nullptr;
        SQLHDBC dbc = nullptr;
        SQLHSTMT st = nullptr;
        QVERIFY(SQL_SUCCEEDED(d.allocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &henv)));
        QVERIFY(SQL_SUCCEEDED(d.allocHandle(SQL_HANDLE_DBC, henv, &dbc)));
        SQLWCHAR out[1024];
        SQLSMALLINT outLength = 0;
        const QString connect = QStringLiteral("Database=%1;").arg(path);
        QVERIFY(SQL_SUCCEEDED(d.driverConnect(dbc, nullptr, w(connect), SQL_NTS, out, 1024, &outLength,
                                              SQL_DRIVER_NOPROMPT)));
        QVERIFY(SQL_SUCCEEDED(d.allocHandle(SQL_HANDLE_STMT, dbc, &st)));

        // A UTF-16 parameter is stored as the same text.
        const QString typed = QStringLiteral("Ærø – ☃ 𝄞");
        QVERIFY(SQL_SUCCEEDED(d.prepare(st, w("INSERT INTO t(id, name) VALUES (2, ?)"), SQL_NTS)));
        SQLLEN length = SQLLEN(typed.size() * sizeof(char16_t));
        QVERIFY(SQL_SUCCEEDED(d.bindParameter(st, 1, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, typed.size(), 0,
                                              w(typed), length, &length)));
        QVERIFY(SQL_SUCCEEDED(d.execute(st)));
        d.freeStmt(st, SQL_RESET_PARAMS);
        QCOMPARE(Sqlite(path).value("SELECT name FROM t WHERE id = 2"), typed);

        // Cells come back whole as UTF-16, in pieces when longer than the buffer.
        QVERIFY(SQL_SUCCEEDED(d.execDirect(st, w("SELECT name, hex(zeroblob(200)) FROM t ORDER BY id"), SQL_NTS)));
        QStringList names, longCells;
        while (d.fetch(st) == SQL_SUCCESS) {
            for (int column = 1; column <= 2; ++column) {
                QString cell;
                char16_t buffer[64];
                SQLLEN indicator = 0;
                SQLRETURN rc;
                while ((rc = d.getData(st, SQLUSMALLINT(column), SQL_C_WCHAR, buffer, sizeof buffer, &indicator))
                       != SQL_NO_DATA) {
                    QVERIFY(SQL_SUCCEEDED(rc));
                    const qsizetype units = rc == SQL_SUCCESS ? qsizetype(indicator / 2) : qsizetype(63);
                    cell += QString::fromUtf16(buffer, units);
                    if (rc == SQL_SUCCESS)
                        break;
                }
                (column == 1 ? names : longCells) << cell;
            }
        }
        QCOMPARE(names, QStringList({QStringLiteral("Zürich 東京 😀"), typed}));
        QCOMPARE(longCells, QStringList({QString(400, '0'), QString(400, '0')}));
        d.freeHandle(SQL_HANDLE_STMT, st);
        d.disconnect(dbc);
        d.freeHandle(SQL_HANDLE_DBC, dbc);
        d.freeHandle(SQL_HANDLE_ENV, henv);
    }
};

QTEST_MAIN(DriverTest)
#include "tst_driver.moc"
