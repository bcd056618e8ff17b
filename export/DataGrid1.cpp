#include "DataGrid1.h"

#include "TextSink.h"

#include "grid/DataGrid.h"
#include "data/error.h"
#include "common/errorreport.h"
#include "common/progress.h"
#include "common/locations.h"

#include <QFile>
#include <QStringEncoder>

namespace DataGrid1 {

namespace {
constexpr QLatin1StringView kLineEnd("\r\n");
const QChar kTab = QLatin1Char('\t');
} // namespace

void SaveStringToFile(const QString& text, const QString& fileName)
{
    QStringEncoder encode(QStringConverter::System);
    TextSink sink(fileName);
    sink.appendEncoded(encode(text));
    sink.save();
}

bool walkGrid(DataGrid* grid, Trap& trap, const WalkSteps& steps, const std::function<void()>& beforeRow,
              const std::function<void()>& onRow, const TextSink* text)
{
    int page = 0;
    qsizetype rows = 0;
    struct Walk {
        DataGrid* grid;
        explicit Walk(DataGrid* g) : grid(g) { grid->beginWalk(); }
        ~Walk() { grid->endWalk(); }
    } walk(grid);
    trap(steps.pageStart, [&] {
        page = 0;
        grid->scrollToTop(); // the walk starts with the first record as the top visible row
    });
    trap(steps.loop, [&] { rows = grid->RowCount(); });
    LongWork progress(grid->window(), QStringLiteral("Exporting the table..."));
    // Once for each record. Where another program writes the table meanwhile,
    // the walk goes on after the last record it wrote, to wherever the table
    // now ends; a table that cannot be read is reported once and ends it.
    for (qsizetype i = 0;; ++i) {
        bool goesOn = false;
        if (!trap(steps.loop, [&] { goesOn = grid->walkGoesOn(page); }))
            return false;
        // A text that can no longer be written ends the walk: saving it says why.
        if (!goesOn || (text && text->failed()))
            break;
        progress(i, std::max(rows, i + 1));
        if (beforeRow)
            beforeRow();
        if (trap.test(steps.pageTest, [&] { return page >= grid->VisibleRows(); })) {
            trap(steps.scroll, [&] { grid->Scroll(0, grid->VisibleRows()); });
            trap(steps.pageReset, [&] { page = 0; });
        }
        trap(steps.makeCurrent, [&] { grid->SetRow(page); });
        trap(steps.advance, [&] { ++page; });
        onRow();
    }
    progress(rows, rows);
    return true;
}

namespace {
// The flat formats: a header line of captions, then one line per record, every
// line ended by CR LF. Fields are followed by the separator (trailing, TAB) or
// stand between separators (CSV).
bool WalkFlat(DataGrid* grid, Trap& trap, TextSink& text, QChar separator, bool csv)
{
    const bool trailing = !csv;
    auto append = [&](int column, const QString& value) {
        if (!trailing && column > 0)
            text += separator;
        text += csv ? CsvField(value) : value;
        if (trailing)
            text += separator;
    };
    // A cell's text, straight from the bytes the grid holds where it can.
    auto appendCell = [&](int column) {
        std::string_view bytes;
        if (!grid->columnBytes(column, &bytes) || (csv && CsvNeedsQuotes(bytes))) {
            append(column, grid->ColumnText(column));
            return;
        }
        if (!trailing && column > 0)
            text += separator;
        text.appendUtf8(bytes);
        if (trailing)
            text += separator;
    };
    int columns = 0;
    trap(100, [&] {});
    trap(102, [&] { columns = grid->ColumnCount(); });
    for (int c = 0; c < columns; ++c)
        trap(104, [&] { append(c, grid->ColumnCaption(c)); });
    trap(108, [&] { text += kLineEnd; });
    return walkGrid(grid, trap, {110, 112, 114, 116, 118, 120, 122}, nullptr, [&] {
        int n = 0;
        trap(124, [&] { n = grid->ColumnCount(); });
        for (int c = 0; c < n; ++c)
            trap(126, [&] { appendCell(c); });
        trap(130, [&] { text += kLineEnd; });
    }, &text);
}
} // namespace

void SaveDataGridToFile(DataGrid* grid, const QString& fileName)
{
    Trap trap(Location::DataGrid1_SaveDataGridToFile);
    TextSink text(fileName);
    if (WalkFlat(grid, trap, text, kTab, false)) // (a walk that could not read the table writes nothing)
        trap(134, [&] { text.save(); });
}

bool CsvNeedsQuotes(std::string_view text)
{
    return text.find_first_of(",\"\r\n") != std::string_view::npos;
}

QString CsvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\r'))
        && !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
}

void SaveDataGridToCSVFile(DataGrid* grid, const QString& fileName)
{
    Trap trap(Location::DataGrid1_SaveDataGridToCSVFile);
    TextSink text(fileName);
    if (WalkFlat(grid, trap, text, QLatin1Char(','), true))
        trap(134, [&] { text.save(); });
}

void SaveDataGridToXMLFile(DataGrid* grid, const QString& fileName)
{
    Trap trap(Location::DataGrid1_SaveDataGridToXMLFile);
    TextSink text(fileName);
    trap(100, [&] { text += QLatin1String("<xml>") + kLineEnd; });
    const bool walked = walkGrid(
        grid, trap, {102, 104, 108, 110, 112, 114, 116},
        [&] { trap(106, [&] { text += QLatin1String("<row>") + kLineEnd; }); },
        [&] {
            for (int c = 0; c < grid->ColumnCount(); ++c) {
                trap(120, [&] {
                    // Built whole first, so a failure leaves the line out entirely.
                    const QString line = QLatin1Char('<') + grid->ColumnCaption(c) + QLatin1Char('>')
                        + grid->ColumnText(c) + QLatin1String("</") + grid->ColumnCaption(c) + QLatin1Char('>')
                        + kLineEnd;
                    text += line;
                });
            }
            trap(124, [&] { text += QLatin1String("</row>") + kLineEnd; });
        },
        &text);
    trap(128, [&] { text += QLatin1String("</xml>"); });
    if (walked)
        trap(130, [&] { text.save(); });
}

} // namespace DataGrid1
