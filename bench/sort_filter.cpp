// Sorting, filtering and finding in the table window's grid, on the offscreen
// platform, as the user does them (a click on a heading, typing into a filter
// box, Find Next), each timed until the grid has painted its rows.
//   bench_sort_filter DATABASE TABLE INDEXED_COLUMN PLAIN_COLUMN FILTER_WIDE FILTER_NARROW FIND_TEXT EXPORT_FILE
// Prints one line of "name seconds" pairs, then the peak resident MB.
#include "export/DataGrid1.h"
#include "grid/FilterLine.h"
#include "harness.h"
#include "peak.h"
#include "shell/Application.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <atomic>
#include <thread>

namespace {

PaintWatch watch;
double worstGap = 0; // the longest the event loop went without turning (ms), while measured
double worstGapAt = 0; // when it ended (ms after the clock below started)
QElapsedTimer sinceStart;

double seconds(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e9; }

// Turns the event loop until the grid has painted with rows (any, where
// needRows is false) and `done` holds.
void until(DataGrid* grid, const std::function<bool()>& done, bool needRows = true)
{
    // The loop sleeps until an event comes, as the program's own does (a
    // spinning loop would take a core from the reads measured); the tick
    // wakes it to look again.
    QTimer tick;
    tick.start(5);
    QElapsedTimer gap;
    gap.start();
    watch.painted = false;
    while (!(watch.painted && (!needRows || grid->recordModel()->records() > 0) && done())) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (gap.nsecsElapsed() / 1e6 > worstGap) {
            worstGap = gap.nsecsElapsed() / 1e6;
            worstGapAt = sinceStart.nsecsElapsed() / 1e6;
        }
        gap.start();
        if (!watch.painted)
            grid->viewport()->update();
    }
}

int columnOf(DataGrid* grid, const QString& name)
{
    for (int c = 0; c < grid->ColumnCount(); ++c)
        if (grid->ColumnCaption(c) == name)
            return c;
    std::fprintf(stderr, "no column %s\n", qPrintable(name));
    std::exit(2);
}

void press(DataGrid* grid, int key, Qt::KeyboardModifiers modifiers)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(grid, &event);
}

// Another program writing the table every 50 ms (the sqlite3 shell, waiting
// up to 10 s for the file's lock; without fsync, so that what is measured is
// the wait for our locks, not the disk): the longest one of its writes took, in ms.
class OtherWriter {
public:
    explicit OtherWriter(const char* database)
        : thread_([this, command = QStringLiteral("sqlite3 -cmd '.timeout 10000' -cmd 'PRAGMA synchronous=OFF' '%1' "
                                                   "'UPDATE t SET price = price WHERE rowid = 1' >/dev/null 2>&1")
                                       .arg(QString::fromLocal8Bit(database))
                                       .toStdString()] {
              while (running_) {
                  QElapsedTimer t;
                  t.start();
                  if (std::system(command.c_str()) != 0)
                      failed_ = true;
                  worst_ = std::max<double>(worst_, t.nsecsElapsed() / 1e6);
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              }
          })
    {
    }
    double stop()
    {
        running_ = false;
        thread_.join();
        return failed_ ? -1 : worst_.load();
    }

private:
    std::atomic<bool> running_{true}, failed_{false};
    std::atomic<double> worst_{0};
    std::thread thread_;
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    Application app(argc, argv);
    if (argc != 9) {
        std::fprintf(stderr, "usage: %s DATABASE TABLE INDEXED PLAIN FILTER_WIDE FILTER_NARROW FIND EXPORT\n", argv[0]);
        return 2;
    }
    QTemporaryDir settings;
    QuietProgram(settings);
    double open = 0;
    DataGrid* grid = OpenUntilPainted(argv[1], argv[2], watch, &open);
    if (!grid)
        return 1;
    const int indexed = columnOf(grid, argv[3]), plain = columnOf(grid, argv[4]);
    const auto building = [grid] { return !grid->isBuildingView(); };
    QElapsedTimer t;
    std::printf("open %.3f", open);

