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

std::vector<QStringList> ParseTsv(const QString& text)
{
    std::vector<QStringList> rows;
    QStringList row;
    QString field;
    const qsizetype n = text.size();
    qsizetype i = 0;
    bool rowOpen = false; // something of the current row has been read
    while (i < n) {
        const QChar c = text[i];
        if (c == QLatin1Char('"') && field.isEmpty()) {
            // A quoted field, up to the quote not doubled; what follows it up to the next TAB or line break joins it.
            for (++i; i < n; ++i) {
                if (text[i] == QLatin1Char('"')) {
                    if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                        field += QLatin1Char('"');
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i];
            }
            rowOpen = true;
            continue;
        }
        if (c == QLatin1Char('\t')) {
            row << field;
            field.clear();
            rowOpen = true;
            ++i;
            continue;
        }
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            row << field;
            field.clear();
            rows.push_back(row);
            row.clear();
            rowOpen = false;
            i += (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n')) ? 2 : 1;
            continue;
        }
        field += c;
        rowOpen = true;
        ++i;
    }
    if (rowOpen) {
        row << field;
        rows.push_back(row);
    }
    return rows;
}
