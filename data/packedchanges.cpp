#include "packedchanges.h"

#include "originalvalues.h"

namespace ADODB {

PackedChanges::PackedChanges(const RowChanges& changes)
{
    for (const auto& [column, value] : changes)
        set(column, value);
    packed_.squeeze();
}

void PackedChanges::set(int column, const CellValue& value)
{
    Q_ASSERT(count_ == 0 || columns().back() < column);
    packing::putLength(packed_, size_t(column));
    packed_.append(char(value ? 1 : 0));
    if (value) {
        packing::putLength(packed_, size_t(value->size()));
        packed_.append(*value);
    }
    ++count_;
}

RowChanges PackedChanges::unpacked() const
{
    RowChanges changes;
    const char* p = packed_.constData();
    for (size_t i = 0; i < count_; ++i) {
        const int column = int(packing::readLength(p));
        if (*p++) {
            const size_t length = packing::readLength(p);
            changes.emplace(column, QByteArray(p, qsizetype(length)));
            p += length;
        } else {
            changes.emplace(column, std::nullopt);
        }
    }
    return changes;
}

std::vector<int> PackedChanges::columns() const
{
    std::vector<int> columns;
    const char* p = packed_.constData();
    for (size_t i = 0; i < count_; ++i) {
        columns.push_back(int(packing::readLength(p)));
        if (*p++)
            p += packing::readLength(p);
    }
    return columns;
}

} // namespace ADODB
