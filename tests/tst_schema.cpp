// The new-column and new-table windows: statements exactly as sent, and what
// the database made of them.
#include "catalogue/Form2.h"
#include "catalogue/frmNewTable.h"
#include "grid/DataGrid.h"
#include "editor/Form3.h"
#include "editor/frmNewColumn.h"
#include "data/quote.h"
#include "shell/Form1.h"
#include "common/forms.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QSignalSpy>
#include <QTreeWidget>

namespace {
struct Column {
    QString name, type, m, d, def;
    bool autoInc = false;
};

void fill(frmNewColumn* w, const Column& c)
{
    w->txtName->setText(c.name);
    w->cboDataType->setCurrentText(c.type);
    w->txtM->setText(c.m);
    w->txtD->setText(c.d);
    w->txtDefault->setText(c.def);
    w->chkAutoInc->setChecked(c.autoInc);
}

QStringList rowOf(QTreeWidget* list, int i)
{
    const QTreeWidgetItem* item = list->topLevelItem(i);
    return {item->text(0), item->text(1), item->text(2), item->text(3)};
}
} // namespace

class SchemaTest : public QObject {
    Q_OBJECT
    TestEnvironment env;

    QString openItems()
    {
        const QString path = env.makeDatabase("items.db", "CREATE TABLE items(id INTEGER PRIMARY KEY, name TEXT);"
                                                          "INSERT INTO items(name) VALUES ('first');");
        SetDatabasePath(path);
        Forms::form1().PushButton3->click();
        Forms::form2().List1->setCurrentItem(Forms::form2().List1->findItems("items", Qt::MatchExactly).first());
        Forms::form2().PushButton3->click();
        return path;
    }

    // "Add New Column" with the window worked by the given inputs.
    void addColumn(const Column& c, bool* stayedOpen = nullptr)
    {
        env.onModal = [&](QDialog* d) {
            auto* w = static_cast<frmNewColumn*>(d);
            fill(w, c);
            w->PushButton1->click();
            if (stayedOpen)
                *stayedOpen = w->result() == QDialog::Rejected && !w->txtName->text().isEmpty();
        };
        Forms::form3().PushButton2->click();
    }

private slots:
    void init() { env.reset(); }

