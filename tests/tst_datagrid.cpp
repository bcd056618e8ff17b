// Editing through the grid: every change reaches the file, nothing typed is lost.
#include "catalogue/Form2.h"
#include "grid/DataGrid.h"
#include "editor/Form3.h"
#include "shell/Form1.h"
#include "common/Main.h"
#include "common/forms.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

class DataGridTest : public GridSuite {
    Q_OBJECT

private:
    static void leaveRow(DataGrid* grid, int toRow)
    {
        grid->setCurrentIndex(grid->model()->index(toRow, 0));
    }

private slots:
    void init() { env.reset(); }

    void editsReachTheFile()
    {
        const QString path = env.makeDatabase(
            "types.db",
            "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, qty INTEGER, price REAL, note TEXT, data BLOB);"
            "INSERT INTO t VALUES (1, 'a', 1, 1.0, NULL, x'00FF10200030');"
            "INSERT INTO t VALUES (2, 'b', 2, 2.0, 'keep', NULL);");
        DataGrid* grid = open(path, "t");
        QCOMPARE(grid->dataSource()->isPaged(), paged);
        QCOMPARE(grid->ColumnCount(), 6);
        QCOMPARE(grid->ColumnCaption(5), QStringLiteral("data"));
        QCOMPARE(shown(grid, 0, 4), QString());                       // NULL shows empty
        QCOMPARE(shown(grid, 0, 5), QStringLiteral("(BLOB, 6 bytes)"));
        QVERIFY(!(grid->model()->flags(grid->model()->index(0, 5)) & Qt::ItemIsEditable));

        type(grid, 0, 1, "Grüße, 世界");
        type(grid, 0, 2, "9223372036854775807");
        type(grid, 0, 3, "1.50");
        type(grid, 0, 4, "was null");
        leaveRow(grid, 1);
        QVERIFY(env.boxes.isEmpty());
        QVERIFY(!grid->hasPendingRow());
        // A value to empty: NULL in a number column, an empty text in a text column.
        type(grid, 1, 2, "");
        type(grid, 1, 4, "");
        leaveRow(grid, 0);
        QVERIFY(env.boxes.isEmpty());

        Sqlite db(path);
        QCOMPARE(db.rows("SELECT name, qty, typeof(qty), price, note, hex(data) FROM t WHERE id = 1").first(),
                 (QStringList{"Grüße, 世界", "9223372036854775807", "integer", "1.5", "was null", "00FF10200030"}));
        QCOMPARE(db.rows("SELECT quote(qty), quote(note), name FROM t WHERE id = 2").first(),
                 (QStringList{"NULL", "''", "b"}));
        // The grid shows what the database stored.
        QCOMPARE(shown(grid, 0, 3), QStringLiteral("1.5"));
        QCOMPARE(shown(grid, 0, 1), QStringLiteral("Grüße, 世界"));
    }

