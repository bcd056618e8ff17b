// The grid's rows are a span of a large table: the user still scrolls, jumps
// and edits over the whole table, and every edit, deletion and export lands on
// the record the user sees, in every way a table is read.
#include "catalogue/Form2.h"
#include "grid/DataGrid.h"
#include "editor/Form3.h"
#include "export/DataGrid1.h"
#include "shell/Form1.h"
#include "common/forms.h"
#include "testsupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

namespace {
constexpr int kRecords = 500;
constexpr int kSpan = 100;
} // namespace

class LargeTableTest : public GridSuite {
    Q_OBJECT

private:
    QString path;

    // The table of the given kind: id 1..500 with v = 'v<id>', as a rowid
    // table, a WITHOUT ROWID table, or a view over the rowid table.
    DataGrid* openKind(const QString& kind)
    {
        DataGrid* grid = open(path, kind == "view" ? "tv" : kind == "without rowid" ? "w" : "t");
        if (grid)
            grid->RowCount(); // the count is exact
        return grid;
    }
    static QScrollBar* tableBar(DataGrid* grid) { return grid->findChild<QScrollBar*>("tableBar"); }
    static QString expected(qsizetype record) { return QStringLiteral("v%1").arg(record + 1); }
    // The span never holds more lines than its size.
    static bool spanHolds(DataGrid* grid, qsizetype record)
    {
        const RecordSetModel* model = grid->recordModel();
        return model->rowCount() <= kSpan && model->rowOf(record) >= 0;
    }
    void addKinds()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("rowid table") << "rowid table";
        QTest::newRow("without rowid") << "without rowid";
        QTest::newRow("view") << "view";
    }

