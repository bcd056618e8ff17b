#pragma once
// What the database says about a table or view: its columns and declared
// types, and how one of its rows is found again for writing.
#include <QString>
#include <QStringList>
#include <vector>

namespace ADODB {

class Connection;

// How the rows of a result are found again in their table.
enum class RowKey {
    ReadOnly,   // not a table of this database, or a view without INSTEAD OF triggers
    RowId,      // by rowid (named by rowidAlias)
    PrimaryKey, // WITHOUT ROWID tables: by the primary key's columns
    AllValues,  // no reachable rowid nor key (or a view with triggers): by every value
};

struct TableShape {
    QString name;              // as the database spells it; empty when not found
    bool isView = false;
    QStringList columns;       // in table order
    QStringList declaredTypes; // by column, as declared ("" when none)
    QStringList collations;    // by column, as declared ("" when none; views: all "")
    RowKey key = RowKey::ReadOnly;
    QString rowidAlias;        // rowid, _rowid_ or oid: the first not taken by a column
    int rowidColumn = -1;      // the column that is the rowid (INTEGER PRIMARY KEY), or -1
    std::vector<int> keyColumns; // PrimaryKey: the key's columns in key order
    std::vector<bool> keyDescending; // PrimaryKey: by key column, declared DESC (the table's own order)
    bool canUpdate = false;
    bool canInsert = false;
    bool canDelete = false;

    int columnIndex(const QString& column) const;
};

// Describes the table or view of that name (matched as SQLite matches names).
// A name that is neither gives a read-only shape with no name.
TableShape DescribeTable(const Connection& connection, const QString& table);

} // namespace ADODB
