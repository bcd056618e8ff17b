#include "rowfilter.h"

namespace {

bool isNumber(const QString& text)
{
    bool ok = false;
    text.trimmed().toDouble(&ok);
    return ok && !text.trimmed().isEmpty();
}

// A value to compare with: a number is compared as a number (its NUMERIC
// affinity turns the column's numeric text into numbers too), other text as text.
QString operand(const QString& value, std::vector<odbc::Param>& params)
{
    params.push_back(odbc::Param::text(value.toUtf8()));
    return isNumber(value) ? QStringLiteral("CAST(? AS NUMERIC)") : QStringLiteral("?");
}

} // namespace

bool RowView::isPlain() const
{
    if (!order.empty())
        return false;
    for (const auto& [column, text] : filters)
        if (!text.trimmed().isEmpty())
            return false;
    return true;
}

QString LikeText(const QString& subject, const QString& text, bool whole, std::vector<odbc::Param>& params)
{
    const QByteArray utf8 = text.toUtf8();
    const bool wildcards = utf8.contains('%') || utf8.contains('_');
    QByteArray pattern;
    for (const char c : utf8) {
        if (wildcards && (c == '%' || c == '_' || c == '\\'))
            pattern += '\\';
        pattern += c;
    }
    params.push_back(odbc::Param::text(whole ? pattern : '%' + pattern + '%'));
    return subject + (wildcards ? QLatin1String(" LIKE ? ESCAPE '\\'") : QLatin1String(" LIKE ?"));
}

FilterSql FilterCondition(const QString& column, const QString& text)
{
    FilterSql sql;
    const QString t = text.trimmed();
    if (t.isEmpty())
        return sql;
    const QString upper = t.toUpper();
    if (upper == QLatin1String("NULL")) {
        sql.where = column + QLatin1String(" IS NULL");
        return sql;
    }
    if (upper == QLatin1String("NOT NULL")) {
        sql.where = column + QLatin1String(" IS NOT NULL");
        return sql;
    }
    if (t == QLatin1String("=")) {
        sql.where = column + QLatin1String(" = ''");
        return sql;
    }
    static const char* const operators[] = {"<>", "<=", ">=", "=", "<", ">"};
    for (const char* op : operators) {
        const QLatin1String prefix(op);
        if (t.startsWith(prefix)) {
            const QString value = t.mid(prefix.size()).trimmed();
            sql.where = column + QLatin1Char(' ') + prefix + QLatin1Char(' ') + operand(value, sql.params);
            return sql;
        }
    }
    const qsizetype range = t.indexOf(QLatin1String(".."));
    if (range > 0 && range + 2 < t.size()) {
        const QString low = t.left(range).trimmed(), high = t.mid(range + 2).trimmed();
        const QString from = operand(low, sql.params); // (bound in this order)
        const QString to = operand(high, sql.params);
        sql.where = column + QLatin1String(" BETWEEN ") + from + QLatin1String(" AND ") + to;
        return sql;
    }
    sql.where = LikeText(column, t, false, sql.params);
    return sql;
}

FilterSql FilterWhere(const QStringList& columns, const std::map<int, QString>& filters)
{
    FilterSql all;
    QStringList parts;
    for (const auto& [column, text] : filters) {
        if (column < 0 || column >= columns.size())
            continue;
        FilterSql one = FilterCondition(columns[column], text);
        if (one.where.isEmpty())
            continue;
        parts << QLatin1Char('(') + one.where + QLatin1Char(')');
        all.params.insert(all.params.end(), one.params.begin(), one.params.end());
    }
    all.where = parts.join(QLatin1String(" AND "));
    return all;
}

QString OrderClause(const QStringList& columns, const std::vector<SortKey>& order, const QStringList& identity,
                    bool scanned)
{
    if (order.empty())
        return QString();
    QStringList terms, keyed;
    for (const SortKey& key : order) {
        keyed << columns.value(key.column);
        terms << (scanned ? QLatin1String("+") : QLatin1String("")) + columns.value(key.column)
                + (key.descending ? QLatin1String(" DESC") : QLatin1String(" ASC"));
    }
    const bool descending = order.back().descending;
    for (const QString& column : identity)
        if (!keyed.contains(column))
            terms << column + (descending ? QLatin1String(" DESC") : QLatin1String(" ASC"));
    return QLatin1String("ORDER BY ") + terms.join(QLatin1String(", "));
}

FilterSql FindCondition(const QStringList& columns, const FindText& find, QString* cellsHolding)
{
    FilterSql sql;
    QStringList any;
    for (const QString& column : columns) {
        const QString text = QLatin1String("CAST(") + column + QLatin1String(" AS TEXT)");
        if (find.wholeCell && find.matchCase) {
            any << text + QLatin1String(" = ? COLLATE BINARY");
            sql.params.push_back(odbc::Param::text(find.text.toUtf8()));
        } else if (find.wholeCell) {
            any << LikeText(text, find.text, true, sql.params);
        } else if (find.matchCase) {
            any << QLatin1String("instr(") + text + QLatin1String(", ?) > 0");
            sql.params.push_back(odbc::Param::text(find.text.toUtf8()));
        } else {
            any << LikeText(text, find.text, false, sql.params);
        }
    }
    if (cellsHolding) {
        QStringList each;
        for (const QString& condition : any)
            each << QLatin1String("(CASE WHEN ") + condition + QLatin1String(" THEN '1' ELSE '0' END)");
        *cellsHolding = each.join(QLatin1String(" || "));
        std::vector<odbc::Param> twice = sql.params;
        twice.insert(twice.end(), sql.params.begin(), sql.params.end());
        sql.params = std::move(twice);
    }
    sql.where = any.join(QLatin1String(" OR "));
    return sql;
}

namespace {
bool sameText(QStringView a, QStringView b, bool matchCase)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        QChar x = a[i], y = b[i];
        if (!matchCase && x.unicode() < 128 && y.unicode() < 128) {
            x = x.toLower();
            y = y.toLower();
        }
        if (x != y)
            return false;
    }
    return true;
}
} // namespace

QString ReplacedText(const QString& cell, const FindText& find, const QString& with)
{
    if (find.text.isEmpty())
        return cell;
    if (find.wholeCell)
        return sameText(cell, find.text, find.matchCase) ? with : cell;
    QString result;
    qsizetype i = 0;
    const qsizetype n = find.text.size();
    while (i < cell.size()) {
        if (i + n <= cell.size() && sameText(QStringView(cell).mid(i, n), find.text, find.matchCase)) {
            result += with;
            i += n;
        } else {
            result += cell[i++];
        }
    }
    return result;
}
