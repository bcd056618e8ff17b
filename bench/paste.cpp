// Pasting 100,000 rows of five columns into the table window's grid as the
// user does (over existing rows, then as new rows), undoing each, a paste
// with one row refused in its middle, and copying a million rows; each timed
// on the offscreen platform.
//   bench_paste DATABASE TABLE            paste over, undo, paste new rows, undo
//   bench_paste DATABASE TABLE other      one paste while another program writes a row far from it
//   bench_paste DATABASE TABLE refused    one paste while another program writes a row in its middle
//   bench_paste DATABASE TABLE sorted     one paste over rows (all but the id) while sorted by qty, and its undo
// Prints one line of "name seconds" pairs, then the peak resident MB. (A
// paste over rows and its undo leave the file a little slower for the next
// paste, so the two pastes compared are each made on a fresh copy.)
#include "data/adodb.h"
#include "grid/RecordSetModel.h"
#include "harness.h"
#include "peak.h"
#include "shell/Application.h"

#include <QClipboard>
#include <QGuiApplication>

namespace {
double seconds(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e9; }

// rows x (id, name, qty, price, note) as a spreadsheet writes them; no id for new rows.
QString block(int rows, bool withIds)
{
    QString text;
    text.reserve(rows * 64);
    for (int r = 0; r < rows; ++r)
        text += (withIds ? QString::number(r + 1) : QString()) + QStringLiteral("\tpasted %1\t%2\t%3\tpasted note %1\n")
                                                                      .arg(r)
                                                                      .arg(r % 7)
                                                                      .arg(r * 0.5);
    return text;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    Application app(argc, argv);
    const QString mode = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    if (argc < 3 || argc > 4 || !(mode.isEmpty() || mode == "other" || mode == "refused" || mode == "sorted")) {
        std::fprintf(stderr, "usage: %s DATABASE TABLE [other|refused|sorted]\n", argv[0]);
        return 2;
    }
    QTemporaryDir settings;
    QuietProgram(settings);
    int refusedBoxes = 0;
    SetMessageBoxHandler([&](const MessageBoxRequest& r) {
        if (r.text.contains(QLatin1String("not pasted")))
            ++refusedBoxes;
        else
            std::fprintf(stderr, "message: %s\n", qPrintable(r.text));
        return int(vbYes); // "Add N new rows for the rest?"
    });
    PaintWatch watch;
    double open = 0;
    DataGrid* grid = OpenUntilPainted(argv[1], argv[2], watch, &open);
    if (!grid)
        return 1;
    const qsizetype records = grid->RowCount();
    constexpr int rows = 100000;
    const QString over = block(rows, true);
    QElapsedTimer t;
    if (mode == "sorted") {
        // The rows in another order (built on the server first), the block
        // written from the second column on so that every row keeps its id.
        grid->setRowView(RowView{{{2, false}}, {}});
        t.start();
        while (grid->isBuildingView())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        std::printf("sorted_ready %.3f", seconds(t));
        grid->setCurrentRecord(0, 1);
        QString text = block(rows, false);
        text.replace(QStringLiteral("\n\t"), QStringLiteral("\n")).remove(0, 1); // (no empty id field)
        t.start();
        const bool pasted = grid->pasteText(text);
        std::printf(" paste_sorted %.3f%s", seconds(t), pasted ? "" : "(failed)");
        t.start();
        grid->undo();
        std::printf(" undo_sorted %.3f peak_mb %.0f\n", seconds(t), PeakResidentMB());
        Forms::UnloadAll();
        return 0;
    }
    if (!mode.isEmpty()) {
        // Another program writes the table between our read and our write: a
        // row far from the block (none refused: the baseline, as the file
        // changed alike), or one in its middle (refused).
        ADODB::Connection other;
        other.Open(DatabaseConnectionString(QString::fromLocal8Bit(argv[1])));
        const qint64 theirRow = mode == "refused" ? 50000 : 5000000;
        ADODB::setBlockObserver([&] {
            other.Execute(QStringLiteral("UPDATE t SET note = note || ' theirs' WHERE rowid = %1;").arg(theirRow));
        });
        grid->setCurrentRecord(0, 0);
        t.start();
        grid->pasteText(over);
        std::printf("paste_%s %.3f (%d box) peak_mb %.0f\n", mode == "refused" ? "one_refused" : "other_wrote",
                    seconds(t), refusedBoxes, PeakResidentMB());
        ADODB::setBlockObserver(nullptr);
        Forms::UnloadAll();
        return 0;
    }
    std::printf("text_mb %.1f open_peak_mb %.0f", over.toUtf8().size() / 1e6, PeakResidentMB());

    grid->setCurrentRecord(0, 0);
    t.start();
    const bool pasted = grid->pasteText(over);
    const double pasteOver = seconds(t);
    std::printf(" paste_over %.3f%s (peak_mb %.0f)", pasteOver, pasted ? "" : "(failed)", PeakResidentMB());
    t.start();
    grid->undo();
    std::printf(" undo_over %.3f", seconds(t));

    grid->setCurrentRecord(records, 0); // the new-row line
    QString added = block(rows, false); // (the clipboard holds one text at a time)
    t.start();
    const bool appended = grid->pasteText(added);
    added = QString();
    std::printf(" paste_new %.3f%s", seconds(t), appended ? "" : "(failed)");
    t.start();
    grid->undo();
    std::printf(" undo_new %.3f", seconds(t));

    std::printf(" peak_mb %.0f\n", PeakResidentMB());
    Forms::UnloadAll();
    return 0;
}
