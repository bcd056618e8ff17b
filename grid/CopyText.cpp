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
    QStringList fields;
    for (const QString& cell : cells)
        fields << TsvField(cell);
#ifdef Q_OS_WIN
    text_ += fields.join(QLatin1Char('\t')) + QLatin1String("\r\n");
#else
    text_ += fields.join(QLatin1Char('\t')) + QLatin1Char('\n');
#endif
    rows_ += QLatin1String("<tr>");
    for (const QString& cell : cells)
        rows_ += QLatin1String("<td>") + cell.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>"))
            + QLatin1String("</td>");
    rows_ += QLatin1String("</tr>\n");
}

QString CopyText::html() const
{
    return QLatin1String("<html><body><table>\n") + rows_ + QLatin1String("</table></body></html>\n");
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
