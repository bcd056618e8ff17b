#include "CopyText.h"

QString TsvField(const QString& text)
{
    if (!text.contains(QLatin1Char('\t')) && !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('"')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void CopyText::addRow(const QStringList& cells)
{
    beginRow();
    for (const QString& cell : cells)
        addCell(cell);
    endRow();
}

void CopyText::beginRow()
{
    firstCell_ = true;
    rows_ += "<tr>";
}

void CopyText::addCell(std::string_view utf8)
{
    if (!std::exchange(firstCell_, false))
        text_ += '\t';
    const bool quoted = utf8.find_first_of("\t\r\n\"") != std::string_view::npos;
    if (quoted)
        text_ += '"';
    rows_ += "<td>";
    for (const char c : utf8) {
        if (c == '"' && quoted)
            text_ += "\"\"";
        else
            text_ += c;
        switch (c) {
        case '&': rows_ += "&amp;"; break;
        case '<': rows_ += "&lt;"; break;
        case '>': rows_ += "&gt;"; break;
        case '"': rows_ += "&quot;"; break;
        case '\n': rows_ += "<br>"; break;
        default: rows_ += c;
        }
    }
    if (quoted)
        text_ += '"';
    rows_ += "</td>";
}

void CopyText::endRow()
{
#ifdef Q_OS_WIN
    text_ += "\r\n";
#else
    text_ += '\n';
#endif
    rows_ += "</tr>\n";
}

QByteArray CopyText::html() const
{
    return QByteArrayLiteral("<html><head><meta charset=\"utf-8\"></head><body><table>\n") + rows_
        + QByteArrayLiteral("</table></body></html>\n");
}

bool TsvReader::next(QStringList* row, int* fields)
{
    const QString& text = text_;
    const qsizetype n = text.size();
    qsizetype& i = at_;
    if (i >= n)
        return false;
    if (row)
        row->clear();
    int count = 0;
    QString field;
    // A field ends: kept where the row is wanted, counted either way.
    const auto endField = [&] {
        if (row)
            *row << field;
        field.clear();
        ++count;
    };
    qsizetype plain = i; // where the field's text not yet taken starts (unquoted text)
    const auto takePlain = [&] {
        if (row && i > plain)
            field += QStringView(text).mid(plain, i - plain);
    };
    while (i < n) {
        const QChar c = text[i];
        if (c == QLatin1Char('"') && i == plain) { // (a quoted part ends before a character that is no quote)
            // A quoted field, up to the quote not doubled; what follows it up to the next TAB or line break joins it.
            for (++i; i < n; ++i) {
                if (text[i] == QLatin1Char('"')) {
                    if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                        if (row)
                            field += QLatin1Char('"');
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                if (row)
                    field += text[i];
            }
            plain = i;
            continue;
        }
        if (c == QLatin1Char('\t')) {
            takePlain();
            endField();
            plain = ++i;
            continue;
        }
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            takePlain();
            endField();
            i += (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n')) ? 2 : 1;
            if (fields)
                *fields = count;
            return true;
        }
        ++i;
    }
    // The last row, with no line break after it.
    takePlain();
    endField();
    if (fields)
        *fields = count;
    return true;
}

std::vector<QStringList> ParseTsv(const QString& text)
{
    std::vector<QStringList> rows;
    TsvReader reader(text);
    QStringList row;
    while (reader.next(&row))
        rows.push_back(row);
    return rows;
}
