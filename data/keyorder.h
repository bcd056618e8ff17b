#pragma once
// Where a row stands against a given key in a table's own key order (the
// order of a table without a rowid): the key compared as a row value by its
// columns' own collations, or column by column where some of its columns are
// ordered descending.
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

enum class KeySide { Before, AtOrBefore, At, AtOrAfter, After };

// names: the key's columns in key order (quoted); descending: by column.
// value(k) gives the SQL of the key's k-th value (a "?" whose parameter it
// adds, or a subquery), asked in the order the condition uses them.
QString KeyCondition(const QStringList& names, const std::vector<bool>& descending, KeySide side,
                     const std::function<QString(size_t)>& value);
// The key order as ORDER BY terms ("a ASC, b DESC").
QString KeyOrder(const QStringList& names, const std::vector<bool>& descending);
