// Sorting, filtering and finding in the grid, as the user does them: a click
// on a heading, typing into the filter line, Ctrl+F and F3. The database finds
// the rows; every edit, new row, delete and export stays on the rows the user
// sees while another program changes the table.
#include "grid/DataGrid.h"
#include "grid/FilterLine.h"
#include "grid/FindWindow.h"
#include "grid/SortHeader.h"
#include "editor/Form3.h"
#include "export/DataGrid1.h"
#include "common/forms.h"
#include "testsupport.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class SortFilterTest : public GridSuite {
    Q_OBJECT

    QString path;

    DataGrid* show()
    {
        DataGrid* grid = open(path, "t");
        [&] { QVERIFY(QTest::qWaitForWindowExposed(&Forms::form3())); }();
        return grid;
    }
    // Lets an order being built arrive, and the grid take it.
    static void settle(DataGrid* grid)
    {
        grid->RowCount();
        QTRY_VERIFY(!grid->isBuildingView());
        QTest::qWait(120);
    }
    static void click(DataGrid* grid, int column, Qt::KeyboardModifiers modifiers = {})
    {
        QHeaderView* header = grid->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, modifiers,
                          QPoint(header->sectionViewportPosition(column) + 4, 4));
        settle(grid);
    }
    static QStringList names(DataGrid* grid)
    {
        QStringList shown;
        for (qsizetype r = 0; r < grid->RowCount(); ++r)
            shown << (grid->dataSource()->isGone(r) ? RecordSetModel::kGone : Shown(grid, int(r), 1));
        return shown;
    }
    static QString heading(DataGrid* grid, int column, int role)
    {
        return grid->model()->headerData(column, Qt::Horizontal, role).toString();
    }
    // The accessible object of that name under the interface, depth first.
    static QAccessibleInterface* findAccessible(QAccessibleInterface* in, const QString& name)
    {
        if (!in)
            return nullptr;
        if (in->text(QAccessible::Name) == name)
            return in;
        for (int i = 0; i < in->childCount(); ++i)
            if (QAccessibleInterface* found = findAccessible(in->child(i), name))
                return found;
        return nullptr;
    }

