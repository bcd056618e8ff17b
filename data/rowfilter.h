#pragma once
// The grid's order and filter as SQL: the ORDER BY that sorts by the chosen
// columns with the row's identity last (so the order is total, and descending
// is the exact reverse of ascending), and the WHERE that a filter box's text
// stands for. Every value typed is bound as a parameter, never put into the text.
#include "odbc.h"
#include "rowview.h"

#include <QString>
#include <QStringList>
#include <map>
#include <vector>

struct FilterSql {
    QString where; // empty: every row
    std::vector<odbc::Param> params;
};

// The condition one filter box's text stands for, on that (quoted) column:
//   text       the cell contains it (LIKE, ASCII case ignored, % and _ taken literally)
//   =v <>v <v <=v >v >=v   compared (numbers as numbers)
//   a..b       between a and b, both included
//   =          empty text
//   NULL, NOT NULL
// Empty (or blank) text is no condition.
FilterSql FilterCondition(const QString& column, const QString& text);
// All boxes, joined with AND; columns are the quoted names by index.
FilterSql FilterWhere(const QStringList& columns, const std::map<int, QString>& filters);
// "ORDER BY ..." for the keys, then the identity columns (quoted) in the last key's
// direction; empty where there are no keys. scanned: the keys as expressions
// ("+name", still by the column's collation), so that the database reads the
// table in its own order and sorts the rows that match, rather than walking
// an index of the key and looking up every row it names.
QString OrderClause(const QStringList& columns, const std::vector<SortKey>& order, const QStringList& identity,
                    bool scanned = false);
// The condition that a row holds it, on those column expressions; with
// cellsHolding, an expression of which cells hold it ('0' or '1' by column),
// whose parameters come first (bound before the condition's).
FilterSql FindCondition(const QStringList& columns, const FindText& find, QString* cellsHolding = nullptr);
// "subject LIKE ?" for a cell that holds the text (whole: that is the text),
// ignoring the case of ASCII letters, its pattern added to params. % and _
// are taken literally: escaped, and the escape character named, only where
// the text holds one (naming it costs the database a little on every row).
QString LikeText(const QString& subject, const QString& text, bool whole, std::vector<odbc::Param>& params);
