// Every edit lands on the row the user sees, while another program works on the
// same file: a reused rowid, VACUUM, a REPLACE conflict, a change by case only,
// rows inserted and deleted between page reads, keys edited in the grid.
#include "catalogue/Form2.h"
#include "grid/DataGrid.h"
#include "editor/Form3.h"
#include "shell/Form1.h"
#include "common/forms.h"
#include "testsupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

class SecondWriterTest : public GridSuite {
    Q_OBJECT

private:
    static void deleteRow(DataGrid* grid, int row)
    {
        grid->clearSelection();
        grid->selectRow(row);
        QTest::keyClick(grid, Qt::Key_Delete);
    }
    void expectRefusedAsChanged()
    {
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY2(env.boxes[0].text.contains("changed or deleted by another program"), qPrintable(env.boxes[0].text));
        env.boxes.clear();
    }

private slots:
    void init() { env.reset(); }

    void reusedRowidIsNeverWrittenNorDeleted()
    {
        const QString path = env.makeDatabase("reuse.db", "CREATE TABLE t(name TEXT, qty INTEGER);"
                                                          "INSERT INTO t VALUES ('a', 1), ('b', 2), ('c', 3);");
        DataGrid* grid = open(path, "t");
        QCOMPARE(shown(grid, 2, 0), QStringLiteral("c"));
        // Typed into the last row; meanwhile another program deletes it and
        // inserts one, which gets the same rowid.
        type(grid, 2, 1, "30");
        Sqlite(path).exec("DELETE FROM t WHERE name = 'c'; INSERT INTO t VALUES ('theirs', 9);");
        QCOMPARE(Sqlite(path).value("SELECT rowid FROM t WHERE name = 'theirs'"), QStringLiteral("3"));
        QVERIFY(!grid->commitPendingRow());
        expectRefusedAsChanged();
        QCOMPARE(shown(grid, 2, 1), QStringLiteral("30")); // still pending, as typed
        QVERIFY(grid->hasPendingRow());
        QCOMPARE(Sqlite(path).rows("SELECT name, qty FROM t ORDER BY rowid"),
                 (QList<QStringList>{{"a", "1"}, {"b", "2"}, {"theirs", "9"}}));
        // Esc shows the row the table now holds.
        grid->revertPendingRow();
        QCOMPARE(shown(grid, 2, 0), QStringLiteral("theirs"));

        // Selected, then replaced again under the same rowid. Read whole, the
        // delete is refused; read in pages, the grid follows the file and the
        // row selected is gone from the selection: nothing is deleted either.
        grid->clearSelection();
        grid->selectRow(2);
        Sqlite(path).exec("DELETE FROM t WHERE name = 'theirs'; INSERT INTO t VALUES ('again', 7);");
        env.answers << vbYes;
        QTest::keyClick(grid, Qt::Key_Delete);
        if (paged) {
            QVERIFY(env.boxes.isEmpty());
        } else {
            QCOMPARE(env.boxes.size(), 2); // the question, then the refusal
            QVERIFY2(env.boxes[1].text.contains("changed or deleted by another program"), qPrintable(env.boxes[1].text));
        }
        QCOMPARE(Sqlite(path).rows("SELECT name, qty FROM t ORDER BY rowid"),
                 (QList<QStringList>{{"a", "1"}, {"b", "2"}, {"again", "7"}}));
    }

    void editedKeyFindsItsRowAgain()
    {
        const QString path = env.makeDatabase("key.db", "CREATE TABLE k(id INTEGER PRIMARY KEY, v TEXT);"
                                                        "INSERT INTO k VALUES (1, 'one'), (2, 'two'), (3, 'three');");
        DataGrid* grid = open(path, "k");
        auto rowShowing = [&](const QString& id) {
            for (int r = 0; r < 3; ++r)
                if (shown(grid, r, 0) == id)
                    return r;
            return -1;
        };
        type(grid, 0, 0, "10");
        QVERIFY(grid->commitPendingRow());
        // Read in windows, the row moves to its place in the table's order.
        QCOMPARE(rowShowing("10"), paged ? 2 : 0);
        type(grid, rowShowing("10"), 1, "ten");
        QVERIFY(grid->commitPendingRow());
        QVERIFY(env.boxes.isEmpty());
        QCOMPARE(Sqlite(path).value("SELECT v FROM k WHERE id = 10"), QStringLiteral("ten"));
        // Another row takes the old id; deleting the row shown as 10 deletes 10.
        type(grid, rowShowing("2"), 0, "1");
        QVERIFY(grid->commitPendingRow());
        const int ten = rowShowing("10");
        QVERIFY(ten >= 0);
        QCOMPARE(shown(grid, ten, 1), QStringLiteral("ten"));
        env.answers << vbYes;
        deleteRow(grid, ten);
        QCOMPARE(env.boxes.size(), 1); // only the question
        QCOMPARE(Sqlite(path).rows("SELECT id, v FROM k ORDER BY id"),
                 (QList<QStringList>{{"1", "two"}, {"3", "three"}}));
    }

