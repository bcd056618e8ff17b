// The TXT export of every row of a table, then copying them all (Ctrl+A,
// Ctrl+C) from the table window's grid, on the offscreen platform.
//   bench_copy DATABASE TABLE EXPORT_FILE
// Prints "copy seconds export seconds ratio", the clipboard's size, then the peak resident MB.
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
    const qsizetype bytes = QGuiApplication::clipboard()->text().toUtf8().size();
    std::printf("rows %lld copy %.3f%s export %.3f ratio %.2f clipboard_mb %.1f peak_mb %.0f\n",
                static_cast<long long>(rows), copy, copied ? "" : "(failed)", exported, copy / exported, bytes / 1e6,
                PeakResidentMB());
    Forms::UnloadAll();
    return 0;
}
