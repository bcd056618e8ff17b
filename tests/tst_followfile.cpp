// The grid follows the file: while another program inserts, deletes and
// renumbers rows of a table read in pages, what the user sees, edits, selects
// and exports stays on the same rows, found by who they are (rowid, key), and
// a view's rows by their place, which is all a view has.
#include "grid/DataGrid.h"
#include "editor/Form3.h"
#include "data/pagecache.h"
#include "export/DataGrid1.h"
#include "common/errorreport.h"
#include "common/forms.h"
#include "testsupport.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>

namespace {
constexpr int kRows = 300;
} // namespace

class FollowFileTest : public GridSuite {
    Q_OBJECT

private:
    QString path;

    // Every kind of table keyed as the kind says, rows 1..300 with v = 'v<n>':
    //   rowid: t(id INTEGER PRIMARY KEY, v)      text key: w(k TEXT PRIMARY KEY, v) WITHOUT ROWID, k = 'k0001'...
    //   implicit rowid: r(v, n) without a key    view: tv over t
    static QString tableOf(const QString& kind)
    {
        return kind == "rowid" ? "t" : kind == "text key" ? "w" : kind == "implicit rowid" ? "r" : "tv";
    }
    // What identifies the n-th row (1-based) in column 0.
    static QString keyOf(const QString& kind, int n)
    {
        if (kind == "text key")
            return QStringLiteral("k%1").arg(n, 4, 10, QLatin1Char('0'));
        return kind == "implicit rowid" ? QStringLiteral("v%1").arg(n) : QString::number(n);
    }
    // A condition on the n-th row for the other program.
    static QString rowsWhere(const QString& kind, int from, int to)
    {
        const QString column = kind == "text key" ? "k" : kind == "implicit rowid" ? "n" : "id";
        return kind == "text key" ? QStringLiteral("%1 BETWEEN '%2' AND '%3'").arg(column, keyOf(kind, from), keyOf(kind, to))
                                  : QStringLiteral("%1 BETWEEN %2 AND %3").arg(column).arg(from).arg(to);
    }
    static QString sourceOf(const QString& kind) { return kind == "view" ? "t" : tableOf(kind); }
    void addKinds(bool withView = true)
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("rowid") << "rowid";
        QTest::newRow("text key") << "text key";
        QTest::newRow("implicit rowid") << "implicit rowid";
        if (withView)
            QTest::newRow("view") << "view";
    }
    DataGrid* show(const QString& kind)
    {
        DataGrid* grid = open(path, tableOf(kind));
        [&] { QVERIFY(QTest::qWaitForWindowExposed(&Forms::form3())); }();
        QCoreApplication::processEvents();
        return grid;
    }
    // Lets the grid paint (taking who it shows), as a moment of the user's time
    // does, and rows placed where they stood take their true places.
    void settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QTest::qWait(5);
        }
        if (Forms::isLoaded3()) {
            const auto& recordset = Forms::form3().DataGrid1->dataSource();
            QTRY_VERIFY(!recordset || !recordset->pinned());
        }
    }
    // The column-0 text of every line of a TXT export, in order.
    QStringList exportedKeys(DataGrid* grid)
    {
        const QString file = env.path("walk.txt");
        DataGrid1::SaveDataGridToFile(grid, file);
        QStringList keys;
        const QList<QByteArray> lines = ReadBytes(file).split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i)
            if (!lines[i].isEmpty())
                keys << QString::fromUtf8(lines[i].left(lines[i].indexOf('\t')));
        return keys;
    }
    QStringList keysInFile(const QString& kind)
    {
        QStringList keys;
        const QString column = kind == "text key" ? "k" : kind == "implicit rowid" ? "v" : "id";
        for (const QStringList& row : Sqlite(path).rows(
                 QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(column, sourceOf(kind), kind == "text key" ? "k" : "rowid")))
            keys << row.first();
        return keys;
    }

