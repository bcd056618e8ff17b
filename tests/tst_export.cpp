// The file exports: bytes exactly as the formats give them, from the whole grid.
#include "catalogue/Form2.h"
#include "grid/DataGrid.h"
#include "editor/Form3.h"
#include "export/DataGrid1.h"
#include "export/TextSink.h"
#include "shell/Form1.h"
#include "common/forms.h"
#include "common/progress.h"
#include "testsupport.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

class ExportTest : public GridSuite {
    Q_OBJECT

    // The exports work on the table window as loaded, not shown.
    static DataGrid* open(const QString& path, const QString& table) { return OpenTable(path, table); }
    // Makes the grid show exactly this many rows.
    static void showRows(DataGrid* grid, int rows)
    {
        for (int h = 40; h < 2000 && grid->VisibleRows() != rows; ++h)
            grid->resize(grid->width(), h);
        QCOMPARE(grid->VisibleRows(), rows);
    }
    QString exampleDatabase()
    {
        return env.makeDatabase("example.db", "CREATE TABLE t(id INTEGER, name TEXT); INSERT INTO t VALUES (1, 'Ann'), (2, NULL);");
    }

private slots:
    void init() { env.reset(); }

    void menu()
    {
        open(exampleDatabase(), "t");
        QStringList items;
        for (QAction* a : Forms::form3().mnuSaveAs->actions())
            items << a->text();
        QCOMPARE(items, (QStringList{"TXT", "XLS", "CSV", "PDF", "XML"}));
        QCOMPARE(Forms::form3().mnuSaveAs->title(), QStringLiteral("Save As"));
    }

    void workedExamples()
    {
        DataGrid* grid = open(exampleDatabase(), "t");
        DataGrid1::SaveDataGridToFile(grid, env.path("ex.txt"));
        QCOMPARE(ReadBytes(env.path("ex.txt")),
                 QByteArray::fromHex("6964096E616D65090D0A3109416E6E090D0A3209090D0A"));
        DataGrid1::SaveDataGridToXMLFile(grid, env.path("ex.xml"));
        QCOMPARE(ReadBytes(env.path("ex.xml")),
                 QByteArray("<xml>\r\n")
                     + QByteArray::fromHex("3C726F773E0D0A3C69643E313C2F69643E0D0A3C6E616D653E416E6E3C2F6E616D653E0D0A3C2F726F773E0D0A")
                     + "<row>\r\n<id>2</id>\r\n<name></name>\r\n</row>\r\n</xml>");
        DataGrid1::SaveDataGridToCSVFile(grid, env.path("ex.csv"));
        QCOMPARE(ReadBytes(env.path("ex.csv")), QByteArray("id,name\r\n1,Ann\r\n2,\r\n"));
        QVERIFY(env.boxes.isEmpty());
        // After the walk the last record is current.
        QCOMPARE(grid->currentIndex().row(), 1);
    }

    void emptyGrid()
    {
        DataGrid* grid = open(env.makeDatabase("none.db", "CREATE TABLE \"a b\"(\"x y\" TEXT, z);"), "a b");
        DataGrid1::SaveDataGridToFile(grid, env.path("e.txt"));
        DataGrid1::SaveDataGridToXMLFile(grid, env.path("e.xml"));
        DataGrid1::SaveDataGridToCSVFile(grid, env.path("e.csv"));
        QCOMPARE(ReadBytes(env.path("e.txt")), QByteArray("x y\tz\t\r\n"));
        QCOMPARE(ReadBytes(env.path("e.xml")), QByteArray("<xml>\r\n</xml>"));
        QCOMPARE(ReadBytes(env.path("e.csv")), QByteArray("x y,z\r\n"));
    }

