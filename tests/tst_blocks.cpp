// Working in blocks and taking writes back: paste, Replace All, undo and
// redo, each written row by row through the row writer with the identity
// the user saw, while another program changes the file between our read and
// our write; read whole, in pages, and sorted and filtered.
#include "common/progress.h"
#include "data/adodb.h"
#include "data/pagecache.h"
// (Windows names a function of its own FindWindow, as a macro.)
#ifdef FindWindow
#undef FindWindow
#endif
#include "grid/CopyText.h"
#include "grid/DataGrid.h"
#include "grid/FindWindow.h"
#include "grid/RecordSetModel.h"
#include "testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

namespace {
// 600 rows r000..r599, qty = the row's number, note NULL.
QString sixHundred()
{
    return QStringLiteral("CREATE TABLE t(name TEXT, qty INTEGER, note);"
                          "WITH RECURSIVE c(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM c WHERE x < 599) "
                          "INSERT INTO t SELECT printf('r%03d', x), x, NULL FROM c;");
}
} // namespace

class BlocksTest : public GridSuite {
    Q_OBJECT

    // Sorted by name descending and filtered to the rows named r..., or not.
    void viewOf(DataGrid* grid, bool sorted)
    {
        if (!sorted)
            return;
        QVERIFY(grid->setRowView(RowView{{{0, true}}, {{0, "r"}}}));
        while (grid->isBuildingView())
            QTest::qWait(5);
    }
    static int nameAt(int row, bool sorted) { return sorted ? 599 - row : row; }

private slots:
    void init() { env.reset(); }
    void cleanup() { ADODB::setBlockObserver(nullptr); }

    // Text as spreadsheets write it: quoted fields holding TABs, line breaks
    // and quotes, CR LF or LF, the last line break not another row.
    void clipboardText()
    {
        const QString sheet = "plain\t\"tab\there\"\t\"say \"\"hi\"\"\"\r\n"
                              "\"two\r\nlines\"\t\t\"\"\r\n"
                              "last\tmid\"quote\tend\r\n";
        const std::vector<QStringList> rows = ParseTsv(sheet);
        QCOMPARE(rows.size(), size_t(3));
        QCOMPARE(rows[0], QStringList({"plain", "tab\there", "say \"hi\""}));
        QCOMPARE(rows[1], QStringList({"two\r\nlines", "", ""}));
        QCOMPARE(rows[2], QStringList({"last", "mid\"quote", "end"}));
        QCOMPARE(ParseTsv("a\nb").size(), size_t(2));
        QCOMPARE(ParseTsv("one").front(), QStringList({"one"}));
        QCOMPARE(ParseTsv("\n").front(), QStringList({""}));
        // Counting a row's fields without keeping them (a paste's first pass) agrees with reading them.
        for (const QString& text : {sheet, QString("\"\"x\"\ty\n\"a\"\"\tb\"\t\"\"\n\"open\ttab"), QString("\t\n\n")}) {
            TsvReader reader(text);
            std::vector<int> counted;
            int fields = 0;
            while (reader.next(nullptr, &fields))
                counted.push_back(fields);
            std::vector<int> read;
            for (const QStringList& row : ParseTsv(text))
                read.push_back(int(row.size()));
            QCOMPARE(counted, read);
        }
        QCOMPARE(ParseTsv("\"\"x\"\ty\n\"open\ttab").back(), QStringList({"open\ttab"}));
        // What Copy writes reads back as the same cells.
        CopyText copy;
        for (const QStringList& row : rows)
            copy.addRow(row);
        QCOMPARE(ParseTsv(copy.text()), rows);
        // And its HTML table holds the same cells, a row per row.
        copy.addRow({"<b>&", "", "x\ty"});
        copy.addRow({""});
        QCOMPARE(copy.html(), QByteArray("<html><head><meta charset=\"utf-8\"></head><body><table>\n"
                                         "<tr><td>plain</td><td>tab\there</td><td>say &quot;hi&quot;</td></tr>\n"
                                         "<tr><td>two\r<br>lines</td><td></td><td></td></tr>\n"
                                         "<tr><td>last</td><td>mid&quot;quote</td><td>end</td></tr>\n"
                                         "<tr><td>&lt;b&gt;&amp;</td><td></td><td>x\ty</td></tr>\n"
                                         "<tr><td></td></tr>\n"
                                         "</table></body></html>\n"));
        QCOMPARE(TsvHtml("a\t"), QByteArray("<html><head><meta charset=\"utf-8\"></head><body><table>\n"
                                            "<tr><td>a</td><td></td></tr>\n</table></body></html>\n"));
    }

