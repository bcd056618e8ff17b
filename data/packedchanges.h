#pragma once
// A row's changes held packed in one buffer (a block holds them for every
// row it writes until it is written): each a column, NULL or not, and the
// typed value's bytes. Columns are set in increasing order.
#include "rowstore.h"

#include <QByteArray>
#include <map>
#include <vector>

namespace ADODB {

using RowChanges = std::map<int, CellValue>; // column -> new value (typed text, or NULL)

class PackedChanges {
public:
    PackedChanges() = default;
    explicit PackedChanges(const RowChanges& changes);
    // (After every column set before it.)
    void set(int column, const CellValue& value);
    bool empty() const { return count_ == 0; }
    size_t size() const { return count_; }
    RowChanges unpacked() const;
    std::vector<int> columns() const;

private:
    QByteArray packed_;
    size_t count_ = 0;
};

} // namespace ADODB
