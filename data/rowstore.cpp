#include "rowstore.h"

#include <cstring>

namespace {
// Blocks grow from small (a page of a large table is small) to large.
constexpr size_t kFirstBlock = size_t(64) << 10;
constexpr size_t kBlockSize = size_t(4) << 20;

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

void writeVarint(std::string& out, uint64_t value)
{
    while (value >= 0x80) {
        out.push_back(char((value & 0x7f) | 0x80));
        value >>= 7;
    }
    out.push_back(char(value));
}
} // namespace

// A cell's prefix: its size << 2, bit 1 set for a BLOB; NULL is 1.
void RowStore::addCell(const char* data, size_t size, bool isNull, bool isBlob)
{
    if (isNull) {
        writeVarint(scratch_, 1);
        return;
    }
    writeVarint(scratch_, (uint64_t(size) << 2) | (isBlob ? 2 : 0));
    scratch_.append(data, size);
}

uint64_t RowStore::place(const std::string& bytes)
{
    if (blocks_.empty() || blocks_.back().size - blocks_.back().used < bytes.size()) {
        Block block;
        const size_t grown = blocks_.empty() ? kFirstBlock : std::min(kBlockSize, blocks_.back().size * 2);
        block.size = std::max(grown, bytes.size());
        block.data.reset(new char[block.size]);
        blocks_.push_back(std::move(block));
    }
    Block& block = blocks_.back();
    const uint64_t location = (uint64_t(blocks_.size() - 1) << 32) | block.used;
    std::memcpy(block.data.get() + block.used, bytes.data(), bytes.size());
    block.used += bytes.size();
    packed_ += bytes.size();
    return location;
}

void RowStore::encode(const StoredRow& cells)
{
    beginRow();
    for (int c = 0; c < columns_; ++c) {
        const StoredCell cell = c < int(cells.size()) ? cells[size_t(c)] : StoredCell();
        const CellValue& v = cell.value;
        addCell(v ? v->constData() : nullptr, v ? size_t(v->size()) : 0, !v, cell.blob);
    }
}

void RowStore::appendRow(const StoredRow& cells)
{
    encode(cells);
    endRow();
}

void RowStore::replaceRow(qsizetype row, const StoredRow& cells)
{
    garbage_ += rowSize(row);
    encode(cells);
    starts_[size_t(row)] = place(scratch_);
    if (garbage_ > kBlockSize && garbage_ > packed_ / 2)
        compact();
}

void RowStore::removeRow(qsizetype row)
{
    garbage_ += rowSize(row);
    starts_.erase(starts_.begin() + row);
}

const char* RowStore::rowStart(qsizetype row) const
{
    const uint64_t location = starts_[size_t(row)];
    return blocks_[size_t(location >> 32)].data.get() + (location & 0xffffffffu);
}

const char* RowStore::cellStart(qsizetype row, int column, uint64_t* header) const
{
    const char* p = rowStart(row);
    for (int c = 0;; ++c) {
        p = readVarint(p, header);
        if (c == column)
            return p;
        if (!(*header & 1))
            p += *header >> 2;
    }
}

size_t RowStore::rowSize(qsizetype row) const
{
    if (columns_ == 0)
        return 0;
    uint64_t header = 0;
    const char* p = cellStart(row, columns_ - 1, &header);
    if (!(header & 1))
        p += header >> 2;
    return size_t(p - rowStart(row));
}

bool RowStore::isBlob(qsizetype row, int column) const
{
    uint64_t header = 0;
    cellStart(row, column, &header);
    return header != 1 && (header & 2);
}

std::string_view RowStore::bytes(qsizetype row, int column) const
{
    uint64_t header = 0;
    const char* p = cellStart(row, column, &header);
    if (header & 1)
        return {};
    return {p, size_t(header >> 2)};
}

CellValue RowStore::value(qsizetype row, int column) const
{
    uint64_t header = 0;
    const char* p = cellStart(row, column, &header);
    if (header & 1)
        return std::nullopt;
    return QByteArray(p, qsizetype(header >> 2));
}

StoredRow RowStore::row(qsizetype row) const
{
    StoredRow cells;
    cells.reserve(size_t(columns_));
    for (int c = 0; c < columns_; ++c)
        cells.push_back({value(row, c), isBlob(row, c)});
    return cells;
}

void RowStore::compact()
{
    RowStore fresh(columns_);
    fresh.starts_.reserve(starts_.size());
    for (qsizetype r = 0; r < rows(); ++r) {
        fresh.scratch_.assign(rowStart(r), rowSize(r));
        fresh.endRow();
    }
    *this = std::move(fresh);
}
