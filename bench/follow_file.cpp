// Following the file: what asking whether another program wrote the file
// costs beside the first paint and a scroll step, and how long the grid takes
// to show the same rows again after another program's commit.
// Prints: microseconds per check, first paint s, scroll step s (worst of 20),
// seconds from another program's commit (1,000 rows deleted before the screen,
// 1,000 added at the end) to the same top row painted again, and 1 where the
// top row is the same row (and, once its true position is counted, stands 1,000
// rows higher), else 0, and seconds until then.
#include "harness.h"
#include "shell/Application.h"

#include <QElapsedTimer>
#include <QScrollBar>
#include <sqlite3.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DATABASE TABLE\n", argv[0]);
        return 2;
    }
    QTemporaryDir settings;
    QuietProgram(settings);
    QElapsedTimer timer;
    PaintWatch watch;
    double firstPaint = 0;
    DataGrid* grid = OpenUntilPainted(argv[1], argv[2], watch, &firstPaint);
    if (!grid)
        return 1;
    const qsizetype rows = grid->RowCount();

    // The check alone, as the grid runs it before each step.
    const auto& recordset = grid->dataSource();
    constexpr int kChecks = 2000;
    timer.restart();
    for (int i = 0; i < kChecks; ++i)
        recordset->followFile();
    const double checkUs = timer.nsecsElapsed() / 1e3 / kChecks;

    // Scroll steps through the middle, each until painted.
    double step = 0;
    grid->scrollToRecord(rows / 2);
    for (int i = 0; i < 20; ++i) {
        watch.painted = false;
        timer.restart();
        grid->scrollToRecord(rows / 2 + (i + 1) * grid->VisibleRows());
        grid->viewport()->update();
        waitForPaint(watch);
        step = std::max(step, timer.nsecsElapsed() / 1e9);
    }
    QCoreApplication::processEvents();
    const qsizetype top = grid->topRow();
    const QString topKey = grid->recordModel()->displayText(top, 0);

    // Another program's commit: rows deleted before the screen, rows added at the end.
    sqlite3* other = nullptr;
    if (sqlite3_open(argv[1], &other) != SQLITE_OK)
        return 1;
    const QByteArray first = grid->recordModel()->displayText(rows / 4, 0).toUtf8();
    const QByteArray sql = "BEGIN; DELETE FROM t WHERE rowid IN (SELECT rowid FROM t WHERE id >= " + first
        + " ORDER BY id LIMIT 1000); INSERT INTO t SELECT id + 100000000, name, qty, price, note FROM t ORDER BY id DESC LIMIT 1000; COMMIT;";
    if (sqlite3_exec(other, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n", sqlite3_errmsg(other));
        return 1;
    }
    watch.painted = false;
    timer.restart();
    grid->followFile(); // (the grid's own tenth-of-a-second check does the same)
    grid->viewport()->update();
    waitForPaint(watch);
    const double reanchor = timer.nsecsElapsed() / 1e9;
    bool same = grid->recordModel()->displayText(grid->topRow(), 0) == topKey;
    // Until the rows shown stand at their true positions (counted on another connection).
    while (recordset->pinned())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    grid->followFile();
    const double settled = timer.nsecsElapsed() / 1e9;
    same = same && grid->recordModel()->displayText(grid->topRow(), 0) == topKey && grid->topRow() == top - 1000;
    // The table as generated again.
    sqlite3_exec(other, "BEGIN; DELETE FROM t WHERE id > 100000000; COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    std::printf("%.1f %.3f %.4f %.3f %d %.3f\n", checkUs, firstPaint, step, reanchor, same ? 1 : 0, settled);
    std::fflush(stdout);
    Forms::UnloadAll();
    return 0;
}