private slots:
    void initTestCase() { RecordSetModel::setSpanRows(kSpan); }
    void init()
    {
        env.reset();
        path = env.makeDatabase("big.db",
                                QStringLiteral("CREATE TABLE t(id INTEGER PRIMARY KEY, v TEXT);"
                                               "CREATE TABLE w(id INTEGER PRIMARY KEY, v TEXT) WITHOUT ROWID;"
                                               "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < %1) "
                                               "INSERT INTO t SELECT i, 'v' || i FROM s;"
                                               "INSERT INTO w SELECT * FROM t;"
                                               "CREATE VIEW tv AS SELECT * FROM t;")
                                    .arg(kRecords));
    }

    void scrollingReachesEveryRecord_data() { addKinds(); }
    void scrollingReachesEveryRecord()
    {
        QFETCH(QString, kind);
        DataGrid* grid = openKind(kind);
        QVERIFY(QTest::qWaitForWindowActive(&Forms::form3()));
        QVERIFY(grid->recordModel()->isPartial());
        QScrollBar* bar = tableBar(grid);
        QVERIFY(bar && bar->isVisible());
        QVERIFY(!grid->verticalScrollBar()->isVisible());
        const int lines = int(grid->recordModel()->lines());
        QCOMPARE(lines, kind == "view" ? kRecords : kRecords + 1);
        QVERIFY(grid->VisibleRows() < kSpan / 2);

        // Page Down from the first record to the last line: the top row and the
        // scroll bar over the whole table move together, past every edge of the span.
        grid->setFocus();
        int top = grid->topRow();
        QCOMPARE(top, 0);
        for (int step = 0; step < 100 && grid->currentRecord() < lines - 1; ++step) {
            QTest::keyClick(grid, Qt::Key_PageDown);
            QCoreApplication::processEvents(); // the span follows after the step
            QVERIFY(grid->topRow() >= top);
            top = grid->topRow();
            QCOMPARE(bar->value(), top);
            QVERIFY(spanHolds(grid, grid->currentRecord()));
            QCOMPARE(grid->ColumnText(1), grid->currentRecord() < kRecords ? expected(grid->currentRecord()) : QString());
        }
        QCOMPARE(grid->currentRecord(), qsizetype(lines - 1));
        QCOMPARE(bar->maximum(), lines - grid->VisibleRows());
        QCOMPARE(shown(grid, kRecords - 1, 1), expected(kRecords - 1));

        // Up arrow back over an edge of the span, one row at a time.
        const qsizetype from = grid->recordModel()->base() + 2;
        grid->setCurrentRecord(from, 1);
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(grid, Qt::Key_Up);
            QCoreApplication::processEvents();
        }
        QCOMPARE(grid->currentRecord(), from - 5);
        QCOMPARE(grid->ColumnText(1), expected(from - 5));
        QVERIFY(spanHolds(grid, from - 5));

        // Ctrl+Home and Ctrl+End reach the ends from anywhere.
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(grid->currentRecord(), 0);
        QCOMPARE(grid->topRow(), 0);
        QCOMPARE(grid->ColumnText(1), expected(0));
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(grid->currentRecord(), qsizetype(lines - 1));
        QVERIFY(spanHolds(grid, lines - 1));
        QCOMPARE(grid->topRow(), lines - grid->VisibleRows());
    }

    void theWholeTableBarMovesTheSpan_data() { addKinds(); }
    void theWholeTableBarMovesTheSpan()
    {
        QFETCH(QString, kind);
        DataGrid* grid = openKind(kind);
        QScrollBar* bar = tableBar(grid);
        for (int value : {250, 251, kRecords - 1 - grid->VisibleRows(), 3, 120}) {
            bar->setValue(value);
            QCOMPARE(grid->topRow(), value);
            QCOMPARE(grid->verticalScrollBar()->value() + grid->recordModel()->base(), value);
            QVERIFY(spanHolds(grid, value));
            const QModelIndex topRow = grid->indexAt(QPoint(1, 1));
            QCOMPARE(grid->recordModel()->recordAt(topRow.row()), value);
            QCOMPARE(topRow.sibling(topRow.row(), 1).data().toString(), expected(value));
        }
        // The view's own scroll (the wheel, the arrows) shows on the bar.
        grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->value() + 7);
        QCoreApplication::processEvents();
        QCOMPARE(bar->value(), 127);
        QCOMPARE(grid->topRow(), 127);
        // At the end, the last line is shown whole at the bottom.
        bar->setValue(bar->maximum());
        QCOMPARE(grid->indexAt(QPoint(1, grid->viewport()->height() - 2)).row(), grid->model()->rowCount() - 1);
        QCOMPARE(grid->recordModel()->recordAt(grid->model()->rowCount() - 1), grid->recordModel()->lines() - 1);
    }

    void pendingRowSurvivesSpanMovesAndAnotherProgram_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("rowid table") << "rowid table";
        QTest::newRow("without rowid") << "without rowid";
    }
    void pendingRowSurvivesSpanMovesAndAnotherProgram()
    {
        QFETCH(QString, kind);
        const QString table = kind == "rowid table" ? "t" : "w";
        DataGrid* grid = openKind(kind);
        type(grid, 5, 1, "mine");
        // Far away: the span no longer holds the pending row; another program
        // deletes rows before it, so its position in the table moves.
        tableBar(grid)->setValue(400);
        QCOMPARE(grid->recordModel()->rowOf(5), -1);
        QVERIFY(grid->hasPendingRow());
        QCOMPARE(grid->currentRecord(), 5);
        Sqlite(path).exec(QStringLiteral("DELETE FROM %1 WHERE id <= 2;").arg(table));
        // Back again: shown as typed, with the editing mark, where the row
        // stands now (read whole, the grid keeps the table as it read it).
        tableBar(grid)->setValue(0);
        const qsizetype record = paged ? 3 : 5;
        const int row = grid->recordModel()->rowOf(record);
        QVERIFY(row >= 0);
        QCOMPARE(grid->currentIndex().row(), row);
        QCOMPARE(grid->currentRecord(), record);
        QCOMPARE(shown(grid, record, 1), QStringLiteral("mine"));
        QCOMPARE(shown(grid, record, 0), QStringLiteral("6"));
        QCOMPARE(grid->model()->headerData(row, Qt::Vertical).toString(), QStringLiteral("\u270E"));
        // Leaving the row far away writes it to the row the user edited.
        grid->setCurrentRecord(420, 1);
        QVERIFY(env.boxes.isEmpty());
        QVERIFY(!grid->hasPendingRow());
        QCOMPARE(Sqlite(path).value(QStringLiteral("SELECT v FROM %1 WHERE id = 6").arg(table)), QStringLiteral("mine"));
        QCOMPARE(Sqlite(path).value(QStringLiteral("SELECT count(*) FROM %1 WHERE v = 'mine'").arg(table)), "1");

        // Refused far away: the grid goes back to the row, still pending, as typed.
        type(grid, 470, 1, "again");
        const QString id = shown(grid, 470, 0);
        Sqlite(path).exec(QStringLiteral("UPDATE %1 SET v = 'theirs' WHERE id = %2;").arg(table, id));
        grid->setCurrentRecord(10, 1);
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY2(env.boxes[0].text.contains("changed or deleted by another program"), qPrintable(env.boxes[0].text));
        QCOMPARE(grid->currentRecord(), 470);
        QVERIFY(grid->recordModel()->rowOf(470) >= 0);
        QVERIFY(grid->hasPendingRow());
        QCOMPARE(shown(grid, 470, 1), QStringLiteral("again"));
        QCOMPARE(Sqlite(path).value(QStringLiteral("SELECT v FROM %1 WHERE id = %2").arg(table, id)), "theirs");
    }

    void textInTheOpenEditorIsKeptWhenTheSpanMoves()
    {
        DataGrid* grid = openKind("rowid table");
        QVERIFY(QTest::qWaitForWindowActive(&Forms::form3()));
        grid->setCurrentRecord(7, 1);
        grid->edit(grid->currentIndex());
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->setText("typed, not yet left");
        tableBar(grid)->setValue(300); // the span moves while the editor is open
        QCOMPARE(grid->recordModel()->rowOf(7), -1);
        QVERIFY(grid->hasPendingRow());
        QCOMPARE(shown(grid, 7, 1), QStringLiteral("typed, not yet left"));
        QVERIFY(grid->commitPendingRow());
        QCOMPARE(Sqlite(path).value("SELECT v FROM t WHERE id = 8"), QStringLiteral("typed, not yet left"));
    }

    void selectionAndDeletionFollowTheRecords()
    {
        Sqlite(path).exec("CREATE TABLE d AS SELECT * FROM t;");
        DataGrid* grid = open(path, "d");
        grid->RowCount();
        grid->scrollToRecord(100);
        const RecordSetModel* model = grid->recordModel();
        grid->selectionModel()->select(QItemSelection(model->index(model->rowOf(101), 0), model->index(model->rowOf(103), 0)),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        // Scrolling far enough moves the span; the selection stays on the same records.
        const qsizetype base = model->base();
        grid->scrollToRecord(101 + kSpan / 2);
        QVERIFY(model->base() != base);
        QList<qsizetype> selected;
        for (const QModelIndex& index : grid->selectionModel()->selectedRows())
            selected << model->recordAt(index.row());
        std::sort(selected.begin(), selected.end());
        QCOMPARE(selected, (QList<qsizetype>{101, 102, 103}));
        env.answers << vbYes;
        grid->deleteSelectedRows();
        QCOMPARE(Sqlite(path).value("SELECT group_concat(id) FROM (SELECT id FROM d WHERE id BETWEEN 100 AND 106)"),
                 QStringLiteral("100,101,105,106"));
        QCOMPARE(grid->RowCount(), kRecords - 3);
        QCOMPARE(shown(grid, 101, 1), QStringLiteral("v105"));
        QVERIFY(model->rowCount() <= kSpan);
    }

    // Opened as the user does, without waiting for anything: the grid knows
    // the first rows, not yet where the table ends.
    DataGrid* openUncounted(const QString& table)
    {
        SetDatabasePath(path);
        Forms::form1().PushButton3->click();
        Forms::form2().List1->setCurrentItem(Forms::form2().List1->findItems(table, Qt::MatchExactly).first());
        Forms::form2().PushButton3->click();
        return Forms::form3().DataGrid1;
    }

    void ctrlEndBeforeTheCountArrives()
    {
        if (!paged)
            QSKIP("Tables read whole know their count at once.");
        // A view learns where it ends from its count.
        DataGrid* grid = openUncounted("tv");
        QVERIFY(!grid->dataSource()->countKnown());
        QVERIFY(grid->recordModel()->records() < kRecords);
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(grid->recordModel()->records(), kRecords);
        QCOMPARE(grid->currentRecord(), kRecords - 1); // (a view without triggers has no new-row line)
        QVERIFY(spanHolds(grid, kRecords - 1));
        QCOMPARE(shown(grid, kRecords - 1, 1), expected(kRecords - 1));
        QCOMPARE(grid->indexAt(QPoint(1, grid->viewport()->height() - 2)).row(), grid->model()->rowCount() - 1);
    }

    void endShownBeforeTheCount_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("gap");
        QTest::newRow("rowid table, dense") << "t" << 0;
        QTest::newRow("rowid table, rows deleted in the middle") << "t" << 50;
        QTest::newRow("without rowid, dense") << "w" << 0;
        QTest::newRow("without rowid, rows deleted in the middle") << "w" << 50;
    }
    void endShownBeforeTheCount()
    {
        if (!paged)
            QSKIP("Tables read whole know their count at once.");
        QFETCH(QString, table);
        QFETCH(int, gap);
        if (gap)
            Sqlite(path).exec(QStringLiteral("DELETE FROM %1 WHERE id BETWEEN 100 AND %2;").arg(table).arg(99 + gap));
        const int records = kRecords - gap;
        // The end of a table keyed by integers (the rowid, or one integer key) is
        // read from the end of the key order, without waiting for the count; its
        // rows stand where the span of the keys puts them.
        DataGrid* grid = openUncounted(table);
        QVERIFY(!grid->dataSource()->countKnown());
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QVERIFY(!grid->dataSource()->countKnown());
        const qsizetype last = grid->recordModel()->records() - 1;
        QCOMPARE(grid->currentRecord(), last + 1); // the new-row line
        QCOMPARE(shown(grid, last, 1), expected(kRecords - 1));
        QCOMPARE(shown(grid, last - 1, 1), expected(kRecords - 2));
        // A row at the end edited before the count arrives: when it arrives, the
        // rows stand where they really are, the pending row with them.
        type(grid, last - 2, 1, "edited early");
        QTRY_VERIFY(grid->dataSource()->countKnown());
        QTRY_COMPARE(grid->recordModel()->records(), records);
        QCOMPARE(grid->recordModel()->pendingRecord(), qsizetype(records - 3));
        QCOMPARE(shown(grid, records - 3, 1), QStringLiteral("edited early"));
        QCOMPARE(shown(grid, records - 3, 0), QString::number(kRecords - 2));
        QCOMPARE(shown(grid, records - 4, 1), expected(kRecords - 4));
        QCOMPARE(grid->currentRecord(), qsizetype(records - 3));
        QCOMPARE(grid->topRow() + grid->VisibleRows() >= records, true);
        QCOMPARE(tableBar(grid)->value(), grid->topRow());
        QVERIFY(grid->commitPendingRow());
        QCOMPARE(Sqlite(path).value(QStringLiteral("SELECT v FROM %1 WHERE id = %2").arg(table).arg(kRecords - 2)),
                 QStringLiteral("edited early"));
        QCOMPARE(Sqlite(path).value(QStringLiteral("SELECT count(*) FROM %1 WHERE v = 'edited early'").arg(table)), "1");
        // Scrolling up from the end shows every row once, in order.
        grid->scrollToRecord(records - 60);
        for (int r = 0; r < 50; ++r) {
            const int id = kRecords - 60 + r + 1;
            QCOMPARE(shown(grid, records - 60 + r, 0), QString::number(id));
        }
    }

    void exportsWalkEveryRecord_data() { addKinds(); }
    void exportsWalkEveryRecord()
    {
        QFETCH(QString, kind);
        DataGrid* grid = openKind(kind);
        grid->setCurrentRecord(280, 1);
        const int top = grid->topRow();
        const QString file = env.path("walk.txt");
        DataGrid1::SaveDataGridToFile(grid, file);
        QByteArray expectedText = "id\tv\t\r\n";
        for (int i = 1; i <= kRecords; ++i)
            expectedText += QByteArray::number(i) + "\tv" + QByteArray::number(i) + "\t\r\n";
        QCOMPARE(ReadBytes(file), expectedText);
        // The walk ends on the last record, in view, within the span.
        QCOMPARE(grid->currentRecord(), kRecords - 1);
        QVERIFY(spanHolds(grid, kRecords - 1));
        QVERIFY(grid->topRow() > top);
        QVERIFY(env.boxes.isEmpty());
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    LargeTableTest whole;
    int failed = QTest::qExec(&whole, argc, argv);
    ADODB::RecordSet::setPaging(1, 3, 2); // read in pages of three rows, two kept
    LargeTableTest paged;
    paged.paged = true;
    failed += QTest::qExec(&paged, argc, argv);
    return failed;
}

#include "tst_largetable.moc"
