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

void CopyText::addCell(std::string_view utf8)
{
    if (!std::exchange(firstCell_, false))
        text_ += '\t';
    if (utf8.find_first_of("\t\r\n\"") == std::string_view::npos) {
        text_.append(utf8.data(), qsizetype(utf8.size()));
        return;
    }
    text_ += '"';
    size_t from = 0;
    for (size_t quote; (quote = utf8.find('"', from)) != std::string_view::npos; from = quote + 1) {
        text_.append(utf8.data() + from, qsizetype(quote + 1 - from));
        text_ += '"'; // (doubled)
    }
    text_.append(utf8.data() + from, qsizetype(utf8.size() - from));
    text_ += '"';
}

void CopyText::endRow()
{
#ifdef Q_OS_WIN
    text_ += "\r\n";
#else
    text_ += '\n';
#endif
}

QByteArray TsvHtml(const QByteArray& tsv)
{
    QByteArray html = QByteArrayLiteral("<html><head><meta charset=\"utf-8\"></head><body><table>\n");
    html.reserve(html.size() + tsv.size() * 2);
    const char* p = tsv.constData();
    const char* const end = p + tsv.size();
    const auto escaped = [&html](char c) {
        switch (c) {
        case '&': html += "&amp;"; break;
        case '<': html += "&lt;"; break;
        case '>': html += "&gt;"; break;
        case '"': html += "&quot;"; break;
        case '\n': html += "<br>"; break;
        default: html += c;
        }
    };
    bool inRow = false;
    while (p < end) {
        if (!std::exchange(inRow, true))
            html += "<tr>";
        html += "<td>";
        if (*p == '"') {
            // Quoted: up to the quote not doubled; what follows up to the next TAB or line break joins it.
            for (++p; p < end; ++p) {
                if (*p == '"') {
                    if (p + 1 < end && p[1] == '"') {
                        escaped(*p++);
                        continue;
                    }
                    ++p;
                    break;
                }
                escaped(*p);
            }
        }
        while (p < end && *p != '\t' && *p != '\r' && *p != '\n')
            escaped(*p++);
        html += "</td>";
        if (p < end && *p == '\t') {
            if (++p == end)
                html += "<td></td>"; // (an empty last field)
            continue;
        }
        if (p < end && *p == '\r')
            ++p;
        if (p < end && *p == '\n')
            ++p;
        html += "</tr>\n";
        inRow = false;
    }
    if (inRow)
        html += "</tr>\n";
    html += "</table></body></html>\n";
    return html;
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
