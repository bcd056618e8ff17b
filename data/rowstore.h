#pragma once
// Rows of a result held compactly: each row a run of cells, each cell a
// length-and-kind prefix followed by its bytes, packed into large blocks that
// never move (so growing the store never copies it). A rewritten row is packed
// anew; the old bytes are reclaimed by compact().
#include <QByteArray>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using CellValue = std::optional<QByteArray>; // nullopt is SQL NULL

// A cell as the store holds it: NULL, a BLOB's bytes, or the text of any other value.
struct StoredCell {
    CellValue value;
    bool blob = false;
    bool operator==(const StoredCell&) const = default;
};
using StoredRow = std::vector<StoredCell>;

class RowStore {
public:
    explicit RowStore(int columns = 0) : columns_(columns) {}

    int columns() const { return columns_; }
    qsizetype rows() const { return qsizetype(starts_.size()); }

    // Appending a row cell by cell, as the fetch delivers it.
    void beginRow() { scratch_.clear(); }
    void addCell(const char* data, size_t size, bool isNull, bool isBlob = false);
    void endRow() { starts_.push_back(place(scratch_)); }

    void appendRow(const StoredRow& cells);
    void replaceRow(qsizetype row, const StoredRow& cells);
    void removeRow(qsizetype row);

    bool isBlob(qsizetype row, int column) const;
    std::string_view bytes(qsizetype row, int column) const;
    CellValue value(qsizetype row, int column) const;
    StoredRow row(qsizetype row) const;

    void compact();

private:
    struct Block {
        std::unique_ptr<char[]> data;
        size_t size = 0;
        size_t used = 0;
    };
    uint64_t place(const std::string& bytes);
    const char* rowStart(qsizetype row) const;
    const char* cellStart(qsizetype row, int column, uint64_t* header) const;
    size_t rowSize(qsizetype row) const;
    void encode(const StoredRow& cells);

    int columns_ = 0;
    std::vector<Block> blocks_;
    std::vector<uint64_t> starts_; // block index << 32 | offset in the block
    std::string scratch_;
    size_t garbage_ = 0;
    size_t packed_ = 0;
};
