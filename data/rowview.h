#pragma once
// What the user asked to see of a table: the sort keys in rank order, the
// filter boxes' texts by column; and what Find looks for.
#include <QString>
#include <map>
#include <vector>

struct SortKey {
    int column = 0;
    bool descending = false;
    bool operator==(const SortKey&) const = default;
};

// What the user asked to see: the sort keys in rank order, and the filter
// boxes' texts by column.
struct RowView {
    std::vector<SortKey> order;
    std::map<int, QString> filters;
    bool isPlain() const;
    bool operator==(const RowView&) const = default;
};

// What Find looks for: text in any column of a row.
struct FindText {
    QString text;
    bool matchCase = false;
    bool wholeCell = false;
};

// A row Find found, and which of its cells hold the text ('1' by column).
struct FoundRow {
    qsizetype row = -1;
    QString cells;
    bool holds(int column) const { return column >= 0 && column < cells.size() && cells[column] == QLatin1Char('1'); }
};


// The cell's text with the text Find looks for replaced: the whole cell
// where Whole cell is set, else every occurrence; letters compared as Find
// compares them (without Match case, ASCII letters in either case).
QString ReplacedText(const QString& cell, const FindText& find, const QString& with);