    void vacuumRenumberingIsRefused()
    {
        const QString path = env.makeDatabase("vac.db", "CREATE TABLE v(name TEXT);"
                                                        "INSERT INTO v VALUES ('a'), ('b'), ('c');");
        DataGrid* grid = open(path, "v");
        QCOMPARE(shown(grid, 1, 0), QStringLiteral("b"));
        type(grid, 1, 0, "B");
        {
            Sqlite other(path);
            other.exec("DELETE FROM v WHERE name = 'a'; VACUUM;");
            QCOMPARE(other.value("SELECT rowid FROM v WHERE name = 'c'"), QStringLiteral("2"));
        }
        QVERIFY(!grid->commitPendingRow());
        expectRefusedAsChanged();
        grid->revertPendingRow();
        QCOMPARE(Sqlite(path).rows("SELECT name FROM v ORDER BY rowid"), (QList<QStringList>{{"b"}, {"c"}}));
        // A row selected, then renumbered: never the row that took its rowid.
        grid->clearSelection();
        grid->selectRow(1);
        {
            Sqlite other(path);
            other.exec("DELETE FROM v WHERE name = 'b'; INSERT INTO v VALUES ('d'); VACUUM;");
        }
        env.answers << vbYes;
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(Sqlite(path).rows("SELECT name FROM v ORDER BY rowid"), (QList<QStringList>{{"c"}, {"d"}}));
    }

    void pendingRowSurvivesEvictionAndShiftedRows()
    {
        // Eleven rows: in the paged run four pages of three, two of them cached.
        const QString path = env.makeDatabase(
            "evict.db", "CREATE TABLE e(n INTEGER, v TEXT);"
                        "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 11) "
                        "INSERT INTO e SELECT i, 'v' || i FROM s;");
        DataGrid* grid = open(path, "e");
        QCOMPARE(grid->dataSource()->isPaged(), paged);
        type(grid, 4, 1, "mine");
        // Reading the far pages evicts the pending row's page.
        for (int r = 6; r < 11; ++r)
            QCOMPARE(shown(grid, r, 0), QString::number(r + 1));
        Sqlite(path).exec("DELETE FROM e WHERE n = 2;");
        QVERIFY(grid->commitPendingRow());
        QVERIFY(env.boxes.isEmpty());
        QCOMPARE(Sqlite(path).rows("SELECT n FROM e WHERE v = 'mine'"), (QList<QStringList>{{"5"}}));
        QCOMPARE(Sqlite(path).value("SELECT v FROM e WHERE n = 6"), QStringLiteral("v6"));
    }

    void replaceConflictDeletesNothing()
    {
        const QString path = env.makeDatabase(
            "repl.db", "CREATE TABLE r(id INTEGER PRIMARY KEY, code TEXT UNIQUE ON CONFLICT REPLACE);"
                       "INSERT INTO r VALUES (1, 'one'), (2, 'two');");
        DataGrid* grid = open(path, "r");
        type(grid, 0, 1, "two");
        QVERIFY(!grid->commitPendingRow());
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY2(env.boxes[0].text.contains("UNIQUE"), qPrintable(env.boxes[0].text));
        QCOMPARE(Sqlite(path).rows("SELECT id, code FROM r ORDER BY id"),
                 (QList<QStringList>{{"1", "one"}, {"2", "two"}}));
        // A new row that collides is refused the same way.
        grid->revertPendingRow();
        type(grid, 2, 1, "one");
        QVERIFY(!grid->commitPendingRow());
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM r"), QStringLiteral("2"));
    }

