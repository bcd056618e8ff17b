#pragma once
// Writing one row of a table back: the row's identity (its key and the exact
// original value and storage class of every column), the one condition that
// finds the row by it, and update, insert and delete, each one transaction
// that must touch exactly one row.
#include "connection.h"
#include "originalvalues.h"
#include "packedchanges.h"
#include "rowstore.h"
#include "tableshape.h"

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace ADODB {

// Who a row is, taken when its first edit starts and renewed after each write.
struct RowIdentity {
    std::optional<qint64> rowid; // where the table is keyed by rowid
    OriginalValues values;
};

// A row as read from the table: its rowid, the cells to show, and its identity.
struct StoredRecord {
    std::optional<qint64> rowid;
    StoredRow cells;
    RowIdentity identity;
};


class RowWriter {
public:
    RowWriter(std::shared_ptr<Connection> connection, TableShape shape);

    // The row as it stands in the table now, found from what the grid shows
    // of it (and its rowid); throws when it no longer holds what is shown.
    StoredRecord identify(const StoredRow& shown, std::optional<qint64> rowid) const;
    // The same for many rows at once (unset: the row no longer holds what is shown).
    std::vector<std::optional<StoredRecord>> identifyMany(
        const std::vector<std::pair<StoredRow, std::optional<qint64>>>& rows) const;
    // Each throws AppError and writes nothing when the row is not exactly one
    // row that still matches its identity, or when the database refuses.
    StoredRecord update(const RowIdentity& identity, const RowChanges& changes) const;
    StoredRecord insert(const RowChanges& values) const;
    // For blocks of a rowid table: an update (identity given) or insert as
    // above, the row not read back; returns its rowid after the write (unset:
    // use update or insert, which find the row again themselves).
    std::optional<qint64> writeUnread(const RowIdentity* identity, const RowChanges& changes) const;
    // Many such updates at once, inside a transaction (each given: an existing
    // row known by its rowid, and its changes). Rows whose changes touch the
    // same columns and whose cells held the same storage classes are written
    // together, a few dozen in one statement, each guarded by its identity as
    // update guards it. A group is written whole or not at all: where another
    // program changed one of its rows, or the database refused one, none of
    // them is written, and they are left to writeUnread one by one, which says
    // why. Returns which rows were written (their rowids are their identities').
    // keepGoing(rows done) is asked for each row, after its group; AppError when it says no.
    std::vector<bool> writeUnreadTogether(const std::vector<std::pair<const RowIdentity*, const PackedChanges*>>& rows,
                                          const std::function<bool(size_t)>& keepGoing) const;
    // New rows of a rowid table, inside a transaction: the run of rows from
    // `from` (given: a new row and its values) that set the same columns, a
    // few dozen at most, in one INSERT, in order. The run is kept only where
    // its rows took the rowids right after the table's last one (no trigger
    // added rows beside them, no AUTOINCREMENT gap); otherwise, or where the
    // database refused one of them, it is taken back whole. Returns where
    // the run ends; sets its rows' rowids where written (unset: left to
    // writeUnread one by one, which says why).
    size_t insertTogether(const std::vector<const PackedChanges*>& rows, size_t from,
                          std::vector<std::optional<qint64>>& rowids) const;
    // Rows read back by rowid, many at once (those still in the table);
    // without cells, only their rowids and identities.
    std::vector<StoredRecord> readRowids(const std::vector<qint64>& rowids, bool withCells = true) const;
    // Why a row is refused that no longer holds what it held when read.
    static const QString& changedMessage();
    void remove(const std::vector<RowIdentity>& rows) const;
    // Taking a write back: the row that is `now` is made `then` again, every
    // value with its storage class; a row deleted is put back as it was (with
    // its rowid, refused where that is taken).
    void restore(const RowIdentity& now, const RowIdentity& then) const;
    // Many such at once, inside a transaction, as writeUnreadTogether writes
    // (each given: the row now, and as it is to be again, keeping its rowid).
    // Returns which rows were put back; the rest are left to restore.
    std::vector<bool> restoreTogether(const std::vector<std::pair<const RowIdentity*, const RowIdentity*>>& rows,
                                      const std::function<bool(size_t)>& keepGoing) const;
    StoredRecord reinsert(const RowIdentity& row) const;
    // Many deletes at once, inside a transaction, as writeUnreadTogether
    // writes (each given: a row of a rowid table by its identity). Returns
    // which rows were deleted; the rest are left to remove.
    std::vector<bool> removeTogether(const std::vector<const RowIdentity*>& rows,
                                     const std::function<bool(size_t)>& keepGoing) const;
    // The row of that rowid as the table holds it now.
    std::optional<StoredRecord> find(qint64 rowid) const;

    // The one builder of the condition that finds a row by its identity: the
    // rowid and every original value, compared by storage class and value
    // with BINARY collation.
    QString condition(const RowIdentity& identity, std::vector<odbc::Param>& params) const;

private:
    // For rows written together: the guards of rows that held those storage
    // classes (their values from v.column<next> on), and the statement.
    QStringList guardsTogether(const std::vector<StorageClass>& classes, int& next) const;
    bool updateTogether(const QStringList& sets, const QStringList& guards, const QString& tuples, qsizetype rows,
                        const std::vector<odbc::Param>& params) const;
    // One statement that must touch exactly `rows` rows, or is taken back whole (false).
    bool writeTogether(const QString& sql, const std::vector<odbc::Param>& params, qsizetype rows) const;
    std::vector<StoredRecord> read(const QString& condition, const std::vector<odbc::Param>& params, int limit,
                                   std::vector<StoredRow>* delivered = nullptr, bool withCells = true) const;
    void requireOneRow(const QString& statement, const QString& where, const std::vector<odbc::Param>& whereParams,
                       const std::vector<odbc::Param>& params) const;
    QString quoted(int column) const;

    std::shared_ptr<Connection> connection_;
    TableShape shape_;
};

} // namespace ADODB
