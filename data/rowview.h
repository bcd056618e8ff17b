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
