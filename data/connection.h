#pragma once
// Our stand-in for the connection object the program drives, on the ODBC C API.
// ODBC's own headers stay inside data/: this one names its types only.
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace odbc {
class Statement;
struct Param;
} // namespace odbc

// The one connection recipe: the driver, the file, and how the program uses it.
QString DatabaseConnectionString(const QString& path);

namespace ADODB {

enum : int { adUseServer = 2, adUseClient = 3 };
enum : int { adOpenDynamic = 2 };
enum : int { adLockReadOnly = 1, adLockOptimistic = 3 };
enum : int { adSchemaTables = 20 };

class RecordSet;

// Sees every statement text that Connection::Execute sends (tests capture them).
void setExecuteObserver(std::function<void(const QString&)> observer);

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int CursorLocation = adUseServer;

    void Open(const QString& connectionString);
    void Close();
    bool isOpen() const;
    const QString& ConnectionString() const { return connectionString_; }
    void Execute(const QString& sql);
    std::shared_ptr<RecordSet> OpenSchema(int schema);

    // For the recordset: statements and transactions on this connection.
    odbc::Statement statement() const;
    // Runs work as one transaction: committed when it returns, rolled back when
    // it throws. Inside another transaction, work is a savepoint of it: undone
    // alone when it throws, the outer transaction going on. oneStatement: work
    // writes with one statement at most, which the database itself makes whole
    // or nothing, so that inside another transaction it needs no savepoint.
    void inTransaction(const std::function<void()>& work, bool oneStatement = false);
    // Runs a statement prepared once on this connection and kept (the write
    // path runs the same few statements for every row of a block); `use`
    // reads its rows, then its cursor is closed.
    void runPrepared(const QString& sql, const std::vector<odbc::Param>& params,
                     const std::function<void(odbc::Statement&)>& use = {});
    // The first column of the first row of a query, as a number (0 when there is none).
    qint64 queryNumber(const QString& sql, const std::vector<odbc::Param>& params = {}) const;

private:
    void requireOpen() const;
    struct Handles; // the environment and the connection
    std::unique_ptr<Handles> handles_;
    QString connectionString_;
    int transactionDepth_ = 0;
    std::map<QString, std::unique_ptr<odbc::Statement>> prepared_;
};

} // namespace ADODB
