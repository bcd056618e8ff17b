#pragma once
// The grid writers: tab-separated text, XML and CSV, all through one walk of
// the grid as the user sees it, and the routine that puts a text on disk.
#include <QString>
#include <functional>
#include <string_view>

class TextSink;

class DataGrid;
class Trap;

namespace DataGrid1 {

// Writes the text to the file (created, or emptied first) in the locale's
// encoding. Failures are raised to the caller. (The design's routine for a
// finished text. The three writers below do not build the whole text first:
// they stream it into a TextSink, which writes beside the file and puts it in
// place at the end, the same bytes this routine would write.)
void SaveStringToFile(const QString& text, const QString& fileName);

void SaveDataGridToFile(DataGrid* grid, const QString& fileName);
void SaveDataGridToXMLFile(DataGrid* grid, const QString& fileName);
void SaveDataGridToCSVFile(DataGrid* grid, const QString& fileName);

// The step numbers one writer gives to the parts of the walk.
struct WalkSteps {
    int pageStart;  // the page position set to 0
    int loop;       // the row count read, the loop begun
    int pageTest;   // page position at least the visible rows?
    int scroll;     // scroll down a page
    int pageReset;  // page position back to 0
    int makeCurrent;
    int advance;
};

// Makes every record of the grid current in turn, from the first, a page of
// visible rows at a time, calling beforeRow ahead of the page test and onRow
// once the record is current. Each part runs through the writer's trap.
// False when the table could not be read (reported once): nothing is to be written.
// With the text being written, the walk ends once it can no longer be written.
bool walkGrid(DataGrid* grid, Trap& trap, const WalkSteps& steps, const std::function<void()>& beforeRow,
              const std::function<void()>& onRow, const TextSink* text = nullptr);

// One CSV field: quoted when it holds a comma, a double quote, CR or LF.
QString CsvField(const QString& text);
bool CsvNeedsQuotes(std::string_view text);

} // namespace DataGrid1
