#include "originalvalues.h"

namespace ADODB {

QByteArrayView OriginalValues::push_back(StorageClass type, QByteArrayView bytes)
{
    packed_.append(char(type));
    packing::putLength(packed_, size_t(bytes.size()));
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
    packing::putLength(packed_, length);
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
    const size_t length = packing::readLength(p);
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