    void changeByCaseOrTrailingBlanksIsSeen()
    {
        const QString path = env.makeDatabase(
            "case.db", "CREATE TABLE p(name TEXT COLLATE NOCASE, code TEXT COLLATE RTRIM, n REAL);"
                       "INSERT INTO p VALUES ('smith', 'ab', 0.1 + 0.2), ('jones', 'cd', 1.0);");
        DataGrid* grid = open(path, "p");
        QCOMPARE(shown(grid, 0, 2), QStringLiteral("0.3"));
        type(grid, 0, 2, "7");
        Sqlite(path).exec("UPDATE p SET name = 'SMITH' WHERE name = 'smith';");
        QVERIFY(!grid->commitPendingRow());
        expectRefusedAsChanged();
        grid->revertPendingRow();
        QCOMPARE(shown(grid, 0, 0), QStringLiteral("SMITH")); // Esc shows what the table holds
        type(grid, 1, 2, "8");
        Sqlite(path).exec("UPDATE p SET code = 'cd  ' WHERE name = 'jones';");
        QVERIFY(!grid->commitPendingRow());
        expectRefusedAsChanged();
        grid->revertPendingRow();
        QCOMPARE(Sqlite(path).rows("SELECT name, code, n FROM p ORDER BY rowid"),
                 (QList<QStringList>{{"SMITH", "ab", "0.3"}, {"jones", "cd  ", "1.0"}}));
        // A real that shows rounded is still matched exactly.
        type(grid, 0, 1, "xy");
        QVERIFY(grid->commitPendingRow());
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM p WHERE code = 'xy' AND n = 0.1 + 0.2"), QStringLiteral("1"));
    }

    void longTextIsEditedWhole()
    {
        const QString path = env.makeDatabase(
            "long.db", "CREATE TABLE l(id INTEGER PRIMARY KEY, body TEXT);"
                       "INSERT INTO l VALUES (1, replace(hex(zeroblob(20000)), '00', 'ab'));"
                       "INSERT INTO l VALUES (2, 'short');");
        DataGrid* grid = open(path, "l");
        QCOMPARE(shown(grid, 0, 1).size(), 40000);
        QVERIFY(QTest::qWaitForWindowActive(&Forms::form3()));
        // One character typed at the end of the cell, through the cell editor.
        const QModelIndex cell = grid->model()->index(0, 1);
        grid->setCurrentIndex(cell);
        grid->edit(cell);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->end(false);
        QTest::keyClick(editor, Qt::Key_Z);
        QTest::keyClick(editor, Qt::Key_Down);
        QCOMPARE(Sqlite(path).value("SELECT length(body) FROM l WHERE id = 1"), QStringLiteral("40001"));
        // A megabyte pasted into a cell is stored whole.
        const QModelIndex other = grid->model()->index(1, 1);
        grid->setCurrentIndex(other);
        grid->edit(other);
        editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->setText(QString(1 << 20, QLatin1Char('m')));
        QTest::keyClick(editor, Qt::Key_Up);
        QVERIFY(env.boxes.isEmpty());
        QCOMPARE(Sqlite(path).value("SELECT length(body) FROM l WHERE id = 2"), QString::number(1 << 20));
    }

    void cellsShowTheirOwnStorageClass()
    {
        const QString path = env.makeDatabase(
            "class.db", "CREATE TABLE s(id INTEGER PRIMARY KEY, anything, label TEXT, n INTEGER);"
                        "INSERT INTO s VALUES (1, x'0102', x'4142', 5);"
                        "INSERT INTO s VALUES (2, 'plain text', 'ab' || char(0) || 'cd', x'00ff');");
        DataGrid* grid = open(path, "s");
        QAbstractItemModel* m = grid->model();
        QCOMPARE(shown(grid, 0, 1), QStringLiteral("(BLOB, 2 bytes)"));
        QCOMPARE(shown(grid, 1, 1), QStringLiteral("plain text"));
        QCOMPARE(shown(grid, 0, 2), QStringLiteral("(BLOB, 2 bytes)"));
        QCOMPARE(shown(grid, 1, 3), QStringLiteral("(BLOB, 2 bytes)"));
        QVERIFY(!(m->flags(m->index(0, 1)) & Qt::ItemIsEditable));
        QVERIFY(m->flags(m->index(1, 1)) & Qt::ItemIsEditable);
        QVERIFY(!(m->flags(m->index(1, 3)) & Qt::ItemIsEditable));

        // Text beside a BLOB is edited; the BLOB and the text with a NUL stay as they are.
        type(grid, 1, 1, "other text");
        QCOMPARE(shown(grid, 1, 2), QStringLiteral("ab") + QChar(0) + QStringLiteral("cd")); // shown whole
        QVERIFY(grid->commitPendingRow());
        QVERIFY(env.boxes.isEmpty());
        QCOMPARE(Sqlite(path).rows("SELECT anything, hex(label), typeof(label), hex(n) FROM s WHERE id = 2").first(),
                 (QStringList{"other text", "6162006364", "text", "00FF"}));
        type(grid, 0, 3, "6");
        QVERIFY(grid->commitPendingRow());
        QCOMPARE(Sqlite(path).rows("SELECT hex(anything), hex(label), n FROM s WHERE id = 1").first(),
                 (QStringList{"0102", "4142", "6"}));
        // Another program changing the text after its NUL is seen.
        type(grid, 1, 1, "again");
        Sqlite(path).exec("UPDATE s SET label = 'ab' || char(0) || 'XY' WHERE id = 2;");
        QVERIFY(!grid->commitPendingRow());
        expectRefusedAsChanged();
    }