    void pagesOfVisibleRows()
    {
        const QString path = env.makeDatabase(
            "pages.db", "CREATE TABLE p(n INTEGER, t TEXT);"
                        "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 25) "
                        "INSERT INTO p SELECT i, 'row ' || i FROM s;"
                        "UPDATE p SET t = 'a' || char(9) || 'b' WHERE n = 3;"
                        "UPDATE p SET t = '<&> ü' WHERE n = 4;");
        DataGrid* grid = open(path, "p");
        Forms::form3().show();
        showRows(grid, 10);
        // Scrolled down before the export: still every record once, from the first.
        grid->Scroll(0, 12);
        grid->setCurrentIndex(grid->model()->index(17, 0));
        DataGrid1::SaveDataGridToFile(grid, env.path("p.txt"));
        QByteArray expected = "n\tt\t\r\n";
        for (int i = 1; i <= 25; ++i) {
            // Text is written in the locale's encoding (UTF-8 here, the ANSI code page on Windows).
            const QByteArray t = i == 3 ? "a\tb" : i == 4 ? LocaleBytes("<&> ü") : "row " + QByteArray::number(i);
            expected += QByteArray::number(i) + "\t" + t + "\t\r\n";
        }
        QCOMPARE(ReadBytes(env.path("p.txt")), expected);
        grid->Scroll(0, 5);
        DataGrid1::SaveDataGridToXMLFile(grid, env.path("p.xml"));
        const QByteArray xml = ReadBytes(env.path("p.xml"));
        QCOMPARE(xml.count("<row>"), 25);
        QVERIFY(xml.contains("<row>\r\n<n>4</n>\r\n<t><&> " + LocaleBytes("ü") + "</t>\r\n</row>\r\n<row>\r\n<n>5</n>"));
        QVERIFY(xml.endsWith("<n>25</n>\r\n<t>row 25</t>\r\n</row>\r\n</xml>"));
        QVERIFY(env.boxes.isEmpty());
    }

    void longWorkShowsProgress()
    {
        // With no delay, every long step shows its bar: opening and exporting.
        QList<std::tuple<QString, qsizetype, qsizetype>> updates;
        LongWork::setDelay(0);
        LongWork::setObserver([&](const QString& label, qsizetype done, qsizetype total) {
            updates << std::make_tuple(label, done, total);
        });
        const QString path = env.makeDatabase(
            "progress.db", "CREATE TABLE p(n INTEGER);"
                           "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 45000) "
                           "INSERT INTO p SELECT i FROM s;");
        DataGrid* grid = open(path, "p");
        const auto opened = updates;
        updates.clear();
        DataGrid1::SaveDataGridToFile(grid, env.path("progress.txt"));
        LongWork::setDelay(500);
        LongWork::setObserver(nullptr);
        QVERIFY(!opened.isEmpty());
        QCOMPARE(std::get<0>(opened.first()), QStringLiteral("Opening p..."));
        QCOMPARE(grid->dataSource()->isPaged(), paged);
        if (!paged)
            QCOMPARE(opened.last(), std::make_tuple(QStringLiteral("Opening p..."), qsizetype(45000), qsizetype(45000)));
        QVERIFY(!updates.isEmpty());
        QCOMPARE(updates.last(), std::make_tuple(QStringLiteral("Exporting the table..."), qsizetype(45000), qsizetype(45000)));
        for (int i = 1; i < updates.size(); ++i)
            QVERIFY(std::get<1>(updates[i]) >= std::get<1>(updates[i - 1]));
        QCOMPARE(ReadBytes(env.path("progress.txt")).count("\r\n"), 45001);
    }