    // A block pasted over 600 rows: identities are taken, then another
    // program changes one row by case only, deletes another and reuses its
    // rowid. Those two are refused and listed in one message; the rest are
    // written in one transaction; undo takes the whole paste back.
    void pasteRefusesRowsChangedMeanwhile_data()
    {
        QTest::addColumn<bool>("sorted");
        QTest::newRow("table's order") << false;
        QTest::newRow("sorted and filtered") << true;
    }
    void pasteRefusesRowsChangedMeanwhile()
    {
        QFETCH(bool, sorted);
        const QString path = env.makeDatabase("paste.db", sixHundred());
        DataGrid* grid = open(path, "t");
        viewOf(grid, sorted);
        grid->setCurrentRecord(0, 1);
        QString text;
        for (int r = 0; r < 600; ++r)
            text += QStringLiteral("%1\tn%2\r\n").arg(1000 + nameAt(r, sorted)).arg(nameAt(r, sorted));
        ADODB::setBlockObserver([&] {
            Sqlite(path).exec("UPDATE t SET name = 'R010' WHERE name = 'r010';"
                              "DELETE FROM t WHERE name = 'r020';"
                              "INSERT INTO t(rowid, name, qty) VALUES (21, 'theirs', -1);");
        });
        QVERIFY(grid->pasteText(text));
        ADODB::setBlockObserver(nullptr);
        // Shown as written, on pages held and not (those read when shown).
        for (int r : {598, 0, 299})
            QCOMPARE(shown(grid, r, 1) + shown(grid, r, 2),
                     QStringLiteral("%1n%2").arg(1000 + nameAt(r, sorted)).arg(nameAt(r, sorted)));
        QCOMPARE(env.boxes.size(), 1);
        const QString message = env.boxes[0].text;
        QVERIFY2(message.startsWith("2 rows of 600 were not pasted:"), qPrintable(message));
        QVERIFY2(message.contains("r010: The row was not written: it was changed or deleted by another program"),
                 qPrintable(message));
        QVERIFY2(message.contains("r020: "), qPrintable(message));
        QVERIFY(!message.contains("Press Esc"));
        Sqlite file(path);
        QCOMPARE(file.value("SELECT count(*) FROM t WHERE qty = 1000 + CAST(substr(name, 2) AS INTEGER) "
                            "AND note = 'n' || CAST(substr(name, 2) AS INTEGER) AND typeof(qty) = 'integer'"),
                 QStringLiteral("598"));
        QCOMPARE(file.rows("SELECT name, qty, note FROM t WHERE rowid IN (11, 21) ORDER BY rowid"),
                 (QList<QStringList>{{"R010", "10", "<null>"}, {"theirs", "-1", "<null>"}}));

        // Undone whole: every row written is as it was, with its storage class.
        env.boxes.clear();
        QVERIFY(grid->undo());
        QVERIFY(env.boxes.isEmpty());
        QCOMPARE(file.value("SELECT count(*) FROM t WHERE note IS NULL AND typeof(qty) = 'integer' "
                            "AND qty = CAST(substr(name, 2) AS INTEGER)"),
                 QStringLiteral("599"));
        QCOMPARE(file.value("SELECT qty FROM t WHERE name = 'theirs'"), QStringLiteral("-1"));
        // And made again.
        QVERIFY(grid->redo());
        QCOMPARE(file.value("SELECT count(*) FROM t WHERE note LIKE 'n%'"), QStringLiteral("598"));
        // Another program changes one row of it by case only: the undo is
        // refused whole (the rows put back with it are rolled back), and kept.
        const QString theirs = file.value("SELECT note FROM t WHERE name = 'r300'");
        Sqlite(path).exec(QStringLiteral("UPDATE t SET note = upper(note) WHERE name = 'r300';"));
        env.boxes.clear();
        QVERIFY(!grid->undo());
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(file.value("SELECT count(*) FROM t WHERE note GLOB 'n*'"), QStringLiteral("597"));
        QCOMPARE(file.value("SELECT note FROM t WHERE name = 'r300'"), theirs.toUpper());
        QVERIFY(grid->recordModel()->history().canUndo());
    }

