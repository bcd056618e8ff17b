#pragma once
// The collation each column of a table was declared with (COLLATE in its
// definition), read from the table's CREATE TABLE statement. A copy of a
// column's values sorts as the column does only when it is given the same.
#include <QString>
#include <QStringList>

// By column of `columns` (matched as SQLite matches names): the collation's
// name, or "" where the column declares none or is not found.
QStringList ColumnCollations(const QString& createTable, const QStringList& columns);