private slots:
    void init()
    {
        env.reset();
        path = env.makeDatabase(
            "sort.db", "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, n);"
                       "INSERT INTO t(name, n) VALUES ('pear', 3), ('Apple', 1), ('fig', NULL), ('apple', 2),"
                       "('kiwi', 3), ('date', 5), ('plum', 4);");
    }

    void headingsSortAndSaySo()
    {
        DataGrid* grid = show();
        grid->setCurrentRecord(3, 2);
        click(grid, 2); // n ascending: NULL first, ties by rowid
        QCOMPARE(names(grid), QStringList({"fig", "Apple", "apple", "pear", "kiwi", "plum", "date"}));
        QCOMPARE(grid->currentRecord(), 0); // the first row, the same column
        QCOMPARE(grid->currentIndex().column(), 2);
        QCOMPARE(heading(grid, 2, Qt::DisplayRole), QStringLiteral("n"));
        QCOMPARE(heading(grid, 2, Qt::ToolTipRole), QStringLiteral("Sorted ascending"));
        QCOMPARE(heading(grid, 2, Qt::AccessibleDescriptionRole), QStringLiteral("Sorted ascending"));
        QVERIFY(!grid->model()->headerData(2, Qt::Horizontal, Qt::DecorationRole).isNull());
        click(grid, 2); // descending: the exact reverse
        QCOMPARE(names(grid), QStringList({"date", "plum", "kiwi", "pear", "apple", "Apple", "fig"}));
        QCOMPARE(heading(grid, 2, Qt::ToolTipRole), QStringLiteral("Sorted descending"));
        click(grid, 1, Qt::ControlModifier); // name as the second key
        QCOMPARE(names(grid), QStringList({"date", "plum", "kiwi", "pear", "apple", "Apple", "fig"}));
        QCOMPARE(heading(grid, 2, Qt::AccessibleDescriptionRole), QStringLiteral("Sorted descending, 1"));
        QCOMPARE(heading(grid, 1, Qt::ToolTipRole), QStringLiteral("Sorted ascending, 2"));
        click(grid, 1, Qt::ControlModifier);
        QCOMPARE(names(grid), QStringList({"date", "plum", "pear", "kiwi", "apple", "Apple", "fig"}));
        click(grid, 1); // a plain click: by name alone
        QCOMPARE(names(grid), QStringList({"Apple", "apple", "date", "fig", "kiwi", "pear", "plum"}));
        QVERIFY(heading(grid, 2, Qt::ToolTipRole).isEmpty());
        click(grid, 1);
        click(grid, 1); // a third time: the table's own order
        QCOMPARE(names(grid), QStringList({"pear", "Apple", "fig", "apple", "kiwi", "date", "plum"}));
        QVERIFY(grid->rowView().isPlain());
        QVERIFY(env.boxes.isEmpty());
    }

    void filterLineIsReachedAndApplied()
    {
        DataGrid* grid = show();
        // Assistive technologies reach the boxes from the window.
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&Forms::form3());
        QAccessibleInterface* box = findAccessible(window, "Filter name");
        QVERIFY(box);
        QCOMPARE(box->role(), QAccessible::EditableText);
        QLineEdit* edit = grid->filterLine()->box(1);
        QCOMPARE(box->object(), edit);
        QVERIFY(!edit->toolTip().isEmpty());
        QVERIFY(edit->isVisible());

        QTest::keyClicks(edit, "P");
        QCOMPARE(grid->RowCount(), 7); // not at each keystroke
        QTest::keyClicks(edit, "l");
        QTRY_COMPARE(names(grid), QStringList({"Apple", "apple", "plum"}));
        grid->filterLine()->box(2)->setText(">=2");
        QTest::keyClicks(grid->filterLine()->box(2), " ");
        QTRY_COMPARE(names(grid), QStringList({"apple", "plum"}));
        QTest::keyClick(edit, Qt::Key_Escape); // clears the box, at once
        settle(grid);
        QCOMPARE(edit->text(), QString());
        QCOMPARE(names(grid), QStringList({"pear", "apple", "kiwi", "date", "plum"}));
        QVERIFY(env.boxes.isEmpty());
    }

    // Sorted and filtered, edits land on the row the user saw, which stays in
    // its place until the next sort; another program's change between our read
    // and our write refuses the row and keeps what was typed.
    void editsStayOnTheirRows()
    {
        DataGrid* grid = show();
        grid->setRowView(RowView{{{1, false}}, {{2, "NOT NULL"}}});
        settle(grid);
        QCOMPARE(names(grid), QStringList({"Apple", "apple", "date", "kiwi", "pear", "plum"}));
        type(grid, 1, 1, "zz apple");
        QVERIFY(grid->commitPendingRow());
        QCOMPARE(names(grid), QStringList({"Apple", "zz apple", "date", "kiwi", "pear", "plum"}));
        QCOMPARE(Sqlite(path).value("SELECT id FROM t WHERE name = 'zz apple'"), QStringLiteral("4"));
        // A value changed by case only, by another program, after we read it.
        type(grid, 0, 2, "10");
        Sqlite(path).exec("UPDATE t SET name = 'APPLE' WHERE id = 2;");
        QVERIFY(!grid->commitPendingRow());
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(Shown(grid, 0, 2), QStringLiteral("10")); // what was typed is kept
        QCOMPARE(Sqlite(path).value("SELECT n FROM t WHERE id = 2"), QStringLiteral("1"));
        grid->revertPendingRow();
        env.boxes.clear();
        // Another program deletes a row on show: it stays in its place, shown deleted.
        Sqlite(path).exec("DELETE FROM t WHERE id = 6;");
        grid->followFile();
        QCOMPARE(names(grid).at(2), paged ? RecordSetModel::kGone : QStringLiteral("date"));
        QCOMPARE(Shown(grid, 3, 1), QStringLiteral("kiwi"));
        // A new row shows last until the next sort; deleting a selected row closes the gap.
        type(grid, int(grid->RowCount()), 1, "aaa");
        type(grid, int(grid->RowCount()), 2, "7");
        QVERIFY(grid->commitPendingRow());
        QCOMPARE(names(grid).last(), QStringLiteral("aaa"));
        grid->selectRow(grid->recordModel()->rowOf(3));
        env.answers << vbYes;
        grid->deleteSelectedRows();
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM t WHERE name = 'kiwi'"), QStringLiteral("0"));
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM t WHERE name = 'aaa'"), QStringLiteral("1"));
        QCOMPARE(names(grid).at(3), QStringLiteral("pear"));
    }

    void exportsWriteWhatIsShown()
    {
        DataGrid* grid = show();
        grid->setRowView(RowView{{{2, true}}, {{1, "p"}}});
        settle(grid);
        const QString file = env.path("shown.txt");
        const auto exported = [&] {
            DataGrid1::SaveDataGridToFile(grid, file);
            QStringList names;
            const QStringList lines = QString::fromUtf8(ReadBytes(file)).split(QRegularExpression("\r?\n"), Qt::SkipEmptyParts);
            for (qsizetype i = 1; i < lines.size(); ++i)
                names << lines[i].section('\t', 1, 1);
            return names;
        };
        QCOMPARE(exported(), QStringList({"plum", "pear", "apple", "Apple"}));
        // A row another program deleted is not written where the grid follows the
        // file (in pages; it stays on show there, marked); rows read whole are kept as read.
        Sqlite(path).exec("DELETE FROM t WHERE name = 'pear';");
        QCOMPARE(exported(), paged ? QStringList({"plum", "apple", "Apple"}) : QStringList({"plum", "pear", "apple", "Apple"}));
        QVERIFY(env.boxes.isEmpty());
    }

    // A block copied as spreadsheets write it: fields with TAB, line breaks or
    // quotes quoted, NULL and empty alike, a BLOB as shown, a line break after
    // every row; also as an HTML table; with the column names first on Ctrl+Shift+C.
    void copyTakesTheBlockShown()
    {
        Sqlite(path).exec("INSERT INTO t(name, n) VALUES ('tab\there', 'say \"hi\"'), ('two' || char(10) || 'lines', x'0102');");
        DataGrid* grid = show();
        grid->setRowView(RowView{{{0, true}}, {}}); // newest first
        settle(grid);
#ifdef Q_OS_WIN
        const QString eol = "\r\n";
#else
        const QString eol = "\n";
#endif
        grid->selectionModel()->select(QItemSelection(grid->model()->index(0, 1), grid->model()->index(2, 2)),
                                       QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 "\"two\nlines\"\t(BLOB, 2 bytes)" + eol + "\"tab\there\"\t\"say \"\"hi\"\"\"" + eol + "plum\t4" + eol);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data->hasHtml());
        QVERIFY(data->html().contains("<td>say &quot;hi&quot;</td>"));
        // A NULL and an empty text both copy as nothing; the names first with Shift.
        Sqlite(path).exec("UPDATE t SET name = '' WHERE name = 'plum';");
        grid->followFile();
        grid->selectionModel()->select(QItemSelection(grid->model()->index(2, 1), grid->model()->index(3, 2)),
                                       QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 "name\tn" + eol + (paged ? "\t4" : "plum\t4") + eol + "date\t5" + eol);
        Sqlite(path).exec("UPDATE t SET n = NULL WHERE name = 'date';");
        grid->followFile();
        grid->selectionModel()->select(grid->model()->index(3, 2), QItemSelectionModel::ClearAndSelect);
        QVERIFY(grid->copySelection(false));
        QCOMPARE(QGuiApplication::clipboard()->text(), (paged ? "" : "5") + eol);
    }

    void findGoesOnAndWraps()
    {
        DataGrid* grid = show();
        grid->setCurrentRecord(0, 0);
        QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
        FindWindow* find = grid->findWindow();
        QVERIFY(find && find->isVisible());
        QCOMPARE(find->windowTitle(), QStringLiteral("Find"));
        find->Text1->setText("pl");
        find->FindNext->click();
        QCOMPARE(grid->currentRecord(), 1); // Apple
        QCOMPARE(grid->currentIndex().column(), 1);
        QVERIFY(grid->selectionModel()->isSelected(grid->currentIndex()));
        find->FindNext->click();
        QCOMPARE(grid->currentRecord(), 3); // apple
        QTest::keyClick(grid, Qt::Key_F3);
        QCOMPARE(grid->currentRecord(), 6); // plum
        QVERIFY(find->Status->text().isEmpty());
        QTest::keyClick(grid, Qt::Key_F3); // on from the top
        QCOMPARE(grid->currentRecord(), 1);
        find->FindNext->click();
        find->FindPrevious->click();
        QCOMPARE(grid->currentRecord(), 1);
        find->FindPrevious->click(); // on from the bottom
        QCOMPARE(grid->currentRecord(), 6);
        QCOMPARE(find->Status->text(), QStringLiteral("Continued from the bottom."));
        // Whole cell and case; within a row, the next cell holding it.
        find->Check1->setChecked(true);
        find->Check2->setChecked(true);
        find->Text1->setText("3");
        grid->setCurrentRecord(0, 0);
        find->FindNext->click();
        QCOMPARE(grid->currentRecord(), 0);
        QCOMPARE(grid->currentIndex().column(), 2);
        QVERIFY(env.boxes.isEmpty());
        find->Text1->setText("APPLE");
        find->FindNext->click();
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes.first().text, QStringLiteral("Not found."));
        QCOMPARE(env.boxes.first().caption, QStringLiteral("Vestrel"));
        QCOMPARE(grid->currentRecord(), 0);
        find->close();
    }
};

int main(int argc, char** argv) { return RunWholeAndPaged<SortFilterTest>(argc, argv); }

#include "tst_sortfilter.moc"