    // By the indexed column: first rows, the whole order, Ctrl+End, the middle
    // (once the table's count has arrived, as it does a moment after opening).
    grid->RowCount();
    t.start();
    grid->sortByHeading(indexed, false);
    until(grid, [] { return true; });
    std::printf(" indexed_first %.3f", seconds(t));
    t.start();
    press(grid, Qt::Key_End, Qt::ControlModifier);
    until(grid, [grid] { return grid->currentRecord() >= grid->recordModel()->records() - 1; });
    std::printf(" indexed_end %.3f", seconds(t));
    t.start();
    grid->scrollToRecord(grid->recordModel()->records() / 2);
    until(grid, [] { return true; });
    std::printf(" indexed_middle %.3f", seconds(t));

    // By a column without an index: first rows, the whole order (the loop's
    // worst gap meanwhile), measured alone as the shell's figures are.
    grid->sortByHeading(indexed, false);
    grid->sortByHeading(indexed, false); // back to the table's own order
    until(grid, building);
    t.start();
    worstGap = 0;
    sinceStart.start();
    grid->sortByHeading(plain, false);
    until(grid, [] { return true; });
    std::printf(" plain_first %.3f", seconds(t));
    until(grid, building);
    std::printf(" plain_ready %.3f", seconds(t));
    t.start();
    grid->scrollToRecord(grid->recordModel()->records() / 2);
    until(grid, [] { return true; });
    std::printf(" plain_middle %.3f", seconds(t));
    // Descending, built again while another program writes the file: the
    // longest its writes waited, and the loop's worst gap over both builds.
    {
        OtherWriter writer(argv[1]);
        std::fprintf(stderr, "descending sort clicked %.0f ms after the first sort's click\n", sinceStart.nsecsElapsed() / 1e6);
        grid->sortByHeading(plain, false);
        until(grid, building);
        std::printf(" plain_gap_ms %.0f writer_wait_ms %.0f", worstGap, writer.stop());
        std::fprintf(stderr, "worst gap ended %.0f ms after the first sort's click\n", worstGapAt);
    }
    // Esc on a third build, 300 ms after it began.
    grid->sortByHeading(plain, false); // the table's own order
    until(grid, building);
    grid->sortByHeading(plain, false);
    until(grid, [] { return true; });
    QElapsedTimer wait;
    wait.start();
    QTimer tick;
    tick.start(5);
    while (wait.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    t.start();
    press(grid, Qt::Key_Escape, Qt::NoModifier);
    until(grid, building);
    std::printf(" esc %.3f", seconds(t));

    // Filters typed into the box of the plain column (back in the table's own order).
    QLineEdit* box = grid->filterLine()->box(plain);
    for (const char* text : {argv[5], argv[6]}) {
        t.start();
        box->setText(QString::fromLocal8Bit(text));
        grid->setRowView(RowView{{}, {{plain, box->text()}}});
        until(grid, [] { return true; });
        std::printf(" filter_first %.3f", seconds(t));
        until(grid, building, false);
        std::printf(" filter_ready %.3f (%lld rows)", seconds(t), static_cast<long long>(grid->recordModel()->records()));
    }
    box->clear();
    grid->setRowView(RowView{});
    until(grid, building);

    // Find Next from the first row.
    grid->setCurrentRecord(0, 0);
    t.start();
    const DataGrid::FindOutcome found = grid->find(FindText{QString::fromLocal8Bit(argv[7]), false, false}, true);
    std::printf(" find %.3f%s", seconds(t), found == DataGrid::FindOutcome::Found ? "" : "(not found)");

    // The TXT export of a sorted, filtered grid.
    t.start();
    grid->setRowView(RowView{{{indexed, true}}, {{plain, QString::fromLocal8Bit(argv[5])}}});
    until(grid, building);
    std::printf(" sorted_filtered_ready %.3f", seconds(t));
    t.start();
    DataGrid1::SaveDataGridToFile(grid, QString::fromLocal8Bit(argv[8]));
    std::printf(" export %.3f", seconds(t));
    std::printf(" peak_mb %.0f\n", PeakResidentMB());
    std::fflush(stdout);
    Forms::UnloadAll();
    return 0;
}