    void newRowsFallInTheirPlace()
    {
        const QString path = env.makeDatabase(
            "low.db", "CREATE TABLE w(id INTEGER PRIMARY KEY, v TEXT);"
                      "INSERT INTO w VALUES (-9223372036854775808, 'lowest'), (10, 'ten'), (20, 'twenty'),"
                      "(30, 'thirty'), (40, 'forty'), (9223372036854775807, 'highest');");
        DataGrid* grid = open(path, "w");
        QCOMPARE(grid->RowCount(), 6);
        QCOMPARE(shown(grid, 0, 1), QStringLiteral("lowest"));
        QCOMPARE(shown(grid, 5, 1), QStringLiteral("highest"));
        type(grid, 6, 0, "15");
        type(grid, 6, 1, "fifteen");
        QVERIFY(grid->commitPendingRow());
        QVERIFY(env.boxes.isEmpty());
        QCOMPARE(grid->RowCount(), 7);
        QStringList all;
        for (int r = 0; r < 7; ++r)
            all << shown(grid, r, 1);
        if (paged) // read in the table's order
            QCOMPARE(all, (QStringList{"lowest", "ten", "fifteen", "twenty", "thirty", "forty", "highest"}));
        else // appended where it was typed
            QCOMPARE(all, (QStringList{"lowest", "ten", "twenty", "thirty", "forty", "highest", "fifteen"}));
    }

    void newRowLineLeftByKeyboard()
    {
        const QString path = env.makeDatabase("kb.db", "CREATE TABLE n(a TEXT, b TEXT);");
        DataGrid* grid = open(path, "n");
        QVERIFY(QTest::qWaitForWindowActive(&Forms::form3()));
        grid->setFocus();
        QCOMPARE(grid->currentIndex().row(), 0); // the new-row line of an empty table
        QTest::keyClick(grid, Qt::Key_X);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM n"), QStringLiteral("1"));
        QCOMPARE(grid->currentIndex().row(), 1);
        QCOMPARE(grid->recordModel()->newRowRecord(), 1);
        // Tab past the last column.
        grid->setCurrentIndex(grid->model()->index(1, 1));
        QTest::keyClick(grid, Qt::Key_Y);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCoreApplication::processEvents();
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM n WHERE b = 'y'"), QStringLiteral("1"));
        QCOMPARE(grid->currentIndex(), grid->model()->index(2, 0));
        // Return, with the editor closed first.
        QTest::keyClick(grid, Qt::Key_Z);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(Sqlite(path).rows("SELECT a, b FROM n ORDER BY rowid"),
                 (QList<QStringList>{{"x", "<null>"}, {"<null>", "y"}, {"z", "<null>"}}));
        QCOMPARE(grid->currentIndex().row(), 3);
        QVERIFY(env.boxes.isEmpty());
        // Refused: the typed row stays where it is, shown as typed.
        Sqlite(path).exec("CREATE TRIGGER no_w BEFORE INSERT ON n WHEN NEW.b = 'w' BEGIN SELECT RAISE(ABORT, 'no w'); END;");
        grid->setCurrentIndex(grid->model()->index(3, 1));
        QTest::keyClick(grid, Qt::Key_W);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCoreApplication::processEvents();
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY2(env.boxes[0].text.contains("no w"), qPrintable(env.boxes[0].text));
        QCOMPARE(grid->currentIndex(), grid->model()->index(3, 1));
        QVERIFY(grid->hasPendingRow());
        QCOMPARE(shown(grid, 3, 1), QStringLiteral("w"));
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM n"), QStringLiteral("3"));
        // The message says how to undo it, and one Esc does.
        QVERIFY2(env.boxes[0].text.endsWith("Press Esc to undo your change."), qPrintable(env.boxes[0].text));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!grid->hasPendingRow());
        QCOMPARE(shown(grid, 3, 1), QString());