    // Rows past the end: one question, which also tells of columns left out.
    void pastePastTheEnd()
    {
        const QString path = env.makeDatabase("end.db", "CREATE TABLE e(a TEXT, b INTEGER);"
                                                        "INSERT INTO e VALUES ('x', 1), ('y', 2), ('z', 3);");
        DataGrid* grid = open(path, "e");
        grid->setCurrentRecord(1, 0);
        const QString block = "Y\t20\tleft out\nZ\t30\tleft out\nnew1\t\t\n\"new\n2\"\t50\t\n";
        env.answers << vbNo;
        QVERIFY(grid->pasteText(block));
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY2(env.boxes[0].text.startsWith("Add 2 new rows for the rest?"), qPrintable(env.boxes[0].text));
        QVERIFY2(env.boxes[0].text.contains("The last 1 of the pasted columns"), qPrintable(env.boxes[0].text));
        QCOMPARE(Sqlite(path).rows("SELECT a, b FROM e ORDER BY rowid"),
                 (QList<QStringList>{{"x", "1"}, {"Y", "20"}, {"Z", "30"}}));
        env.boxes.clear();
        grid->setCurrentRecord(2, 0);
        env.answers << vbYes;
        QVERIFY(grid->pasteText("Z\t30\nnew1\t\n\"new\r\n2\"\t50\r\n"));
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY2(env.boxes[0].text == "Add 2 new rows for the rest?", qPrintable(env.boxes[0].text));
        QCOMPARE(Sqlite(path).rows("SELECT a, b, typeof(b) FROM e ORDER BY rowid"),
                 (QList<QStringList>{{"x", "1", "integer"},
                                     {"Y", "20", "integer"},
                                     {"Z", "30", "integer"},
                                     {"new1", "<null>", "null"},
                                     {"new\r\n2", "50", "integer"}}));
        QCOMPARE(grid->recordModel()->records(), 5);
        // The rows added are taken back by their identity, with nothing else to tell.
        QVERIFY(grid->undo());
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM e"), QStringLiteral("3"));
        QCOMPARE(grid->recordModel()->records(), 3);
        QVERIFY(grid->redo());
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(grid->recordModel()->records(), 5);
        // One value fills every selected cell.
        grid->selectionModel()->select(QItemSelection(grid->model()->index(0, 1), grid->model()->index(1, 1)),
                                       QItemSelectionModel::ClearAndSelect);
        QVERIFY(grid->pasteText("7\n"));
        QCOMPARE(Sqlite(path).value("SELECT group_concat(b) FROM (SELECT b FROM e ORDER BY rowid LIMIT 2)"),
                 QStringLiteral("7,7"));
    }