    void menuItemsAndTheSaveDialog()
    {
        const QString path = exampleDatabase();
        DataGrid* grid = open(path, "t");
        Form3& form = Forms::form3();
        // An existing longer file is replaced, nothing of it left.
        {
            QFile old(env.path("out.txt"));
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(5000, 'x'));
        }
        QStringList seen;
        CommonDialog::setHandler([&](const CommonDialog::Request& r) {
            seen << (r.save ? "save|" : "open|") + r.title + "|" + r.filter + "|" + r.fileName;
            return env.dialogAnswers.isEmpty() ? QString() : env.dialogAnswers.takeFirst();
        });
        // Replacing it is asked first: No returns to the dialog, Cancel there changes nothing.
        env.dialogAnswers << env.path("out.txt");
        env.answers << vbNo;
        form.mnuTXT->trigger();
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes[0].text, QStringLiteral("out.txt already exists.\nDo you want to replace it?"));
        QCOMPARE(env.boxes[0].caption, QStringLiteral("Save"));
        QCOMPARE(seen.size(), 2);
        QCOMPARE(ReadBytes(env.path("out.txt")).size(), 5000);
        env.boxes.clear();
        env.dialogAnswers << env.path("out.txt");
        env.answers << vbYes;
        form.mnuTXT->trigger();
        QCOMPARE(ReadBytes(env.path("out.txt")).size(), 23);
        env.boxes.clear();
        // A pending edit is written before the walk reads the grid.
        grid->model()->setData(grid->model()->index(1, 1), "Bo", Qt::EditRole);
        env.dialogAnswers << env.path("out-no-extension");
        form.mnuCSV->trigger();
        QCOMPARE(ReadBytes(env.path("out-no-extension")), QByteArray("id,name\r\n1,Ann\r\n2,Bo\r\n"));
        QCOMPARE(Sqlite(path).value("SELECT name FROM t WHERE id = 2"), QStringLiteral("Bo"));
        // Cancel writes nothing; the dialog opened with the name chosen last.
        QFile::remove(env.path("out.txt"));
        form.mnuXML->trigger();
        QVERIFY(!QFile::exists(env.path("out.txt")));
        QCOMPARE(seen, (QStringList{"save|Save|Text Files (*.txt)|*.txt|",
                                    "save|Save|Text Files (*.txt)|*.txt|" + env.path("out.txt"),
                                    "save|Save|Text Files (*.txt)|*.txt|",
                                    "save|Save|CSV Files (*.csv)|*.csv|" + env.path("out.txt"),
                                    "save|Save|XML Files (*.xml)|*.xml|" + env.path("out-no-extension")}));
        QCOMPARE(form.Pointer.MousePointer(), 0);
        QVERIFY(env.boxes.isEmpty());
    }

    void unwritablePath()
    {
        DataGrid* grid = open(exampleDatabase(), "t");
        const QString target = env.path("no-such-folder/out.txt");
        DataGrid1::SaveDataGridToFile(grid, target);
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY(env.boxes[0].text.contains("in Vestrel2020/08/02.Datagrid1.SaveDataGridToFile at line 134"));
        QVERIFY(!QFile::exists(target));
        DataGrid1::SaveDataGridToCSVFile(grid, target);
        QCOMPARE(env.boxes.size(), 2);
        QVERIFY(env.boxes[1].text.contains("in Vestrel2020/08/02.Datagrid1.SaveDataGridToCSVFile at line 134"));
        DataGrid1::SaveDataGridToXMLFile(grid, target);
        QVERIFY(env.boxes[2].text.contains("in Vestrel2020/08/02.Datagrid1.SaveDataGridToXMLFile at line 130"));
        QVERIFY(!QFile::exists(target));
    }

    void sameBytesAsTheSqliteShell()
    {
        const QString path = env.makeDatabase(
            "shell.db",
            "CREATE TABLE big(id INTEGER PRIMARY KEY, label TEXT, amount INTEGER, ratio REAL, note TEXT);"
            "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 3000) "
            "INSERT INTO big SELECT i, 'Zürich ' || i || ' 東京', i * 7919 - 5000000, "
            "CASE i % 5 WHEN 0 THEN 0.1 * i WHEN 1 THEN 1e20 / i WHEN 2 THEN -i / 3.0 WHEN 3 THEN 2.5 ELSE NULL END, "
            "CASE WHEN i % 4 = 0 THEN NULL ELSE 'note ' || (i * i) END FROM s;"
            "INSERT INTO big VALUES (3001, 'max', 9223372036854775807, 32500000000.0, '');");
        if (QStandardPaths::findExecutable("sqlite3").isEmpty() || LocaleBytes("ü") != "\xC3\xBC")
            QSKIP("the sqlite3 shell writes UTF-8 and is run here only where it is the locale's encoding");
        DataGrid* grid = open(path, "big");
        DataGrid1::SaveDataGridToFile(grid, env.path("big.txt"));
        QProcess shell;
        shell.start("sqlite3", {"-header", "-separator", "\t", "-newline", "\t\r\n", path, "SELECT * FROM big;"});
        QVERIFY(shell.waitForFinished(60000));
        const QByteArray reference = shell.readAllStandardOutput();
        QCOMPARE(reference.count("\r\n"), 3002);
        const QByteArray ours = ReadBytes(env.path("big.txt"));
        if (ours != reference) {
            const QList<QByteArray> a = ours.split('\n'), b = reference.split('\n');
            for (int i = 0; i < std::min(a.size(), b.size()); ++i)
                QCOMPARE(a[i], b[i]);
        }
        QCOMPARE(ours, reference);
        // The same when the text spills to a temporary file on the way.
        TextSink::setMemoryLimit(1000);
        DataGrid1::SaveDataGridToFile(grid, env.path("big-spilled.txt"));
        DataGrid1::SaveDataGridToFile(grid, env.path("no-such-folder/big.txt"));
        TextSink::setMemoryLimit(qsizetype(8) << 20);
        QCOMPARE(ReadBytes(env.path("big-spilled.txt")), reference);
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY(env.boxes[0].text.contains("at line 134"));
        QVERIFY(!QFile::exists(env.path("no-such-folder/big.txt")));
        QVERIFY(QDir(QDir::tempPath()).entryList({"vestrel-export-*"}).isEmpty());
    }

    void invalidUtf8IsWrittenAsShown()
    {
        const QString path = env.makeDatabase("bad.db", "CREATE TABLE b(t TEXT); INSERT INTO b VALUES (CAST(x'41FF42' AS TEXT));");
        DataGrid* grid = open(path, "b");
        // The byte that is no UTF-8 is shown as U+FFFD (where the driver hands UTF-16,
        // as on Windows, it has already dropped it); the files hold what is shown.
        const QString shown = grid->recordModel()->displayText(0, 0);
        QVERIFY2(shown == QStringLiteral("A\uFFFDB") || shown == QStringLiteral("AB"), qPrintable(shown));
        DataGrid1::SaveDataGridToFile(grid, env.path("bad.txt"));
        DataGrid1::SaveDataGridToCSVFile(grid, env.path("bad.csv"));
        QCOMPARE(ReadBytes(env.path("bad.txt")), "t\t\r\n" + LocaleBytes(shown) + "\t\r\n");
        QCOMPARE(ReadBytes(env.path("bad.csv")), "t\r\n" + LocaleBytes(shown) + "\r\n");
    }

    void csvReadBackByARealReader()
    {
        const QString path = env.makeDatabase(
            "csv.db", "CREATE TABLE c(\"a,b\" TEXT, q TEXT, lines TEXT, plain TEXT);"
                      "INSERT INTO c VALUES ('x,y', 'say \"hi\"', 'one' || char(13) || char(10) || 'two', 'ü');"
                      "INSERT INTO c VALUES (NULL, '\"', 'lf' || char(10), ' lead');");
        DataGrid* grid = open(path, "c");
        DataGrid1::SaveDataGridToCSVFile(grid, env.path("c.csv"));
        QCOMPARE(ReadBytes(env.path("c.csv")),
                 "\"a,b\",q,lines,plain\r\n\"x,y\",\"say \"\"hi\"\"\",\"one\r\ntwo\"," + LocaleBytes("ü")
                     + "\r\n,\"\"\"\",\"lf\n\", lead\r\n");
        if (QStandardPaths::findExecutable("sqlite3").isEmpty() || LocaleBytes("ü") != "\xC3\xBC")
            return;
        // sqlite3's CSV import reads it back into the same cells.
        const QString copy = env.path("copy.db");
        QProcess shell;
        shell.start("sqlite3", {copy, ".import --csv " + env.path("c.csv") + " back"});
        QVERIFY(shell.waitForFinished(60000));
        QCOMPARE(shell.exitCode(), 0);
        Sqlite db(copy);
        QCOMPARE(db.rows("SELECT name FROM pragma_table_info('back')"),
                 (QList<QStringList>{{"a,b"}, {"q"}, {"lines"}, {"plain"}}));
        QCOMPARE(db.rows("SELECT * FROM back"),
                 (QList<QStringList>{{"x,y", "say \"hi\"", "one\r\ntwo", "ü"}, {"", "\"", "lf\n", " lead"}}));
    }
};

int main(int argc, char** argv) { return RunWholeAndPaged<ExportTest>(argc, argv); }

#include "tst_export.moc"
