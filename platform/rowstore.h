#pragma once
// Rows of a result held compactly: one byte arena, each row a run of cells,
// each cell a length-and-null prefix followed by its bytes. A row that is
// rewritten is appended anew; the old bytes are reclaimed by compact().
#include <QByteArray>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

using CellValue = std::optional<QByteArray>; // nullopt is SQL NULL

class RowStore {
public:
    explicit RowStore(int columns = 0) : columns_(columns) {}

    int columns() const { return columns_; }
    qsizetype rows() const { return qsizetype(starts_.size()); }

    // Appending a row cell by cell, as the fetch delivers it.
    void beginRow();
    void addCell(const char* data, size_t size, bool isNull);

    void appendRow(const std::vector<CellValue>& cells);
    void replaceRow(qsizetype row, const std::vector<CellValue>& cells);
    void removeRow(qsizetype row);

    bool isNull(qsizetype row, int column) const;
    std::string_view bytes(qsizetype row, int column) const;
    CellValue value(qsizetype row, int column) const;
    std::vector<CellValue> row(qsizetype row) const;

    size_t memoryUsed() const { return arena_.capacity() + starts_.capacity() * sizeof(uint64_t); }
    void compact();

private:
    const char* cellStart(qsizetype row, int column, uint64_t* header) const;
    size_t rowSize(qsizetype row) const;
    void writeVarint(uint64_t value);

    int columns_ = 0;
    std::vector<char> arena_;
    std::vector<uint64_t> starts_;
    size_t garbage_ = 0;
};
