#pragma once
// The exact values a row held, each with its storage class, packed into one
// buffer: a block of writes keeps two of these for every row it wrote (for
// taking it back), so they must be small. Each value is a kind byte, its
// length and its bytes.
#include <QByteArray>
#include <QByteArrayView>
#include <cstddef>
#include <iterator>
#include <string_view>

namespace ADODB {

// Lengths in packed buffers: seven bits a byte, the high bit set on all but the last.
namespace packing {
inline void putLength(QByteArray& packed, size_t length)
{
    while (length >= 0x80) {
        packed.append(char((length & 0x7f) | 0x80));
        length >>= 7;
    }
    packed.append(char(length));
}
inline size_t readLength(const char*& p)
{
    size_t length = 0;
    for (int shift = 0;; shift += 7) {
        const unsigned char b = static_cast<unsigned char>(*p++);
        length |= size_t(b & 0x7f) << shift;
        if (!(b & 0x80))
            return length;
    }
}
} // namespace packing

enum class StorageClass : unsigned char { Null, Integer, Real, Text, Blob };

struct OriginalValue {
    StorageClass type = StorageClass::Null;
    // Integer: its decimal text; Real: a text that reads back as the same double;
    // Text: its UTF-8 bytes (NULs included); Blob: its bytes.
    QByteArray bytes;
    bool operator==(const OriginalValue&) const = default;
};

// One value as the packed buffer holds it (valid while the buffer is unchanged).
struct OriginalView {
    StorageClass type = StorageClass::Null;
    QByteArrayView bytes;
    OriginalValue value() const { return {type, bytes.toByteArray()}; }
    operator OriginalValue() const { return value(); }
    bool operator==(const OriginalView& other) const { return type == other.type && bytes == other.bytes; }
};

class OriginalValues {
public:
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = OriginalView;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = OriginalView;
        const_iterator() = default;
        const_iterator(const char* at, const char* end) : at_(at), end_(end) { read(); }
        OriginalView operator*() const { return view_; }
        const_iterator& operator++();
        const_iterator operator++(int) { const_iterator was = *this; ++*this; return was; }
        bool operator==(const const_iterator& other) const { return at_ == other.at_; }

    private:
        void read();
        const char* at_ = nullptr;
        const char* end_ = nullptr;
        const char* next_ = nullptr;
        OriginalView view_;
    };

    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    void reserve(qsizetype bytes) { packed_.reserve(bytes); }
    void squeeze() { packed_.squeeze(); }
    QByteArrayView push_back(StorageClass type, QByteArrayView bytes);
    QByteArrayView push_back(const OriginalValue& value) { return push_back(value.type, value.bytes); }
    // A TEXT or BLOB value given as hexadecimal digits.
    // Each returns the bytes as stored (valid until the next change).
    QByteArrayView pushHex(StorageClass type, std::string_view hex);
    // (Walks the values before it: iterate where every value is wanted.)
    OriginalView operator[](size_t index) const;
    const_iterator begin() const { return {packed_.constData(), packed_.constData() + packed_.size()}; }
    const_iterator end() const
    {
        const char* end = packed_.constData() + packed_.size();
        return {end, end};
    }
    // What the values take in memory, beside the object itself.
    size_t heldBytes() const { return size_t(packed_.capacity()); }
    bool operator==(const OriginalValues& other) const = default;

private:
    QByteArray packed_;
    size_t count_ = 0;
};

} // namespace ADODB
