#include "keyorder.h"

#include <algorithm>

namespace {
bool IsDescending(const std::vector<bool>& descending, size_t k) { return k < descending.size() && descending[k]; }
} // namespace

QString KeyCondition(const QStringList& names, const std::vector<bool>& descending, KeySide side,
                     const std::function<QString(size_t)>& value)
{
    const size_t n = size_t(names.size());
    const bool anyDescending = std::find(descending.begin(), descending.end(), true) != descending.end();
    if (side == KeySide::At || !anyDescending) {
        QStringList values;
        for (size_t k = 0; k < n; ++k)
            values << value(k);
        static const char* const operators[] = {"<", "<=", "=", ">=", ">"};
        return QLatin1Char('(') + names.join(QLatin1Char(',')) + QLatin1String(") ")
            + QLatin1String(operators[int(side)]) + QLatin1String(" (") + values.join(QLatin1Char(',')) + QLatin1Char(')');
    }
    // Strictly before (or after): equal on the columns before one, and on
    // that one's side of it, as the column is ordered.
    const auto strictly = [&](bool before) {
        QStringList any;
        for (size_t k = 0; k < n; ++k) {
            QStringList all;
            for (size_t e = 0; e < k; ++e)
                all << names[qsizetype(e)] + QLatin1String(" = ") + value(e);
            const bool less = before != IsDescending(descending, k);
            all << names[qsizetype(k)] + (less ? QLatin1String(" < ") : QLatin1String(" > ")) + value(k);
            any << QLatin1Char('(') + all.join(QLatin1String(" AND ")) + QLatin1Char(')');
        }
        return QLatin1Char('(') + any.join(QLatin1String(" OR ")) + QLatin1Char(')');
    };
    switch (side) {
    case KeySide::Before:
        return strictly(true);
    case KeySide::After:
        return strictly(false);
    case KeySide::AtOrBefore: // (the key's columns are never NULL)
        return QLatin1String("NOT ") + strictly(false);
    default:
        return QLatin1String("NOT ") + strictly(true);
    }
}

QString KeyOrder(const QStringList& names, const std::vector<bool>& descending)
{
    QStringList terms;
    for (qsizetype k = 0; k < names.size(); ++k)
        terms << names[k] + (IsDescending(descending, size_t(k)) ? QLatin1String(" DESC") : QLatin1String(" ASC"));
    return terms.join(QLatin1String(", "));
}
