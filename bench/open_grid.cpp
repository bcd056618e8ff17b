// Opens a table the way the user does (start window, chooser, table window) on
// the offscreen platform and times the chooser's "Next >" until the grid's first
// rows are painted.
// Then scrolls to the end, the middle and random rows, each until painted.
// Then commits an edited row near the start and near the end.
// Prints: seconds to first paint, records, worst seconds to paint a scrolled-to
// row, peak MB, worst milliseconds to commit an edited row (0 where the table
// cannot be edited), seconds from Ctrl+End to the last rows painted (the count
// known). With --end-at-once: seconds to first paint, and from Ctrl+End pressed
// right after it to the last rows painted.
#include "harness.h"
#include "peak.h"
#include "shell/Application.h"

#include <QElapsedTimer>
#include <cstring>
#include <QKeyEvent>
#include <QRandomGenerator>
#include <QScrollBar>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // run.sh also times it on a real display (xcb)
    Application app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s DATABASE TABLE [--end-at-once]\n", argv[0]);
        return 2;
    }
    QTemporaryDir settings;
    QuietProgram(settings);

    // Timed from the chooser's "Next >" to the first paint of the grid's rows.
    QElapsedTimer timer;
    PaintWatch watch;
    double firstPaint = 0;
    DataGrid* grid = OpenUntilPainted(argv[1], argv[2], watch, &firstPaint);
    if (!grid)
        return 1;

    // Ctrl+End until the last rows are painted: with --end-at-once pressed right
    // after the first paint (the count may still be on its way), else once the
    // count has arrived.
    grid->setFocus();
    const bool atOnce = argc == 4 && std::strcmp(argv[3], "--end-at-once") == 0;
    if (!atOnce) {
        grid->RowCount();
        QCoreApplication::processEvents();
    }
    watch.painted = false;
    timer.restart();
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QCoreApplication::sendEvent(grid, &end);
    waitForPaint(watch);
    const double endPaint = timer.nsecsElapsed() / 1e9;
    if (atOnce) {
        std::printf("%.3f %.3f\n", firstPaint, endPaint);
        std::fflush(stdout);
        Forms::UnloadAll();
        return 0;
    }

    double worst = 0;
    const qsizetype last = grid->RowCount() - 1;
    QList<qsizetype> targets{last, last / 2, 0};
    for (int i = 0; i < 20; ++i)
        targets << qsizetype(QRandomGenerator::global()->bounded(quint64(last + 1)));
    for (qsizetype record : targets) {
        watch.painted = false;
        timer.restart();
        grid->scrollToRecord(record);
        grid->viewport()->update(); // painted even where the view was there already
        waitForPaint(watch);
        worst = std::max(worst, timer.nsecsElapsed() / 1e9);
        if (grid->recordModel()->displayText(record, 0).isEmpty()) {
            std::fprintf(stderr, "record %lld came out empty\n", static_cast<long long>(record));
            return 1;
        }
    }
    // Committing one edited row near the start and near the end: typing into a
    // cell (the row's identity is taken then) and writing the row. Each edit is
    // undone by a second one, so the table stays as generated.
    double commitWorst = 0;
    const bool editable = grid->dataSource()->canUpdate();
    for (qsizetype record : {qsizetype(1), last - 1}) {
        if (!editable)
            break;
        const QString before = grid->recordModel()->displayText(record, 1);
        for (const QString& text : {before + QStringLiteral(" edited"), before}) {
            grid->setCurrentRecord(record, 1);
            timer.restart();
            if (!grid->model()->setData(grid->currentIndex(), text, Qt::EditRole) || !grid->commitPendingRow()) {
                std::fprintf(stderr, "record %lld could not be edited\n", static_cast<long long>(record));
                return 1;
            }
            commitWorst = std::max(commitWorst, timer.nsecsElapsed() / 1e9);
        }
    }
    std::printf("%.3f %lld %.3f %.1f %.1f %.3f\n", firstPaint, static_cast<long long>(grid->RowCount()), worst,
                PeakResidentMB(), commitWorst * 1000, endPaint);
    std::fflush(stdout);
    Forms::UnloadAll();
    return 0;
}
