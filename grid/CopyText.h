#pragma once
// Cells as the clipboard carries them to spreadsheets and word processors:
// tab-separated text the way spreadsheets write it, and an HTML table.
#include <QString>
#include <QStringList>
#include <vector>

// A field of tab-separated text: quoted (its quotes doubled) where it holds a
// TAB, CR, LF or double quote; as it stands otherwise.
QString TsvField(const QString& text);

// Tab-separated text as spreadsheets write it, back into rows of fields:
// fields quoted where they hold TABs, line breaks or quotes (quotes doubled),
// rows ended by CR LF or LF, the line break after the last row not making
// another row. A quote opens a quoted field only at the field's start.
std::vector<QStringList> ParseTsv(const QString& text);

// Builds both forms a row at a time.
class CopyText {
public:
    void addRow(const QStringList& cells);
    // The rows, each followed by the platform's line break (CR LF on Windows, LF elsewhere).
    const QString& text() const { return text_; }
    QString html() const;

private:
    QString text_;
    QString rows_;
};
