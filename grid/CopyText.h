#pragma once
// Cells as the clipboard carries them to spreadsheets and word processors:
// tab-separated text the way spreadsheets write it, and an HTML table.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <string_view>
#include <vector>

// A field of tab-separated text: quoted (its quotes doubled) where it holds a
// TAB, CR, LF or double quote; as it stands otherwise.
QString TsvField(const QString& text);

// Tab-separated text as spreadsheets write it, back into rows of fields:
// fields quoted where they hold TABs, line breaks or quotes (quotes doubled),
// rows ended by CR LF or LF, the line break after the last row not making
// another row. A quote opens a quoted field only at the field's start.
std::vector<QStringList> ParseTsv(const QString& text);

// The same, a row at a time (a paste of many rows never holds them all).
class TsvReader {
public:
    explicit TsvReader(const QString& text) : text_(text) {}
    // The next row's fields (where row is given) and how many there are;
    // false when the text has ended.
    bool next(QStringList* row, int* fields = nullptr);

private:
    const QString& text_;
    qsizetype at_ = 0;
};

// Tab-separated text (UTF-8, as CopyText writes it) as an HTML table: a row
// per line, a cell per field.
QByteArray TsvHtml(const QByteArray& tsv);

// Builds the tab-separated text a row at a time, as UTF-8 (a copy of a
// million rows is built without a string per cell); the HTML table is made
// from it when asked for.
class CopyText {
public:
    void addRow(const QStringList& cells);
    void beginRow() { firstCell_ = true; }
    void addCell(std::string_view utf8);
    void addCell(const QString& text)
    {
        const QByteArray utf8 = text.toUtf8();
        addCell(std::string_view(utf8.constData(), size_t(utf8.size())));
    }
    void endRow();
    // The rows, each followed by the platform's line break (CR LF on Windows, LF elsewhere).
    QString text() const { return QString::fromUtf8(text_); }
    const QByteArray& utf8() const { return text_; }
    QByteArray html() const { return TsvHtml(text_); }

private:
    QByteArray text_;
    bool firstCell_ = true;
};