    void typingAndLeavingTheRowWithTheKeyboard()
    {
        const QString path = env.makeDatabase("keys.db", "CREATE TABLE k(a TEXT, b TEXT);"
                                                         "INSERT INTO k VALUES ('x','y'), ('z','w');");
        DataGrid* grid = open(path, "k");
        QVERIFY(QTest::qWaitForWindowActive(&Forms::form3()));
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(0, 1));
        QTest::keyClick(grid, Qt::Key_N);
        QTest::keyClicks(QApplication::focusWidget(), "ew");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(grid->currentIndex().row(), 1);
        QCOMPARE(Sqlite(path).value("SELECT b FROM k WHERE a = 'x'"), QStringLiteral("new"));
    }

    void identicalRowsWithoutKey()
    {
        const QString path = env.makeDatabase("dup.db", "CREATE TABLE d(a TEXT, b INTEGER);"
                                                        "INSERT INTO d VALUES ('same', 1), ('same', 1);");
        DataGrid* grid = open(path, "d");
        type(grid, 1, 0, "changed");
        leaveRow(grid, 0);
        QVERIFY(env.boxes.isEmpty());
        QCOMPARE(Sqlite(path).rows("SELECT a FROM d ORDER BY rowid"),
                 (QList<QStringList>{{"same"}, {"changed"}}));
    }

    void withoutRowidTwoColumnKey()
    {
        const QString path = env.makeDatabase(
            "wr.db", "CREATE TABLE w(k1 INTEGER, k2 TEXT, v TEXT, PRIMARY KEY(k1, k2)) WITHOUT ROWID;"
                     "INSERT INTO w VALUES (1,'a','one'), (1,'b','two'), (2,'a','three');");
        DataGrid* grid = open(path, "w");
        QCOMPARE(grid->dataSource()->rowKey(), ADODB::RowKey::PrimaryKey);
        type(grid, 1, 2, "TWO");
        leaveRow(grid, 0);
        QVERIFY(env.boxes.isEmpty());
        QCOMPARE(Sqlite(path).rows("SELECT v FROM w ORDER BY k1, k2"),
                 (QList<QStringList>{{"one"}, {"TWO"}, {"three"}}));
        // The key itself can change too.
        type(grid, 2, 1, "z");
        leaveRow(grid, 0);
        QVERIFY(env.boxes.isEmpty());
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM w WHERE k1 = 2 AND k2 = 'z'"), QStringLiteral("1"));
        // Deleting one row of the key.
        grid->selectRow(0);
        env.answers << vbYes;
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM w"), QStringLiteral("2"));
    }

    void shadowedRowidFallsBackToAllValues()
    {
        const QString path = env.makeDatabase(
            "shadow.db", "CREATE TABLE s(rowid TEXT, _rowid_ TEXT, oid TEXT, v TEXT);"
                         "INSERT INTO s VALUES ('r1','x','y','first'), ('r2','x','y','second');");
        DataGrid* grid = open(path, "s");
        QCOMPARE(grid->dataSource()->rowKey(), ADODB::RowKey::AllValues);
        type(grid, 1, 3, "SECOND");
        leaveRow(grid, 0);
        QVERIFY(env.boxes.isEmpty());
        QCOMPARE(Sqlite(path).value("SELECT v FROM s WHERE rowid = 'r2'"), QStringLiteral("SECOND"));
    }

    void refusedRowIsKeptUntilEsc()
    {
        const QString path = env.makeDatabase("refuse.db", "CREATE TABLE c(a TEXT CHECK (a <> 'bad'));"
                                                           "INSERT INTO c VALUES ('x'), ('y');");
        DataGrid* grid = open(path, "c");
        type(grid, 0, 0, "bad");
        leaveRow(grid, 1);
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY2(env.boxes[0].text.contains("CHECK"), qPrintable(env.boxes[0].text));
        QCOMPARE(grid->currentIndex().row(), 0);     // stays on the refused row
        QCOMPARE(shown(grid, 0, 0), QStringLiteral("bad"));
        QVERIFY(grid->hasPendingRow());
        QTest::keyClick(grid, Qt::Key_Escape);
        QVERIFY(!grid->hasPendingRow());
        QCOMPARE(shown(grid, 0, 0), QStringLiteral("x"));
        QCOMPARE(Sqlite(path).value("SELECT a FROM c WHERE rowid = 1"), QStringLiteral("x"));
    }

    void lockedDatabaseWaitsThenSucceeds()
    {
        const QString path = env.makeDatabase("lock.db", "CREATE TABLE l(a TEXT); INSERT INTO l VALUES ('old'), ('other');");
        DataGrid* grid = open(path, "l");
        auto other = std::make_unique<Sqlite>(path);
        other->exec("BEGIN IMMEDIATE; UPDATE l SET a = 'other2' WHERE rowid = 2;");
        type(grid, 0, 0, "mine");
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!grid->commitPendingRow());
        const qint64 waited = timer.elapsed();
        QVERIFY2(waited >= 800 && waited < 5000, qPrintable(QString::number(waited)));
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY2(env.boxes[0].text.contains("locked"), qPrintable(env.boxes[0].text));
        QVERIFY(grid->hasPendingRow());
        QCOMPARE(shown(grid, 0, 0), QStringLiteral("mine"));
        other->exec("COMMIT;");
        other.reset();
        QVERIFY(grid->commitPendingRow());
        QCOMPARE(Sqlite(path).rows("SELECT a FROM l ORDER BY rowid"), (QList<QStringList>{{"mine"}, {"other2"}}));
    }

    void changeMadeMeanwhileIsNotOverwritten()
    {
        const QString path = env.makeDatabase("race.db", "CREATE TABLE r(id INTEGER PRIMARY KEY, a TEXT, b TEXT);"
                                                         "INSERT INTO r VALUES (1, 'start', 'b');");
        DataGrid* grid = open(path, "r");
        Sqlite(path).exec("UPDATE r SET a = 'theirs' WHERE id = 1;");
        type(grid, 0, 1, "ours");
        QVERIFY(!grid->commitPendingRow());
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(Sqlite(path).value("SELECT a FROM r"), QStringLiteral("theirs"));
        QCOMPARE(shown(grid, 0, 1), QStringLiteral("ours"));
        // A change to another column of the same row still goes through.
        grid->revertPendingRow();
        type(grid, 0, 2, "bee");
        QVERIFY(grid->commitPendingRow());
        QCOMPARE(Sqlite(path).rows("SELECT a, b FROM r").first(), (QStringList{"theirs", "bee"}));
    }

    void newRowGetsTheDatabaseValues()
    {
        const QString path = env.makeDatabase(
            "new.db", "CREATE TABLE n(id INTEGER PRIMARY KEY, name TEXT, qty INTEGER DEFAULT 5, made TEXT DEFAULT 'yes');"
                      "INSERT INTO n(name) VALUES ('first');");
        DataGrid* grid = open(path, "n");
        QCOMPARE(grid->model()->rowCount(), 2); // one record and the new-row line
        QCOMPARE(grid->model()->headerData(1, Qt::Vertical).toString(), QStringLiteral("*"));
        type(grid, 1, 1, "second");
        leaveRow(grid, 0);
        QVERIFY(env.boxes.isEmpty());
        QCOMPARE(grid->RowCount(), 2);
        QCOMPARE(grid->model()->rowCount(), 3);
        QCOMPARE(shown(grid, 1, 0), QStringLiteral("2"));
        QCOMPARE(shown(grid, 1, 2), QStringLiteral("5"));
        QCOMPARE(shown(grid, 1, 3), QStringLiteral("yes"));
        QCOMPARE(Sqlite(path).rows("SELECT id, name, qty, made FROM n WHERE id = 2").first(),
                 (QStringList{"2", "second", "5", "yes"}));
        // The new record can be edited at once, found by the rowid it was given.
        type(grid, 1, 2, "7");
        leaveRow(grid, 0);
        QCOMPARE(Sqlite(path).value("SELECT qty FROM n WHERE id = 2"), QStringLiteral("7"));
        // A refused insert stays pending and visible.
        Sqlite(path).exec("CREATE UNIQUE INDEX uq ON n(name);");
        type(grid, 2, 1, "first");
        leaveRow(grid, 0);
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY2(env.boxes[0].text.contains("UNIQUE"), qPrintable(env.boxes[0].text));
        QCOMPARE(grid->currentIndex().row(), 2);
        QCOMPARE(shown(grid, 2, 1), QStringLiteral("first"));
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM n"), QStringLiteral("2"));
    }

    void deletingRows()
    {
        const QString path = env.makeDatabase("del.db", "CREATE TABLE d(a INTEGER);"
                                                        "INSERT INTO d VALUES (1),(2),(3),(4),(5);");
        DataGrid* grid = open(path, "d");
        grid->selectRow(1);
        grid->selectionModel()->select(grid->model()->index(3, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        env.answers << vbNo;
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes[0].text, QStringLiteral("Delete the 2 selected rows from the table?"));
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM d"), QStringLiteral("5"));
        env.answers << vbYes;
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(Sqlite(path).rows("SELECT a FROM d"), (QList<QStringList>{{"1"}, {"3"}, {"5"}}));
        QCOMPARE(grid->RowCount(), 3);
        QCOMPARE(shown(grid, 1, 0), QStringLiteral("3"));
        // One row removed meanwhile by another program. Read whole, the grid
        // shows the table as read and nothing is deleted; read in pages, it
        // follows the file: the row is gone from the selection, the rest goes.
        Sqlite(path).exec("DELETE FROM d WHERE a = 5;");
        grid->clearSelection();
        grid->selectRow(0);
        grid->selectionModel()->select(grid->model()->index(2, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        env.answers << vbYes;
        env.boxes.clear();
        QTest::keyClick(grid, Qt::Key_Delete);
        if (!paged) {
            QCOMPARE(Sqlite(path).rows("SELECT a FROM d"), (QList<QStringList>{{"1"}, {"3"}}));
            QCOMPARE(grid->RowCount(), 3);
            return;
        }
        QCOMPARE(env.boxes.value(0).text, QStringLiteral("Delete the selected row from the table?"));
        QCOMPARE(Sqlite(path).rows("SELECT a FROM d"), (QList<QStringList>{{"3"}}));
        QCOMPARE(grid->RowCount(), 1);
        QCOMPARE(shown(grid, 0, 0), QStringLiteral("3"));
    }

    void addNewRow_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("empty") << 0;
        QTest::newRow("small") << 3;
        QTest::newRow("40,000 rows") << 40000;
    }
    void addNewRow()
    {
        QFETCH(int, rows);
        const QString path = env.makeDatabase(
            QStringLiteral("add%1.db").arg(rows),
            QStringLiteral("CREATE TABLE a(v TEXT);"
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                           "INSERT INTO a(v) SELECT 'row ' || i FROM n WHERE %1 > 0;")
                .arg(rows));
        DataGrid* grid = open(path, "a");
        Form3& form = Forms::form3();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(grid->RowCount(), rows);
        form.PushButton5->click();
        QCoreApplication::processEvents();
        QVERIFY(env.boxes.isEmpty());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(grid));
        QCOMPARE(grid->currentRecord(), grid->recordModel()->newRowRecord());
        // Typing now starts a new record; Return writes it and opens the next new-row line.
        QTest::keyClick(grid, Qt::Key_Z);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents(); // the editor hands its text over queued
        QVERIFY(!grid->hasPendingRow());
        QVERIFY(env.boxes.isEmpty());
        QCOMPARE(grid->RowCount(), rows + 1);
        QCOMPARE(grid->currentRecord(), grid->recordModel()->newRowRecord());
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM a"), QString::number(rows + 1));
        QCOMPARE(Sqlite(path).value("SELECT v FROM a ORDER BY rowid DESC LIMIT 1"), QStringLiteral("z"));
    }

    void nothingTypedIsLostOnBackQuitOrClose()
    {
        const QString path = env.makeDatabase("keep.db", "CREATE TABLE k(a TEXT CHECK (a <> 'refused'));"
                                                         "INSERT INTO k VALUES ('x');");
        DataGrid* grid = open(path, "k");
        Form3& form = Forms::form3();
        type(grid, 0, 0, "back");
        form.PushButton1->click();
        QCOMPARE(Sqlite(path).value("SELECT a FROM k"), QStringLiteral("back"));
        QVERIFY(!form.isVisible());

        // Back with a row that the database refuses: asked; "No" stays, "Yes" gives it up.
        grid = open(path, "k");
        type(grid, 0, 0, "refused");
        env.answers << vbOK << vbNo;
        form.PushButton1->click();
        QCOMPARE(env.boxes.size(), 2);
        QCOMPARE(env.boxes[1].text, QStringLiteral("The row you changed could not be saved. Discard your change and go back?"));
        QVERIFY(form.isVisible());
        QCOMPARE(shown(grid, 0, 0), QStringLiteral("refused"));
        env.answers << vbOK << vbYes;
        form.PushButton1->click();
        QVERIFY(!form.isVisible());
        QVERIFY(!grid->hasPendingRow());
        QCOMPARE(Sqlite(path).value("SELECT a FROM k"), QStringLiteral("back"));
        env.boxes.clear();

        // Quit with a row that the database refuses: asked, and "No" keeps the program.
        grid = open(path, "k");
        type(grid, 0, 0, "refused");
        const int ends = Main::EndProgramRequests();
        env.answers << vbOK << vbNo;
        form.PushButton3->click();
        QCOMPARE(env.boxes.size(), 2);
        QCOMPARE(env.boxes[1].text, QStringLiteral("The row you changed could not be saved. Discard your change and quit?"));
        QCOMPARE(Main::EndProgramRequests(), ends);
        QCOMPARE(shown(grid, 0, 0), QStringLiteral("refused"));
        // The close box asks the same; "Yes" ends the program.
        env.answers << vbOK << vbYes;
        form.close();
        QCOMPARE(Main::EndProgramRequests(), ends + 1);

        // A committed row before the program ends.
        env.reset();
        grid = open(path, "k");
        type(grid, 0, 0, "quit");
        Forms::form3().PushButton3->click();
        QCOMPARE(Sqlite(path).value("SELECT a FROM k"), QStringLiteral("quit"));
        QCOMPARE(Main::EndProgramRequests(), ends + 2);
    }

    void tableWindowLook()
    {
        const QString path = env.makeDatabase("look.db", "CREATE TABLE t(a);");
        DataGrid* grid = open(path, "t");
        Form3& form = Forms::form3();
        QCOMPARE(form.size(), QSize(960, 497));
        QCOMPARE(grid->geometry(), QRect(8, 24, 944, 435));
        QCOMPARE(form.PushButton6->text(), QStringLiteral("Export Table As.."));
        QCOMPARE(grid->toolTip(), QStringLiteral("Changes you make are automatically saved as you make them."));
        form.PushButton4->click();
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes[0].text, QStringLiteral("Error: 'Too many rows affected', you have duplicate rows in the "
                                                   "table, I have removed them."));
    }
};

int main(int argc, char** argv) { return RunWholeAndPaged<DataGridTest>(argc, argv); }

#include "tst_datagrid.moc"
