#include "originalvalues.h"

namespace ADODB {

void OriginalValues::putLength(size_t length)
{
    // Seven bits a byte, the high bit set on all but the last.
    while (length >= 0x80) {
        packed_.append(char((length & 0x7f) | 0x80));
        length >>= 7;
    }
    packed_.append(char(length));
}

QByteArrayView OriginalValues::push_back(StorageClass type, QByteArrayView bytes)
{
    packed_.append(char(type));
    putLength(size_t(bytes.size()));
    const qsizetype at = packed_.size();
    packed_.append(bytes);
    ++count_;
    return QByteArrayView(packed_.constData() + at, bytes.size());
}

QByteArrayView OriginalValues::pushHex(StorageClass type, std::string_view hex)
{
    const auto digit = [](char c) {
        return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
    };
    const size_t length = hex.size() / 2;
    packed_.append(char(type));
    putLength(length);
    const qsizetype at = packed_.size();
    packed_.resize(at + qsizetype(length));
    char* out = packed_.data() + at;
    for (size_t i = 0; i < length; ++i)
        out[i] = char(digit(hex[2 * i]) << 4 | digit(hex[2 * i + 1]));
    ++count_;
    return QByteArrayView(out, qsizetype(length));
}

OriginalView OriginalValues::operator[](size_t index) const
{
    const_iterator it = begin();
    for (size_t i = 0; i < index; ++i)
        ++it;
    return *it;
}

void OriginalValues::const_iterator::read()
{
    if (at_ == end_) {
        next_ = end_;
        return;
    }
    const char* p = at_;
    view_.type = StorageClass(static_cast<unsigned char>(*p++));
    size_t length = 0;
    for (int shift = 0;; shift += 7) {
        const unsigned char b = static_cast<unsigned char>(*p++);
        length |= size_t(b & 0x7f) << shift;
        if (!(b & 0x80))
            break;
    }
    view_.bytes = QByteArrayView(p, qsizetype(length));
    next_ = p + length;
}

OriginalValues::const_iterator& OriginalValues::const_iterator::operator++()
{
    at_ = next_;
    read();
    return *this;
}

} // namespace ADODB
