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
