#include "fetch.h"

namespace {
int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

bool DecodeBlobText(const char* data, size_t size, std::string* bytes)
{
    if (size < 3 || data[0] != 'X' || data[1] != '\'' || data[size - 1] != '\'' || (size - 3) % 2 != 0)
        return false;
    bytes->clear();
    bytes->reserve((size - 3) / 2);
    for (size_t i = 2; i + 1 < size; i += 2) {
        const int high = hexDigit(data[i]), low = hexDigit(data[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes->push_back(char(high << 4 | low));
    }
    return true;
}

StoredCell DeliveredCell(bool present, const std::string& text)
{
    if (!present)
        return {};
    std::string bytes;
    if (DecodeBlobText(text.data(), text.size(), &bytes))
        return {QByteArray(bytes.data(), qsizetype(bytes.size())), true};
    return {QByteArray(text.data(), qsizetype(text.size())), false};
}

void FetchRows(odbc::Statement& st, RowStore& store, int leading, std::vector<std::optional<qint64>>* numbers)
{
    const int n = st.columnCount();
    std::string buffer, bytes;
    while (st.fetch()) {
        for (int i = 0; i < leading; ++i)
            numbers->push_back(st.getData(i, buffer) ? std::optional<qint64>(std::strtoll(buffer.c_str(), nullptr, 10))
                                                     : std::nullopt);
        store.beginRow();
        for (int i = leading; i < n; ++i) {
            const bool present = st.getData(i, buffer);
            if (present && !buffer.empty() && buffer[0] == 'X' && DecodeBlobText(buffer.data(), buffer.size(), &bytes))
                store.addCell(bytes.data(), bytes.size(), false, true);
            else
                store.addCell(buffer.data(), buffer.size(), !present);
        }
        store.endRow();
    }
}

void FetchRows(odbc::Statement& st, RowStore& store, std::vector<qint64>* rowids)
{
    if (!rowids) {
        FetchRows(st, store, 0, nullptr);
        return;
    }
    std::vector<std::optional<qint64>> numbers;
    FetchRows(st, store, 1, &numbers);
    for (const std::optional<qint64>& n : numbers)
        rowids->push_back(n.value_or(0));
}
