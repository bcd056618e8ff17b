// The table catalogue and the table chooser.
#include "catalogue/Form2.h"
#include "catalogue/SQLite.h"
#include "grid/DataGrid.h"
#include "editor/Form3.h"
#include "platform/settings.h"
#include "shell/Form1.h"
#include "common/connection.h"
#include "common/forms.h"
#include "testsupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {
QStringList entries(QListWidget* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}
} // namespace

class CatalogueTest : public QObject {
    Q_OBJECT
    TestEnvironment env;
    QString database;

private slots:
    void initTestCase()
    {
        database = env.makeDatabase("cat.db",
                                    "CREATE TABLE zeta(a); CREATE TABLE \"abc$x\"(a); CREATE TABLE \"ab$\"(a);"
                                    "CREATE TABLE \"x$yz\"(a); CREATE TABLE \"with blank\"(a);"
                                    "CREATE TABLE \"say \"\"hi\"\"\"(a); CREATE TABLE \"naïve\"(a);"
                                    "CREATE VIEW alpha AS SELECT * FROM zeta; INSERT INTO zeta VALUES (1);"
                                    "INSERT INTO \"say \"\"hi\"\"\" VALUES ('quoted');");
    }
    void init() { env.reset(); }

    void canOpenDatabase()
    {
        SetDatabasePath(QString());
        QVERIFY(!CanOpenDatabase());
        SetDatabasePath(env.dir());
        QVERIFY(!CanOpenDatabase());
        SetDatabasePath(env.path("absent.db"));
        QVERIFY(!CanOpenDatabase());
        QVERIFY(!QFile::exists(env.path("absent.db")));
        SetDatabasePath(database);
        QVERIFY(CanOpenDatabase());
        QVERIFY(env.boxes.isEmpty());
    }

    void fillTableList()
    {
        SetDatabasePath(database);
        QListWidget list;
        FillTableList(&list);
        const QStringList first = entries(&list);
        // The driver's order, views included, the fourth-character "$" rule applied.
        QStringList expected;
        for (const QStringList& row : Sqlite(database).rows(
                 "SELECT name FROM sqlite_master WHERE type IN ('table','view') ORDER BY type, name"))
            expected << row.first();
        QVERIFY(first.contains("alpha"));
        QVERIFY(first.contains("ab$"));
        QVERIFY(first.contains("x$yz"));
        QVERIFY(first.contains("say \"hi\""));
        QVERIFY(first.contains("naïve"));
        QVERIFY(first.contains("with blank"));
        QVERIFY(!first.contains("abc$x"));
        QCOMPARE(first.size(), expected.size() - 1);
        // A second fill gives the same entries, no duplicates.
        FillTableList(&list);
        QCOMPARE(entries(&list), first);
        // A failing refresh keeps the old entries and raises the error.
        SetDatabasePath(env.path("gone/none.db"));
        QVERIFY_THROWS_EXCEPTION(std::exception, FillTableList(&list));
        QCOMPARE(entries(&list), first);
    }

    void emptyDatabase()
    {
        SetDatabasePath(env.makeDatabase("empty.db", "PRAGMA user_version = 1;"));
        Forms::form1().PushButton3->click();
        QVERIFY(Forms::form2().isVisible());
        QCOMPARE(Forms::form2().List1->count(), 0);
        Forms::form2().PushButton3->click();
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes[0].text, QStringLiteral("Please select a table"));
        QVERIFY(!Forms::isLoaded3());
    }

    void nextOpensTheChosenTable()
    {
        SetDatabasePath(database);
        Forms::form1().PushButton3->click();
        Form2& chooser = Forms::form2();
        QVERIFY(chooser.isVisible());
        QVERIFY(!Forms::form1().isVisible());
        QCOMPARE(chooser.List1->currentRow(), 0);
        // With the selection cleared (Ctrl+click), the row that keeps the focus is not opened.
        chooser.List1->clearSelection();
        QCOMPARE(chooser.List1->currentRow(), 0);
        chooser.PushButton3->click();
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes[0].text, QStringLiteral("Please select a table"));
        QVERIFY(!Forms::form3().isVisible());
        env.boxes.clear();
        // A name holding a double quote opens too.
        const auto found = chooser.List1->findItems("say \"hi\"", Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        chooser.List1->setCurrentItem(found.first());
        const int chosen = chooser.List1->currentRow();
        chooser.PushButton3->click();
        QVERIFY(env.boxes.isEmpty());
        Form3& editor = Forms::form3();
        QVERIFY(editor.isVisible());
        QVERIFY(!chooser.isVisible());
        QCOMPARE(CurrentTableName, QStringLiteral("say \"hi\""));
        QCOMPARE(editor.Label2->text(), QStringLiteral(" Now Editing: say \"hi\""));
        QCOMPARE(editor.Label2->textFormat(), Qt::PlainText); // a name such as a<b>bold</b> is not markup
        QCOMPARE(editor.DataGrid1->RowCount(), 1);
        QCOMPARE(editor.DataGrid1->recordModel()->displayText(0, 0), QStringLiteral("quoted"));
        QCOMPARE(chooser.Pointer.MousePointer(), 0);
        // Back and Next again: same entries, same selection.
        const QStringList before = entries(chooser.List1);
        editor.PushButton1->click();
        QVERIFY(chooser.isVisible());
        QVERIFY(!editor.isVisible());
        QCOMPARE(entries(chooser.List1), before);
        QCOMPARE(chooser.List1->currentRow(), chosen);
        // Back to the start window, and Next refills from scratch.
        chooser.PushButton2->click();
        QVERIFY(Forms::form1().isVisible());
        Forms::form1().PushButton3->click();
        QCOMPARE(entries(chooser.List1), before);
        QCOMPARE(chooser.List1->currentRow(), 0);
    }

    void nextWithVanishedTableReportsAndStillShowsTheGrid()
    {
        const QString path = env.makeDatabase("vanish.db", "CREATE TABLE gone(a); CREATE TABLE kept(a);");
        SetDatabasePath(path);
        Forms::form1().PushButton3->click();
        Sqlite(path).exec("DROP TABLE gone;");
        Forms::form2().List1->setCurrentRow(0);
        Forms::form2().PushButton3->click();
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY(env.boxes[0].text.contains("no such table"));
        QVERIFY(env.boxes[0].text.contains("in Vestrel2020/08/02.Form2.PushButton3_Click at line "));
        QVERIFY(Forms::form3().isVisible());
        QCOMPARE(Forms::form3().DataGrid1->ColumnCount(), 0);
    }

    void startupGoesOnWithARememberedDatabase()
    {
        SaveSetting("Pellorin", "Vestrel", "SQLiteDatabase", database);
        Form1& start = Forms::form1();
        QVERIFY(Forms::isLoaded2());
        QVERIFY(Forms::form2().isVisible());
        QVERIFY(!start.isVisible());
        QCOMPARE(Forms::form2().List1->currentRow(), 0);
        QVERIFY(env.boxes.isEmpty());
    }

    void chooserLook()
    {
        Form2& chooser = Forms::form2();
        QCOMPARE(chooser.windowTitle(), QStringLiteral("Vestrel"));
        QCOMPARE(chooser.size(), QSize(536, 211));
        QCOMPARE(chooser.List1->geometry(), QRect(16, 20, 488, 94));
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(chooser.PushButton1, &enter);
        QCOMPARE(chooser.Pointer.MousePointer(), 99);
        QCoreApplication::sendEvent(chooser.List1, &enter);
        QCOMPARE(chooser.Pointer.MousePointer(), 0);
    }
};

QTEST_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