private slots:
    void init()
    {
        env.reset();
        path = env.makeDatabase(
            "follow.db", QStringLiteral("CREATE TABLE t(id INTEGER PRIMARY KEY, v TEXT);"
                                        "CREATE TABLE w(k TEXT PRIMARY KEY, v TEXT) WITHOUT ROWID;"
                                        "CREATE TABLE r(v TEXT, x TEXT, n INTEGER);"
                                        "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < %1) "
                                        "INSERT INTO t SELECT i, 'v' || i FROM s;"
                                        "INSERT INTO w SELECT printf('k%04d', id), v FROM t;"
                                        "INSERT INTO r SELECT v, v, id FROM t;"
                                        "CREATE VIEW tv AS SELECT * FROM t;")
                             .arg(kRows));
    }

    void theRowsOnScreenStayPut_data() { addKinds(); }
    void theRowsOnScreenStayPut()
    {
        QFETCH(QString, kind);
        DataGrid* grid = show(kind);
        grid->scrollToRecord(150);
        grid->setCurrentRecord(155, 1);
        settle();
        const int top = grid->topRow();
        const QString topKey = shown(grid, top, 0);
        const QString currentKey = shown(grid, 155, 0);
        // Another program deletes five rows before the screen, three after it,
        // and adds two at the end.
        Sqlite(path).exec(QStringLiteral("DELETE FROM %1 WHERE %2; DELETE FROM %1 WHERE %3;")
                              .arg(sourceOf(kind), rowsWhere(kind, 10, 14), rowsWhere(kind, 200, 202)));
        Sqlite(path).exec(kind == "text key" ? "INSERT INTO w VALUES ('z1', 'a'), ('z2', 'b');"
                          : kind == "implicit rowid" ? "INSERT INTO r VALUES ('x1', 'a', 1001), ('x2', 'b', 1002);"
                                                     : "INSERT INTO t VALUES (1001, 'a'), (1002, 'b');");
        QTRY_VERIFY(grid->recordModel()->records() == kRows - 6 && grid->dataSource()->countKnown());
        settle();
        if (kind == "view") {
            // A view's rows have no identity: the grid keeps its place and shows what stands there now.
            QCOMPARE(grid->topRow(), top);
            QCOMPARE(shown(grid, top, 0), QString::number(top + 6));
            return;
        }
        QCOMPARE(grid->topRow(), top - 5);
        QCOMPARE(shown(grid, grid->topRow(), 0), topKey);
        QCOMPARE(grid->currentRecord(), 150);
        QCOMPARE(shown(grid, grid->currentRecord(), 0), currentKey);
        QCOMPARE(grid->verticalScrollBar()->isVisible() ? grid->verticalScrollBar()->value() + grid->recordModel()->base()
                                                        : grid->findChild<QScrollBar*>("tableBar")->value(),
                 top - 5);
        QCOMPARE(exportedKeys(grid), keysInFile(kind));
    }

    void thePendingLineShowsItsOwnRow_data() { addKinds(false); }
    void thePendingLineShowsItsOwnRow()
    {
        QFETCH(QString, kind);
        DataGrid* grid = show(kind);
        type(grid, 120, 1, "mine");
        const QString key = shown(grid, 120, 0);
        grid->scrollToRecord(250);
        settle();
        Sqlite(path).exec(QStringLiteral("DELETE FROM %1 WHERE %2;").arg(sourceOf(kind), rowsWhere(kind, 100, 102)));
        grid->scrollToRecord(110);
        settle();
        // The line marked as pending is the row first edited, with its own key.
        QCOMPARE(grid->recordModel()->pendingRecord(), 117);
        QCOMPARE(shown(grid, 117, 0), key);
        QCOMPARE(shown(grid, 117, 1), QStringLiteral("mine"));
        QCOMPARE(shown(grid, 116, 0), keyOf(kind, 120));
        QCOMPARE(shown(grid, 118, 0), keyOf(kind, 122));
        QCOMPARE(grid->currentRecord(), 117);
        QVERIFY(grid->commitPendingRow());
        QVERIFY(env.boxes.isEmpty());
        const QString column1 = kind == "implicit rowid" ? "x" : "v";
        QCOMPARE(Sqlite(path).value(QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(column1, sourceOf(kind), rowsWhere(kind, 121, 121))),
                 QStringLiteral("mine"));
        QCOMPARE(Sqlite(path).value(QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = 'mine'").arg(sourceOf(kind), column1)), "1");

        // The pending row deleted by another program: the line says so, keeps
        // what was typed over the row's own values, and the write is refused.
        type(grid, 200, 1, "gone soon");
        const QString goneKey = shown(grid, 200, 0);
        Sqlite(path).exec(QStringLiteral("DELETE FROM %1 WHERE %2;").arg(sourceOf(kind), rowsWhere(kind, 204, 204)));
        grid->followFile();
        const qsizetype pending = grid->recordModel()->pendingRecord();
        QVERIFY(grid->recordModel()->pendingRowGone());
        grid->recordModel()->showRecord(pending);
        const int line = grid->recordModel()->rowOf(pending);
        QVERIFY(line >= 0);
        QCOMPARE(grid->model()->headerData(line, Qt::Vertical).toString(), QStringLiteral("\u270E!"));
        QVERIFY(grid->model()->headerData(line, Qt::Vertical, Qt::ToolTipRole).toString().contains("another program"));
        QCOMPARE(shown(grid, pending, 0), goneKey);
        QCOMPARE(shown(grid, pending, 1), QStringLiteral("gone soon"));
        QVERIFY(!grid->commitPendingRow());
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY(grid->hasPendingRow());
        grid->revertPendingRow();
        QCOMPARE(shown(grid, pending, 0), keyOf(kind, 205));
    }

    void ownKeyEditMovesTheRow()
    {
        DataGrid* grid = show("text key");
        grid->scrollToRecord(140);
        settle();
        type(grid, 150, 0, "a-first");
        QVERIFY(grid->commitPendingRow());
        settle();
        QVERIFY(env.boxes.isEmpty());
        // The rows on screen stay; the edited row now stands first.
        QCOMPARE(shown(grid, grid->topRow(), 0), keyOf("text key", 141));
        QCOMPARE(exportedKeys(grid), keysInFile("text key"));
        QCOMPARE(exportedKeys(grid).first(), QStringLiteral("a-first"));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(shown(grid, grid->currentRecord(), 0), QStringLiteral("a-first"));
    }

    void vacuumFarDown()
    {
        Sqlite(path).exec("DELETE FROM r WHERE n BETWEEN 20 AND 39;"); // rowids with a gap
        DataGrid* grid = show("implicit rowid");
        grid->scrollToRecord(240);
        type(grid, 250, 0, "edited");
        settle();
        const QString below = shown(grid, 251, 0);
        Sqlite(path).exec("VACUUM;");
        QVERIFY(!grid->commitPendingRow());
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY2(env.boxes[0].text.contains("changed or deleted by another program"), qPrintable(env.boxes[0].text));
        env.boxes.clear();
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Escape);
        QVERIFY(!grid->hasPendingRow());
        settle();
        // The same rows, where they were: VACUUM renumbered them, it did not move them.
        QCOMPARE(shown(grid, 251, 0), below);
        QCOMPARE(shown(grid, grid->topRow(), 0), QStringLiteral("v%1").arg(grid->topRow() + 21));
        QCOMPARE(exportedKeys(grid), keysInFile("implicit rowid"));
        QVERIFY(env.boxes.isEmpty());
    }

    void newRowAfterAnotherProgramAppended_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("rowid") << "rowid";
        QTest::newRow("text key") << "text key";
    }
    void newRowAfterAnotherProgramAppended()
    {
        QFETCH(QString, kind);
        DataGrid* grid = show(kind);
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        settle();
        Sqlite(path).exec(kind == "text key"
                              ? "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 50) "
                                "INSERT INTO w SELECT printf('m%04d', i), 'theirs' FROM s;"
                              : "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 50) "
                                "INSERT INTO t(v) SELECT 'theirs' FROM s;");
        const qsizetype line = grid->recordModel()->newRowRecord();
        QVERIFY(line >= 0);
        QVERIFY(TypeInto(grid, int(line), 1, "my new row"));
        if (kind == "text key")
            QVERIFY(TypeInto(grid, int(line), 0, "n0001"));
        QVERIFY(grid->commitPendingRow());
        settle();
        QVERIFY(env.boxes.isEmpty());
        QCOMPARE(grid->recordModel()->records(), kRows + 51);
        QCOMPARE(shown(grid, kRows + 50, 1), QStringLiteral("my new row"));
        QCOMPARE(shown(grid, kRows + 49, 1), QStringLiteral("theirs"));
        const QStringList keys = exportedKeys(grid);
        QCOMPARE(keys, keysInFile(kind));
        QCOMPARE(keys.size(), kRows + 51);
    }

    void exportsWalkByIdentity_data() { addKinds(false); }
    void exportsWalkByIdentity()
    {
        QFETCH(QString, kind);
        DataGrid* grid = show(kind);
        // Rows deleted in the middle before an export started from the middle.
        grid->scrollToRecord(150);
        settle();
        Sqlite(path).exec(QStringLiteral("DELETE FROM %1 WHERE %2;").arg(sourceOf(kind), rowsWhere(kind, 120, 139)));
        QCOMPARE(exportedKeys(grid), keysInFile(kind));

        // And while the export walks: rows already written and rows still to
        // come are deleted, others inserted. Every row there throughout is
        // written once, in order.
        const QStringList before = keysInFile(kind);
        QStringList written;
        Trap trap(QStringLiteral("in test "));
        bool changed = false;
        DataGrid1::walkGrid(grid, trap, {1, 2, 3, 4, 5, 6, 7}, nullptr, [&] {
            written << grid->ColumnText(0);
            if (written.size() == 100 && !changed) {
                changed = true;
                Sqlite(path).exec(QStringLiteral("DELETE FROM %1 WHERE %2; DELETE FROM %1 WHERE %3;")
                                      .arg(sourceOf(kind), rowsWhere(kind, 50, 60), rowsWhere(kind, 200, 210)));
                Sqlite(path).exec(kind == "text key" ? "INSERT INTO w VALUES ('k0055x', 'in'), ('k0250x', 'in');"
                                  : kind == "implicit rowid" ? "INSERT INTO r VALUES ('late', 'late', 9999);"
                                                             : "INSERT INTO t VALUES (1000, 'late');");
            }
        });
        QVERIFY(env.boxes.isEmpty());
        const QStringList after = keysInFile(kind);
        QStringList throughout;
        for (const QString& key : before)
            if (after.contains(key))
                throughout << key;
        QStringList seen;
        for (const QString& key : written)
            if (throughout.contains(key))
                seen << key;
        QCOMPARE(seen, throughout);
        QCOMPARE(written.removeDuplicates(), 0);
    }

    void aSelectionKeepsItsRows()
    {
        Sqlite(path).exec("CREATE TABLE d AS SELECT * FROM t;");
        DataGrid* grid = show("rowid");
        grid->dataSource();
        grid = open(path, "d");
        settle();
        // What Ctrl+click on a row selector does: the row is added to the selection.
        auto ctrlClickRow = [&](qsizetype record) {
            settle();
            const int row = grid->recordModel()->rowOf(record);
            QVERIFY(row >= 0);
            grid->selectionModel()->select(grid->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        };
        ctrlClickRow(3);
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        settle();
        ctrlClickRow(kRows - 1);
        // Another program deletes rows between the two meanwhile.
        Sqlite(path).exec("DELETE FROM d WHERE id BETWEEN 100 AND 109;");
        env.answers << vbYes;
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(env.boxes.value(0).text, QStringLiteral("Delete the 2 selected rows from the table?"));
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM d"), QString::number(kRows - 12));
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM d WHERE id IN (4, 300)"), "0");
    }

    void rowsFarDownArePinnedUntilCounted()
    {
        if (!paged)
            return;
        DataGrid* grid = show("rowid");
        settle();
        const auto& recordset = grid->dataSource();
        struct Restore {
            qsizetype before = PageCache::setPinFrom(20);
            ~Restore() { PageCache::setPinFrom(before); }
        } restore;
        const RowAnchor anchor = recordset->anchorAt(150); // id 151
        Sqlite(path).exec("DELETE FROM t WHERE id BETWEEN 10 AND 14; DELETE FROM t WHERE id BETWEEN 160 AND 161;");
        QVERIFY(recordset->followFile());
        // Found at once where it stood, the rows around it read from it (above it too).
        std::vector<AnchorPlace> found = recordset->place({anchor});
        QVERIFY(recordset->pinned());
        QCOMPARE(found[0].position, 150);
        QVERIFY(found[0].present);
        QCOMPARE(recordset->text(150, 0), QStringLiteral("151"));
        QCOMPARE(recordset->text(140, 0), QStringLiteral("141"));
        QCOMPARE(recordset->text(160, 0), QStringLiteral("163"));
        // Taken while pinned (as the grid takes who it shows at each paint): ids 151 and 141.
        const RowAnchor top = recordset->anchorAt(150);
        const RowAnchor above = recordset->anchorAt(140);
        // The count arrives: the rows take their true places, anchors taken meanwhile move alike.
        const quint64 whilePinned = recordset->generation();
        QTRY_VERIFY((recordset->followFile(), !recordset->pinned()));
        QCOMPARE(recordset->generation(), whilePinned + 1);
        found = recordset->place({top, above});
        QCOMPARE(found[0].position, 145);
        QCOMPARE(found[1].position, 135);
        QCOMPARE(recordset->text(145, 0), QStringLiteral("151"));
        QCOMPARE(recordset->text(135, 0), QStringLiteral("141"));
    }

    void aLockedFileShowsRowsAsNotRead()
    {
        if (RecordSetModel::spanRows() < 1000)
            QSKIP("once is enough: the busy time-out is waited for at every page");
        DataGrid* grid = show("rowid");
        settle();
        // Another program holds the file past the busy time-out.
        Sqlite other(path);
        other.exec("PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; UPDATE t SET v = v WHERE id = 1;");
        grid->scrollToRecord(200);
        settle();
        QTRY_COMPARE(env.boxes.size(), 1);
        QVERIFY2(env.boxes[0].text.contains("locked"), qPrintable(env.boxes[0].text));
        const QModelIndex cell = grid->model()->index(grid->recordModel()->rowOf(grid->topRow()), 1);
        QCOMPARE(grid->model()->data(cell).toString(), RecordSetModel::kNotRead);
        QCOMPARE(grid->model()->data(cell, Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::darkGray));
        QCOMPARE(grid->model()->data(cell, Qt::EditRole).toString(), QString());
        settle();
        QCOMPARE(env.boxes.size(), 1); // one message, not one per cell or paint
        // An export that meets such a page reports it and writes nothing.
        env.boxes.clear();
        const QString file = env.path("locked.txt");
        DataGrid1::SaveDataGridToFile(grid, file);
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(ReadBytes(file), QByteArray("<missing>"));
        // The lock gone, the rows are read again when the user comes back to them.
        other.exec("COMMIT; PRAGMA locking_mode = NORMAL; SELECT count(*) FROM t;");
        env.boxes.clear();
        grid->scrollToRecord(10);
        settle();
        grid->scrollToRecord(200);
        settle();
        QCOMPARE(shown(grid, grid->topRow(), 1), QStringLiteral("v%1").arg(grid->topRow() + 1));
        QVERIFY(env.boxes.isEmpty());
    }

    void aDroppedTableGivesOneMessageAndKeepsTheText()
    {
        DataGrid* grid = show("rowid");
        settle();
        Sqlite(path).exec("DROP VIEW tv; DROP TABLE t;");
        grid->scrollToRecord(200);
        settle();
        // Rows not read before the drop are shown as not read, with one message.
        if (paged) {
            QCOMPARE(env.boxes.size(), 1);
            QVERIFY2(env.boxes[0].text.contains("no such table"), qPrintable(env.boxes[0].text));
            env.boxes.clear();
        }
        QVERIFY(TypeInto(grid, 210, 1, "typed after the drop"));
        QVERIFY(!grid->commitPendingRow());
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY2(env.boxes[0].text.contains("no such table"), qPrintable(env.boxes[0].text));
        QVERIFY(grid->hasPendingRow());
        QCOMPARE(shown(grid, grid->recordModel()->pendingRecord(), 1), QStringLiteral("typed after the drop"));
        // An export reports once and writes nothing.
        env.boxes.clear();
        const QString file = env.path("dropped.txt");
        grid->revertPendingRow();
        DataGrid1::SaveDataGridToFile(grid, file);
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(ReadBytes(file), QByteArray("<missing>"));
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ADODB::RecordSet::setPaging(1, 3, 2); // pages of three rows, two kept: others are really evicted
    FollowFileTest pages;
    pages.paged = true;
    int failed = QTest::qExec(&pages, argc, argv);
    // and the grid's rows a span of sixty lines of the table (more than twice the
    // lines on screen, whatever the fonts' height: a record can be put at the top)
    RecordSetModel::setSpanRows(60);
    FollowFileTest lines;
    lines.paged = true;
    failed += QTest::qExec(&lines, argc, argv);
    // And every row found again first where it stood, its true place counted on another connection.
    PageCache::setPinFrom(20);
    FollowFileTest pinned;
    pinned.paged = true;
    failed += QTest::qExec(&pinned, argc, argv);
    return failed;
}

#include "tst_followfile.moc"
