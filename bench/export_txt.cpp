// Opens a table in the grid (not timed), then times the TXT export through the
// grid walk, as the menu item runs it. Prints: seconds, bytes written, peak MB.
#include "export/DataGrid1.h"
#include "harness.h"
#include "peak.h"
#include "shell/Application.h"

#include <QElapsedTimer>
#include <QFileInfo>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s DATABASE TABLE OUTPUT\n", argv[0]);
        return 2;
    }
    QTemporaryDir settings;
    QuietProgram(settings);
    DataGrid* grid = OpenTable(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    if (!grid)
        return 1;
    Forms::form3().show();
    QCoreApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    DataGrid1::SaveDataGridToFile(grid, QString::fromLocal8Bit(argv[3]));
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("%.3f %lld %.1f\n", seconds, static_cast<long long>(QFileInfo(QString::fromLocal8Bit(argv[3])).size()),
                PeakResidentMB());
    std::fflush(stdout);
    Forms::UnloadAll();
    return 0;
}
