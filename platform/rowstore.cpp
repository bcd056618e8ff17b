#include "rowstore.h"

namespace {
const char* readVarint(const char* p, uint64_t* value)
{
    uint64_t result = 0;
    int shift = 0;
    for (;;) {
        auto byte = static_cast<unsigned char>(*p++);
        result |= uint64_t(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            break;
        shift += 7;
    }
    *value = result;
    return p;
}
} // namespace

void RowStore::writeVarint(uint64_t value)
{
    while (value >= 0x80) {
        arena_.push_back(char((value & 0x7f) | 0x80));
        value >>= 7;
    }
    arena_.push_back(char(value));
}

void RowStore::beginRow() { starts_.push_back(arena_.size()); }

void RowStore::addCell(const char* data, size_t size, bool isNull)
{
    if (isNull) {
        writeVarint(1);
        return;
    }
    writeVarint(uint64_t(size) << 1);
    arena_.insert(arena_.end(), data, data + size);
}

void RowStore::appendRow(const std::vector<CellValue>& cells)
{
    beginRow();
    for (int c = 0; c < columns_; ++c) {
        const CellValue& v = c < int(cells.size()) ? cells[c] : CellValue();
        addCell(v ? v->constData() : nullptr, v ? size_t(v->size()) : 0, !v);
    }
}

size_t RowStore::rowSize(qsizetype row) const
{
    if (columns_ == 0)
        return 0;
    uint64_t header = 0;
    const char* p = cellStart(row, columns_ - 1, &header);
    if (!(header & 1))
        p += header >> 1;
    return size_t(p - (arena_.data() + starts_[row]));
}

void RowStore::replaceRow(qsizetype row, const std::vector<CellValue>& cells)
{
    garbage_ += rowSize(row);
    appendRow(cells);
    starts_[row] = starts_.back();
    starts_.pop_back();
    if (garbage_ > (1u << 20) && garbage_ > arena_.size() / 2)
        compact();
}

void RowStore::removeRow(qsizetype row) { starts_.erase(starts_.begin() + row); }

const char* RowStore::cellStart(qsizetype row, int column, uint64_t* header) const
{
    const char* p = arena_.data() + starts_[row];
    for (int c = 0;; ++c) {
        p = readVarint(p, header);
        if (c == column)
            return p;
        if (!(*header & 1))
            p += *header >> 1;
    }
}

bool RowStore::isNull(qsizetype row, int column) const
{
    uint64_t header = 0;
    cellStart(row, column, &header);
    return header & 1;
}

std::string_view RowStore::bytes(qsizetype row, int column) const
{
    uint64_t header = 0;
    const char* p = cellStart(row, column, &header);
    if (header & 1)
        return {};
    return {p, size_t(header >> 1)};
}

CellValue RowStore::value(qsizetype row, int column) const
{
    uint64_t header = 0;
    const char* p = cellStart(row, column, &header);
    if (header & 1)
        return std::nullopt;
    return QByteArray(p, qsizetype(header >> 1));
}

std::vector<CellValue> RowStore::row(qsizetype row) const
{
    std::vector<CellValue> cells;
    cells.reserve(columns_);
    for (int c = 0; c < columns_; ++c)
        cells.push_back(value(row, c));
    return cells;
}

void RowStore::compact()
{
    RowStore fresh(columns_);
    fresh.arena_.reserve(arena_.size() - garbage_);
    fresh.starts_.reserve(starts_.size());
    for (qsizetype r = 0; r < rows(); ++r)
        fresh.appendRow(row(r));
    *this = std::move(fresh);
}
