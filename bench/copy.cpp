// The TXT export of every row of a table, then copying them all (Ctrl+A,
// Ctrl+C) from the table window's grid, on the offscreen platform.
//   bench_copy DATABASE TABLE EXPORT_FILE
// Prints the copy's and the export's seconds, their ratio and the peak resident MB
// until then; then the time to take the text from the clipboard, its size and the peak after.
#include "export/DataGrid1.h"
#include "harness.h"
#include "peak.h"
#include "shell/Application.h"

#include <QClipboard>
#include <QGuiApplication>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s DATABASE TABLE EXPORT_FILE\n", argv[0]);
        return 2;
    }
    QTemporaryDir settings;
    QuietProgram(settings);
    PaintWatch watch;
    double open = 0;
    DataGrid* grid = OpenUntilPainted(argv[1], argv[2], watch, &open);
    if (!grid)
        return 1;
    const qsizetype rows = grid->RowCount();
    QElapsedTimer t;
    t.start();
    DataGrid1::SaveDataGridToFile(grid, QString::fromLocal8Bit(argv[3]));
    const double exported = t.nsecsElapsed() / 1e9;
    t.start();
    grid->selectEverything();
    const bool copied = grid->copySelection(false);
    const double copy = t.nsecsElapsed() / 1e9;
    const double copyPeak = PeakResidentMB();
    // (Then pasted as text, as another program would: the text is made when asked for.)
    t.start();
    const qsizetype bytes = QGuiApplication::clipboard()->text().toUtf8().size();
    const double pasted = t.nsecsElapsed() / 1e9;
    std::printf("rows %lld copy %.3f%s export %.3f ratio %.2f peak_mb %.0f; text asked for %.3f clipboard_mb %.1f "
                "peak_mb %.0f\n",
                static_cast<long long>(rows), copy, copied ? "" : "(failed)", exported, copy / exported, copyPeak,
                pasted, bytes / 1e6, PeakResidentMB());
    Forms::UnloadAll();
    return 0;
}