    // Many rows pasted on the new-row line at the table's end, with a paint
    // due while they are written (the progress bar lets events through):
    // the rows shown afterwards are those of the file, and undo takes the
    // paste back with nothing to tell. A page read halfway through the
    // block would see rows not counted yet and place every later row wrong.
    void pasteNewRowsWhileAPaintIsDue()
    {
        // (A gap in the rowids: the pages' starts are looked up, not worked out.)
        const QString path = env.makeDatabase("tail.db", sixHundred() + "UPDATE t SET rowid = rowid + 1000 WHERE rowid > 300;");
        DataGrid* grid = open(path, "t");
        QVERIFY(QTest::qWaitForWindowExposed(grid->window()));
        struct Restore { // rows far down are found from the one at the top
            qsizetype before = PageCache::setPinFrom(20);
            ~Restore() { PageCache::setPinFrom(before); }
        } restore;
        grid->setCurrentRecord(600, 0);
        QString text;
        for (int r = 600; r < 1600; ++r)
            text += QStringLiteral("r%1\t%1\n").arg(r);
        // The question's box, gone, leaves the grid to paint again.
        SetMessageBoxHandler([&](const MessageBoxRequest& box) {
            env.boxes << box;
            grid->viewport()->update();
            return int(vbYes);
        });
        LongWork::setDelay(0);
        const bool pasted = grid->pasteText(text);
        LongWork::setDelay(500);
        QVERIFY2(pasted, qPrintable(env.boxes.value(env.boxes.size() - 1).text));
        QTest::qWait(50); // (a row that could not be read is told after the paint)
        QVERIFY2(env.boxes.size() == 1, qPrintable(env.boxes.value(env.boxes.size() - 1).text)); // the question
        env.boxes.clear();
        QCOMPARE(grid->recordModel()->records(), 1600);
        QCOMPARE(grid->currentRecord(), 600); // the first row pasted
        QCOMPARE(shown(grid, 600, 0), QStringLiteral("r600"));
        for (int r : {598, 599, 600, 1000, 1598, 1599}) {
            grid->setCurrentRecord(r, 0);
            QCOMPARE(shown(grid, r, 1), QString::number(r));
        }
        // Another program writes elsewhere: the grid finds its rows again by who they are.
        const qsizetype current = grid->currentRecord();
        Sqlite(path).exec("UPDATE t SET note = 'theirs' WHERE rowid = 1;");
        grid->followFile(true);
        QCOMPARE(grid->currentRecord(), current);
        QVERIFY(grid->undo());
        QVERIFY2(env.boxes.isEmpty(), qPrintable(env.boxes.value(0).text));
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM t"), QStringLiteral("600"));
        QCOMPARE(grid->recordModel()->records(), 600);
        grid->setCurrentRecord(599, 0);
        QCOMPARE(shown(grid, 599, 1), QStringLiteral("599"));
    }

    // New rows are inserted a few dozen at a time, and keep the block's
    // order: a run whose rows did not take the rowids right after the last
    // (an AUTOINCREMENT counter ahead, a trigger adding a row beside them) or
    // that holds a row the database refuses is taken back and written row by
    // row in its place. Undo deletes only the rows the paste added.
    void newRowsTogetherKeepTheirOrder()
    {
        const QString path = env.makeDatabase(
            "new.db", "CREATE TABLE n(id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, qty INTEGER CHECK (qty >= 0));"
                      "INSERT INTO n(name, qty) VALUES ('a', 1), ('b', 2), ('gone', 3);"
                      "DELETE FROM n WHERE name = 'gone';"
                      "CREATE TRIGGER echo AFTER INSERT ON n WHEN new.name = 'echo' BEGIN "
                      "INSERT INTO n(name, qty) VALUES ('echoed', 0); END;");
        DataGrid* grid = open(path, "n");
        grid->setCurrentRecord(2, 1); // the new-row line, the name's column
        QString text;
        QStringList expected{"a", "b"};
        for (int r = 0; r < 150; ++r) {
            const QString name = r == 60 ? "echo" : r == 100 ? "bad" : QStringLiteral("p%1").arg(r, 3, 10, QLatin1Char('0'));
            text += name + (r == 100 ? "\t-1\n" : QStringLiteral("\t%1\n").arg(r));
            if (r != 100)
                expected << name;
            if (r == 60)
                expected << "echoed";
        }
        env.answers << vbYes;
        QVERIFY(grid->pasteText(text));
        QCOMPARE(env.boxes.size(), 2); // the question, then the row refused
        // (Named by its first column, the id: not pasted, so empty.)
        QVERIFY2(env.boxes[1].text.startsWith("1 row of 150 were not pasted:\n(empty): ")
                     && env.boxes[1].text.contains("CHECK constraint failed"),
                 qPrintable(env.boxes[1].text));
        QStringList names;
        for (const QStringList& row : Sqlite(path).rows("SELECT name FROM n ORDER BY id"))
            names << row[0];
        QCOMPARE(names, expected);
        QCOMPARE(Sqlite(path).value("SELECT min(id) FROM n WHERE name LIKE 'p%'"), QStringLiteral("4")); // (past the counter)
        env.boxes.clear();
        // Another program changes one of the rows added, by case only: the
        // undo deletes nothing (the rows are deleted a few dozen at a time,
        // each by its identity) and the step stays.
        Sqlite(path).exec("UPDATE n SET name = 'P010' WHERE name = 'p010';");
        QVERIFY(!grid->undo());
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY2(env.boxes[0].text.startsWith("The change was not undone: "), qPrintable(env.boxes[0].text));
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM n"), QString::number(expected.size()));
        Sqlite(path).exec("UPDATE n SET name = 'p010' WHERE name = 'P010';");
        env.boxes.clear();
        QVERIFY(grid->undo());
        QVERIFY2(env.boxes.isEmpty(), qPrintable(env.boxes.value(0).text));
        names.clear();
        for (const QStringList& row : Sqlite(path).rows("SELECT name FROM n ORDER BY id"))
            names << row[0];
        QCOMPARE(names, QStringList({"a", "b", "echoed"}));
    }