        // "Add New Row" with a refused row pending: one box, and the row
        // highlighted is the row of the current cell, the refused one.
        env.boxes.clear();
        grid->setCurrentIndex(grid->model()->index(3, 1));
        QTest::keyClick(grid, Qt::Key_W);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCoreApplication::processEvents();
        QCOMPARE(env.boxes.size(), 1);
        Forms::form3().PushButton5->click();
        QTest::qWait(50);
        QCOMPARE(env.boxes.size(), 2);
        QCOMPARE(grid->currentIndex().row(), 3);
        const QModelIndexList selected = grid->selectionModel()->selectedIndexes();
        for (const QModelIndex& index : selected)
            QCOMPARE(index.row(), grid->currentIndex().row());
        QVERIFY(grid->hasPendingRow());
        QTest::keyClick(grid, Qt::Key_Escape);
        QVERIFY(!grid->hasPendingRow());
    }

    void countArrivesWithoutLosingThePlace()
    {
        if (!paged)
            QSKIP("Tables read whole know their count at once.");
        const QString path = env.makeDatabase(
            "count.db", "CREATE TABLE c(k TEXT PRIMARY KEY, v TEXT) WITHOUT ROWID;" // no span to estimate from
                        "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 20) "
                        "INSERT INTO c SELECT printf('k%02d', i), 'v' || i FROM s;");
        // Opened as the user does, without waiting for anything.
        SetDatabasePath(path);
        Forms::form1().PushButton3->click();
        Forms::form2().List1->setCurrentItem(Forms::form2().List1->findItems("c", Qt::MatchExactly).first());
        Forms::form2().PushButton3->click();
        DataGrid* grid = Forms::form3().DataGrid1;
        QVERIFY(grid->dataSource()->isPaged());
        QCOMPARE(grid->recordModel()->records(), 4); // the first page of three, and more to come
        type(grid, 1, 1, "typed meanwhile");
        QTRY_COMPARE(grid->recordModel()->records(), 20);
        QCOMPARE(grid->currentIndex().row(), 1);
        QVERIFY(grid->hasPendingRow());
        QCOMPARE(shown(grid, 1, 1), QStringLiteral("typed meanwhile"));
        QCOMPARE(shown(grid, 19, 1), QStringLiteral("v20"));
        QVERIFY(grid->commitPendingRow());
        QCOMPARE(Sqlite(path).value("SELECT v FROM c WHERE k = 'k02'"), QStringLiteral("typed meanwhile"));
        QCOMPARE(grid->recordModel()->newRowRecord(), 20);
    }

    void viewsAndTriggers()
    {
        const QString path = env.makeDatabase(
            "view.db",
            "CREATE TABLE base(id INTEGER PRIMARY KEY, a TEXT); INSERT INTO base VALUES (1, 'x'), (2, 'y');"
            "CREATE VIEW plain AS SELECT a FROM base;"
            "CREATE VIEW edited AS SELECT id, a FROM base;"
            "CREATE TRIGGER edited_update INSTEAD OF UPDATE ON edited BEGIN "
            "  UPDATE base SET a = NEW.a WHERE id = OLD.id; END;"
            "CREATE TABLE guarded(a TEXT); INSERT INTO guarded VALUES ('keep');"
            "CREATE TRIGGER ignore_it BEFORE UPDATE ON guarded BEGIN SELECT RAISE(IGNORE); END;");
        DataGrid* grid = open(path, "plain");
        QAbstractItemModel* m = grid->model();
        QCOMPARE(m->rowCount(), 2); // no new-row line
        QVERIFY(!(m->flags(m->index(0, 0)) & Qt::ItemIsEditable));
        deleteRow(grid, 0);
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY2(env.boxes[0].text.contains("INSTEAD OF"), qPrintable(env.boxes[0].text));
        env.boxes.clear();

        grid = open(path, "edited");
        type(grid, 1, 1, "through the trigger");
        QVERIFY(grid->commitPendingRow());
        QVERIFY(env.boxes.isEmpty());
        QCOMPARE(Sqlite(path).value("SELECT a FROM base WHERE id = 2"), QStringLiteral("through the trigger"));

        grid = open(path, "guarded");
        type(grid, 0, 0, "ignored");
        QVERIFY(!grid->commitPendingRow());
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY2(env.boxes[0].text.contains("trigger"), qPrintable(env.boxes[0].text));
        QCOMPARE(Sqlite(path).value("SELECT a FROM guarded"), QStringLiteral("keep"));
    }
};

int main(int argc, char** argv) { return RunWholeAndPaged<SecondWriterTest>(argc, argv); }

#include "tst_secondwriter.moc"
