#pragma once
// Our stand-in for the data access objects the program drives: a connection
// and a recordset, written on the ODBC C API.
#include "odbc.h"
#include "rowstore.h"
#include "rowwindow.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>

namespace ADODB {

enum : int { adUseServer = 2, adUseClient = 3 };
enum : int { adOpenDynamic = 2 };
enum : int { adLockReadOnly = 1, adLockOptimistic = 3 };
enum : int { adSchemaTables = 20 };

class RecordSet;

// Sees every statement text that Connection::Execute sends (tests capture them).
void SetExecuteObserver(std::function<void(const QString&)> observer);

class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int CursorLocation = adUseServer;

    void Open(const QString& connectionString);
    void Close();
    bool IsOpen() const { return dbc_.get() != SQL_NULL_HANDLE; }
    const QString& ConnectionString() const { return connectionString_; }
    void Execute(const QString& sql);
    std::shared_ptr<RecordSet> OpenSchema(int schema);

    // For the recordset: statements and transactions on this connection.
    odbc::Statement statement() const;
    // Runs work as one transaction: committed when it returns, rolled back when it throws.
    void inTransaction(const std::function<void()>& work);

private:
    void requireOpen() const;
    odbc::Handle env_;
    odbc::Handle dbc_;
    QString connectionString_;
};

// How the rows of an updatable recordset are found again in their table.
enum class RowKey { ReadOnly, RowId, PrimaryKey, AllValues };

using RowChanges = std::map<int, CellValue>; // column -> new value

class RecordSet {
public:
    RecordSet() = default;

    // The statement, the open connection, the cursor type and the lock type.
    void Open(const QString& source, std::shared_ptr<Connection> connection, int cursorType,
              int lockType);
    void Close();
    bool IsOpen() const { return open_; }
    // Takes over the rows of a statement that has been executed (read-only).
    void OpenRowset(odbc::Statement& statement);

    // Reading row by row.
    bool isEOF() const { return !open_ || position_ >= recordCount(); }
    QString Field(const QString& name) const;
    void MoveNext();

    // What the grid binds to.
    int columnCount() const { return int(columns_.size()); }
    QString columnName(int column) const { return columns_.value(column); }
    bool isBlobColumn(int column) const { return blobColumns_.value(column); }
    qsizetype recordCount() const { return window_ ? window_->count() : store_.rows(); }
    CellValue value(qsizetype row, int column) const;
    QString text(qsizetype row, int column) const; // the displayed text; reading a page may throw
    // The displayed text as the UTF-8 bytes stored (valid until the next read);
    // false for a BLOB, whose displayed text is a marker.
    bool textBytes(qsizetype row, int column, std::string_view* bytes) const;
    // Whether the rows are read in windows of pages rather than all at once.
    bool isWindowed() const { return bool(window_); }

    // Called with rows read so far and all rows (0 when not known) while opening.
    std::function<void(qsizetype, qsizetype)> Progress;

    // Rowid tables with more rows than this are read in windows of pages.
    static void SetWindowing(qsizetype threshold, qsizetype pageRows);
    RowKey rowKey() const { return key_; }
    bool isUpdatable() const { return key_ != RowKey::ReadOnly; }
    const QString& tableName() const { return table_; }

    // The write path: each call is one transaction that must touch exactly one
    // row per record, or nothing is written and an AppError says why. After a
    // write the row is read back, so the store holds what the database stored.
    void Update(qsizetype row, const RowChanges& changes);
    qsizetype AddNew(const RowChanges& values);
    void Delete(std::vector<qsizetype> rows);

    // The text a typed value is written as: empty text is NULL outside text columns.
    CellValue typedValue(int column, const QString& text) const;

private:
    void describeTable(const QString& table, QHash<QString, QString>& types, QStringList& keyNames);
    void describeColumns(odbc::Statement& statement, int leading);
    void openRowidTable();
    const RowStore& storeFor(qsizetype row, qsizetype* index) const;
    qint64 rowidOf(qsizetype row) const;
    void replaceRow(qsizetype row, const std::vector<CellValue>& cells);
    QString keyCondition(qsizetype row, std::vector<odbc::Param>& params) const;
    bool readBack(const QString& condition, const std::vector<odbc::Param>& params,
                  std::vector<CellValue>& cells, qint64* rowid);
    void requireUpdatable() const;

    std::shared_ptr<Connection> connection_;
    bool open_ = false;
    QStringList columns_;
    QList<bool> blobColumns_;
    QStringList declaredTypes_;
    RowStore store_;             // every row, when not windowed
    std::vector<qint64> rowids_;
    std::unique_ptr<RowWindow> window_;
    qsizetype position_ = 0;

    RowKey key_ = RowKey::ReadOnly;
    QString table_;
    QString rowidAlias_;
    std::vector<int> keyColumns_;
};

} // namespace ADODB