    // Selection keys: Shift+Space whole rows, Ctrl+Space whole columns,
    // Ctrl+A every record (those outside the grid's span too), which Copy takes.
    void selectionKeys()
    {
        const QString path = env.makeDatabase("keys.db", "CREATE TABLE s(a TEXT, b INTEGER);"
                                                          "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                                                          "WHERE x < 10) INSERT INTO s SELECT 'r' || x, x FROM c;");
        DataGrid* grid = open(path, "s");
        const auto only = [&](int row, int column) {
            grid->setCurrentRecord(row, column);
            grid->selectionModel()->select(grid->model()->index(row, column), QItemSelectionModel::ClearAndSelect);
        };
        only(1, 1);
        QTest::keyClick(grid, Qt::Key_Space, Qt::ShiftModifier);
        QCOMPARE(grid->selectedRecords(), std::vector<qsizetype>({1}));
        only(1, 1);
        QTest::keyClick(grid, Qt::Key_Space, Qt::ControlModifier);
        // The whole column: every record, those outside the grid's span too.
        QVERIFY(grid->copySelection(false));
        QCOMPARE(QGuiApplication::clipboard()->text().remove('\r'), QStringLiteral("1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n"));
        QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(grid->selectedRecords().size(), size_t(10));
        QVERIFY(grid->copySelection(false));
        const QStringList lines = QGuiApplication::clipboard()->text().remove('\r').split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 10);
        QCOMPARE(lines.first(), QStringLiteral("r1\t1"));
        QCOMPARE(lines.last(), QStringLiteral("r10\t10"));
    }

    // Cancelled while it writes: nothing is written.
    void cancelledPasteWritesNothing()
    {
        const QString path = env.makeDatabase("cancel.db", sixHundred());
        DataGrid* grid = open(path, "t");
        grid->setCurrentRecord(0, 2);
        LongWork::setDelay(0);
        ADODB::setBlockObserver([&] {
            for (QWidget* top : QApplication::topLevelWidgets())
                for (QProgressDialog* bar : top->findChildren<QProgressDialog*>())
                    bar->cancel();
        });
        QString text;
        for (int r = 0; r < 600; ++r)
            text += QStringLiteral("note %1\n").arg(r);
        QVERIFY(!grid->pasteText(text));
        LongWork::setDelay(500);
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY2(env.boxes[0].text.contains("nothing was written"), qPrintable(env.boxes[0].text));
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM t WHERE note IS NOT NULL"), QStringLiteral("0"));
        QVERIFY(!grid->recordModel()->history().canUndo());
    }

    // Each committed write is a step: an edit, a new row, a delete. Undo puts
    // every value back exactly; a row another program changed since refuses
    // the step whole, and the history stays until it can be taken.
    void undoAndRedoSteps()
    {
        const QString path = env.makeDatabase("undo.db", "CREATE TABLE u(name TEXT, n, b BLOB);"
                                                         "INSERT INTO u VALUES ('a', 1, X'00FF'), ('b', 2.5, NULL), "
                                                         "('c', '3', NULL);");
        const QString original = "SELECT rowid, name, n, typeof(n), hex(b) FROM u ORDER BY rowid";
        Sqlite file(path);
        const QList<QStringList> before = file.rows(original);
        DataGrid* grid = open(path, "u");
        type(grid, 1, 1, "x");
        QVERIFY(grid->commitPendingRow());
        type(grid, 3, 0, "d");
        grid->setCurrentRecord(0, 0);
        QVERIFY(grid->commitPendingRow());
        grid->clearSelection();
        grid->selectRow(0);
        env.answers << vbYes;
        grid->deleteSelectedRows();
        const QList<QStringList> after = file.rows(original);
        QCOMPARE(after.size(), 3);
        QVERIFY(grid->undo()); // the delete: back with its rowid and its bytes
        QVERIFY(grid->undo()); // the new row
        QVERIFY(grid->undo()); // the edit: 2.5 again, a REAL
        QVERIFY(!grid->undo());
        QCOMPARE(file.rows(original), before);
        QVERIFY(grid->redo());
        QVERIFY(grid->redo());
        QVERIFY(grid->redo());
        QCOMPARE(file.rows(original), after);
        QVERIFY(env.boxes.size() == 1); // the delete's question only

        // Undo of the delete while another program took the rowid: refused, nothing written.
        file.exec("INSERT INTO u(rowid, name) VALUES (1, 'theirs')");
        QVERIFY(!grid->undo());
        QCOMPARE(env.boxes.size(), 2);
        QVERIFY2(env.boxes[1].text.startsWith("The change was not undone: "), qPrintable(env.boxes[1].text));
        QCOMPARE(file.value("SELECT name FROM u WHERE rowid = 1"), QStringLiteral("theirs"));
        file.exec("DELETE FROM u WHERE rowid = 1");
        QVERIFY(grid->undo());
        QCOMPARE(file.value("SELECT name || hex(b) FROM u WHERE rowid = 1"), QStringLiteral("a00FF"));
        // An edit undone over a value changed by case only: refused.
        QVERIFY(grid->undo()); // the new row, deleted by its identity
        file.exec("UPDATE u SET n = 'X' WHERE rowid = 2");
        QVERIFY(!grid->undo());
        QCOMPARE(file.value("SELECT n FROM u WHERE rowid = 2"), QStringLiteral("X"));
        QVERIFY(grid->recordModel()->history().canUndo());
    }

    // Replace All: every cell holding the text, as Find finds it; one step.
    void replaceAll()
    {
        const QString path = env.makeDatabase("replace.db", "CREATE TABLE f(a TEXT, b TEXT);"
                                                            "INSERT INTO f VALUES ('apple pie', 'Apple'), "
                                                            "('pear', 'x'), ('APPLE', 'pineapple');");
        DataGrid* grid = open(path, "f");
        grid->showFind();
        FindWindow* find = grid->findWindow();
        find->Text1->setText("apple");
        find->Text2->setText("fig");
        find->ReplaceAllButton->click();
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes[0].text, QStringLiteral("Replaced in 2 rows."));
        QCOMPARE(Sqlite(path).rows("SELECT a, b FROM f ORDER BY rowid"),
                 (QList<QStringList>{{"fig pie", "fig"}, {"pear", "x"}, {"fig", "pinefig"}}));
        QVERIFY(grid->undo());
        QCOMPARE(Sqlite(path).value("SELECT group_concat(a || b, ',') FROM f"),
                 QStringLiteral("apple pieApple,pearx,APPLEpineapple"));
        // Replace: the current cell, then on to the next.
        env.boxes.clear();
        find->Check2->setChecked(true); // whole cell
        grid->setCurrentRecord(0, 1);
        find->ReplaceButton->click();
        QCOMPARE(Sqlite(path).value("SELECT b FROM f WHERE rowid = 1"), QStringLiteral("fig"));
        QCOMPARE(grid->currentRecord(), qsizetype(2));
        QCOMPARE(grid->currentIndex().column(), 0);
        find->close();
    }
};

int main(int argc, char** argv) { return RunWholeAndPaged<BlocksTest>(argc, argv); }

#include "tst_blocks.moc"