    void addColumnStatements_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("m");
        QTest::addColumn<QString>("d");
        QTest::addColumn<QString>("def");
        QTest::addColumn<bool>("autoInc");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("pragmaType");
        QTest::addColumn<QString>("pragmaDefault");
        QTest::newRow("plain") << "note" << "TEXT" << "" << "" << "" << false
                               << "ALTER TABLE \"items\" ADD \"note\" TEXT" << "TEXT" << "<null>";
        QTest::newRow("precision and scale") << "price" << "NUMERIC" << "10" << "2" << "" << false
                                             << "ALTER TABLE \"items\" ADD \"price\" NUMERIC (10, 2)"
                                             << "NUMERIC (10, 2)" << "<null>";
        QTest::newRow("scale without precision") << "qty" << "NUMERIC" << "" << "3" << "0" << false
                                                 << "ALTER TABLE \"items\" ADD \"qty\" NUMERIC DEFAULT 0"
                                                 << "NUMERIC" << "0";
        QTest::newRow("text default") << "state" << "TEXT" << "8" << "" << "'new'" << false
                                      << "ALTER TABLE \"items\" ADD \"state\" TEXT (8) DEFAULT 'new'"
                                      << "TEXT (8)" << "'new'";
        QTest::newRow("quote in name") << "say \"x\"" << "BLOB" << "" << "" << "" << false
                                       << "ALTER TABLE \"items\" ADD \"say \"\"x\"\"\" BLOB" << "BLOB" << "<null>";
    }
    void addColumnStatements()
    {
        QFETCH(QString, name);
        QFETCH(QString, type);
        QFETCH(QString, m);
        QFETCH(QString, d);
        QFETCH(QString, def);
        QFETCH(bool, autoInc);
        QFETCH(QString, statement);
        QFETCH(QString, pragmaType);
        QFETCH(QString, pragmaDefault);
        const QString path = openItems();
        addColumn({name, type, m, d, def, autoInc});
        QCOMPARE(env.executed, QStringList{statement});
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes[0].text, QStringLiteral("Column added."));
        const auto info = Sqlite(path).rows("SELECT name, type, dflt_value, pk FROM pragma_table_info('items') WHERE cid = 2");
        QCOMPARE(info.first(), (QStringList{name, pragmaType, pragmaDefault, "0"}));
        // The grid is reloaded and shows the new column last, with its default in the new row.
        DataGrid* grid = Forms::form3().DataGrid1;
        QCOMPARE(grid->ColumnCount(), 3);
        QCOMPARE(grid->ColumnCaption(2), name);
        grid->model()->setData(grid->model()->index(1, 1), "second", Qt::EditRole);
        QVERIFY(grid->commitPendingRow());
        const QString stored = Sqlite(path).value(
            QStringLiteral("SELECT %1 FROM items WHERE name = 'second'").arg(QuoteIdentifier(name)));
        QCOMPARE(grid->recordModel()->displayText(1, 2), stored == "<null>" ? QString() : stored);
    }

    void autoIncrementColumnIsRefusedAndKept()
    {
        // SQLite adds no AUTOINCREMENT column to an existing table: the report,
        // no "Column added.", and the window keeps what was typed.
        const QString path = openItems();
        bool stayedOpen = false;
        addColumn({"code", "TEXT", "8", "", "", true}, &stayedOpen);
        QCOMPARE(env.executed, QStringList{"ALTER TABLE \"items\" ADD \"code\" TEXT (8) AUTOINCREMENT "});
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY(env.boxes[0].text.contains("in Vestrel2020/08/02.frmNewColumn.cmdAdd_Click at line 120"));
        QVERIFY(stayedOpen);
        QCOMPARE(Sqlite(path).value("SELECT count(*) FROM pragma_table_info('items')"), QStringLiteral("2"));
        // The grid is reloaded all the same and shows the table as it is.
        QCOMPARE(Forms::form3().DataGrid1->ColumnCount(), 2);
    }

    void blankNameDoesNothing()
    {
        openItems();
        bool stayedOpen = false;
        env.onModal = [&](QDialog* d) {
            auto* w = static_cast<frmNewColumn*>(d);
            w->txtName->setText("   ");
            w->PushButton1->click();
            stayedOpen = w->result() == QDialog::Rejected;
        };
        Forms::form3().PushButton2->click();
        QVERIFY(stayedOpen);
        QVERIFY(env.executed.isEmpty());
        QVERIFY(env.boxes.isEmpty());
    }

    void freshWindowEachTime()
    {
        openItems();
        QStringList seen;
        env.onModal = [&](QDialog* d) {
            auto* w = static_cast<frmNewColumn*>(d);
            seen << w->txtName->text() + "|" + w->cboDataType->currentText() + "|" + w->txtDefault->text()
                    + (w->chkAutoInc->isChecked() ? "|ticked" : "|unticked");
            QCOMPARE(w->windowTitle(), QStringLiteral("Add a New Column"));
            fill(w, {"typed", "BLOB", "1", "2", "3", true});
        };
        Forms::form3().PushButton2->click();
        Forms::form3().PushButton2->click();
        QCOMPARE(seen, (QStringList{"|TEXT||unticked", "|TEXT||unticked"}));
    }

    void newTableWorkedExample()
    {
        const QString path = env.makeDatabase("nt.db", "CREATE TABLE existing(a);");
        SetDatabasePath(path);
        Forms::form1().PushButton3->click();
        const QList<Column> columns = {{"id", "INTEGER PRIMARY KEY", "", "", "", true},
                                       {"name", "TEXT", "50", "", "", false},
                                       {"price", "NUMERIC", "10", "2", "ignored", false}};
        QList<QStringList> rows;
        Column current;
        env.onModal = [&](QDialog* d) {
            if (auto* w = dynamic_cast<frmNewColumn*>(d)) {
                fill(w, current);
                w->PushButton1->click();
                return;
            }
            auto* table = dynamic_cast<frmNewTable*>(d);
            QVERIFY(table);
            QCOMPARE(table->windowTitle(), QStringLiteral("Add New Table"));
            QCOMPARE(table->ListView1->headerItem()->text(3), QStringLiteral("Autoincrement"));
            QCOMPARE(table->ListView1->columnWidth(2), 67);
            for (const Column& c : columns) {
                current = c;
                table->PushButton4->click();
            }
            for (int i = 0; i < table->ListView1->topLevelItemCount(); ++i)
                rows << rowOf(table->ListView1, i);
            table->txtName->setText("people");
            table->PushButton2->click();
            QCOMPARE(table->result(), int(QDialog::Accepted));
        };
        Forms::form2().PushButton1->click();
        QCOMPARE(rows, (QList<QStringList>{{"id", "INTEGER PRIMARY KEY", "", " AUTOINCREMENT "},
                                           {"name", "TEXT", "(50)", ""},
                                           {"price", "NUMERIC", "(10, 2)", ""}}));
        QCOMPARE(env.executed, QStringList{"CREATE TABLE \"people\"(\"id\" INTEGER PRIMARY KEY   AUTOINCREMENT ,"
                                           "\"name\" TEXT (50) ,\"price\" NUMERIC (10, 2) )"});
        QVERIFY(env.boxes.isEmpty());
        Sqlite db(path);
        QCOMPARE(db.rows("SELECT name, type, pk FROM pragma_table_info('people')"),
                 (QList<QStringList>{{"id", "INTEGER", "1"}, {"name", "TEXT (50)", "0"}, {"price", "NUMERIC (10, 2)", "0"}}));
        QCOMPARE(db.value("SELECT count(*) FROM sqlite_master WHERE name = 'sqlite_sequence'"), QStringLiteral("1"));
        // The chooser lists it and selects its first entry.
        QVERIFY(!Forms::form2().List1->findItems("people", Qt::MatchExactly).isEmpty());
        QCOMPARE(Forms::form2().List1->currentRow(), 0);
        QVERIFY(Forms::form2().isEnabled());
        QCOMPARE(Forms::form2().Pointer.MousePointer(), 0);
    }

    void newTableListRules()
    {
        const QString path = env.makeDatabase("rules.db", "PRAGMA user_version = 1;");
        SetDatabasePath(path);
        Forms::form1().PushButton3->click();
        QStringList sent;
        env.onModal = [&](QDialog* d) {
            auto* table = static_cast<frmNewTable*>(d);
            for (const char* name : {"a", "b", "c", "a"}) {
                auto* row = new QTreeWidgetItem(table->ListView1);
                row->setText(0, name);
                row->setText(1, "TEXT");
            }
            // Save with rows but no name: nothing happens.
            table->PushButton2->click();
            QCOMPARE(table->result(), int(QDialog::Rejected));
            QCOMPARE(table->ListView1->topLevelItemCount(), 4);
            // Delete the middle row; the rest keep their order.
            table->ListView1->setCurrentItem(table->ListView1->topLevelItem(1));
            table->PushButton1->click();
            QCOMPARE(rowOf(table->ListView1, 1).first(), QStringLiteral("c"));
            // Duplicate names reach the database, which refuses: the window stays with its contents.
            table->txtName->setText("with blank");
            table->PushButton2->click();
            QCOMPARE(table->result(), int(QDialog::Rejected));
            QCOMPARE(table->txtName->text(), QStringLiteral("with blank"));
            QCOMPARE(table->ListView1->topLevelItemCount(), 3);
            sent = env.executed;
            QCOMPARE(env.boxes.size(), 1);
            QVERIFY(env.boxes[0].text.contains("duplicate column name"));
            // One field only: no comma.
            delete table->ListView1->topLevelItem(2);
            delete table->ListView1->topLevelItem(1);
            table->PushButton2->click();
            QCOMPARE(table->result(), int(QDialog::Accepted));
        };
        Forms::form2().PushButton1->click();
        QCOMPARE(sent, QStringList{"CREATE TABLE \"with blank\"(\"a\" TEXT  ,\"c\" TEXT  ,\"a\" TEXT  )"});
        QCOMPARE(env.executed.last(), QStringLiteral("CREATE TABLE \"with blank\"(\"a\" TEXT  )"));
        QCOMPARE(Forms::form2().List1->count(), 1);
    }

    void newTableNameWithoutRowsAndCancel()
    {
        const QString path = env.makeDatabase("cancel.db", "PRAGMA user_version = 1;");
        SetDatabasePath(path);
        Forms::form1().PushButton3->click();
        int opened = 0;
        env.onModal = [&](QDialog* d) {
            if (auto* w = dynamic_cast<frmNewColumn*>(d)) {
                // A default and a scale without precision in new-table mode.
                fill(w, {"x", "NUMERIC", "", "4", "5", true});
                w->PushButton1->click();
                return;
            }
            auto* table = static_cast<frmNewTable*>(d);
            ++opened;
            QCOMPARE(table->txtName->text(), QString());
            QCOMPARE(table->ListView1->topLevelItemCount(), 0);
            table->txtName->setText("lonely");
            // Escape keeps the window and what was typed; the columns keep their widths.
            QSignalSpy closed(table, &QDialog::finished);
            QTest::keyClick(table, Qt::Key_Escape);
            QCOMPARE(closed.count(), 0);
            QCOMPARE(table->txtName->text(), QStringLiteral("lonely"));
            for (int c = 0; c < 4; ++c)
                QCOMPARE(table->ListView1->columnWidth(c), QList<int>({100, 100, 67, 100})[c]);
            table->PushButton2->click(); // no rows: nothing
            QCOMPARE(table->result(), int(QDialog::Rejected));
            QCOMPARE(table->txtName->text(), QStringLiteral("lonely"));
            table->PushButton4->click();
            QCOMPARE(rowOf(table->ListView1, 0), (QStringList{"x", "NUMERIC", "", " AUTOINCREMENT "}));
            table->PushButton3->click(); // Cancel writes nothing
        };
        Forms::form2().PushButton1->click();
        env.onModal = [&](QDialog* d) {
            ++opened;
            auto* table = static_cast<frmNewTable*>(d);
            QCOMPARE(table->txtName->text(), QString());
            QCOMPARE(table->ListView1->topLevelItemCount(), 0);
            table->reject();
        };
        Forms::form2().PushButton1->click();
        QCOMPARE(opened, 2);
        QVERIFY(env.executed.isEmpty());
        QVERIFY(env.boxes.isEmpty());
        QCOMPARE(Forms::form2().List1->count(), 0);
        QCOMPARE(Forms::form2().List1->currentRow(), -1);
    }
};

QTEST_MAIN(SchemaTest)
#include "tst_schema.moc"
