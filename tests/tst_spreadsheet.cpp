// The spreadsheet export: a real workbook, read back, opened through xdg-open.
#include "catalogue/Form2.h"
#include "grid/DataGrid.h"
#include "editor/Form3.h"
#include "platform/launcher.h"
#include "platform/objects.h"
#include "platform/spreadsheet.h"
#include "shell/Form1.h"
#include "common/forms.h"
#include "platform/privatefolder.h"
#include "testsupport.h"

#include <QAction>
#include <QDir>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

namespace {
const char* kXlsxType = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";

struct Cell {
    QString text;
    bool number = false;
    bool operator==(const Cell& o) const { return text == o.text && number == o.number; }
};
using Sheet = QMap<QString, Cell>; // "A1" -> cell

Sheet readSheet(const QString& xlsx)
{
    QProcess unzip;
    unzip.start("unzip", {"-p", xlsx, "xl/worksheets/sheet1.xml"});
    unzip.waitForFinished(30000);
    const QString xml = QString::fromUtf8(unzip.readAllStandardOutput());
    static const QRegularExpression cell(
        R"re(<c r="([A-Z]+\d+)"(?: s="\d+")?( t="inlineStr")?>(?:<v>([^<]*)</v>|<is><t[^>]*>([^<]*)</t></is>)</c>)re");
    Sheet sheet;
    for (auto m = cell.globalMatch(xml); m.hasNext();) {
        const auto c = m.next();
        QString text = c.captured(2).isEmpty() ? c.captured(3) : c.captured(4);
        text.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&amp;", "&");
        sheet.insert(c.captured(1), {text, c.captured(2).isEmpty()});
    }
    return sheet;
}
} // namespace

class SpreadsheetTest : public QObject {
    Q_OBJECT
    TestEnvironment env;
    QString opened; // where the registered handler records what it was asked to open

    static DataGrid* open(const QString& path, const QString& table) { return OpenTable(path, table); }
    void registerSpreadsheetProgram(bool registered)
    {
        QFile::remove(env.path("xdg-config/mimeapps.list"));
        QFile::remove(env.path("xdg-data/applications/fakecalc.desktop"));
        if (!registered)
            return;
        QFile list(env.path("xdg-config/mimeapps.list"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(QByteArray("[Default Applications]\n") + kXlsxType + "=fakecalc.desktop\n");
        QFile desktop(env.path("xdg-data/applications/fakecalc.desktop"));
        QVERIFY(desktop.open(QIODevice::WriteOnly));
        desktop.write(("[Desktop Entry]\nType=Application\nName=Fake Calc\nExec=" + env.path("fakecalc.sh")
                       + " %f\nMimeType=" + kXlsxType + ";\n").toUtf8());
    }
    QString lastWorkbook()
    {
        const QDir folder(PrivateTemporaryFolder());
        const QStringList files = folder.entryList({"*.xlsx"}, QDir::Files, QDir::Time);
        return files.isEmpty() ? QString() : folder.filePath(files.first());
    }

private slots:
    void initTestCase()
    {
        // A desktop of our own: its data and settings folders, a display name
        // (xdg-open asks for one), and a small program registered for .xlsx files.
        for (const char* dir : {"xdg-data/applications", "xdg-config", "xdg-none", "tmp"})
            QDir(env.dir()).mkpath(dir);
        qputenv("XDG_DATA_HOME", env.path("xdg-data").toUtf8());
        qputenv("XDG_CONFIG_HOME", env.path("xdg-config").toUtf8());
        qputenv("XDG_DATA_DIRS", env.path("xdg-none").toUtf8());
        qputenv("TMPDIR", env.path("tmp").toUtf8());
        qputenv("DISPLAY", ":0");
        qunsetenv("XDG_CURRENT_DESKTOP");
        opened = env.path("opened.txt");
        const QString handler = env.path("fakecalc.sh");
        QFile script(handler);
        QVERIFY(script.open(QIODevice::WriteOnly));
        // (Written aside and moved in whole: the test sees the file only once it holds the line.)
        script.write(("#!/bin/sh\necho \"$1\" > '" + opened + ".part' && mv '" + opened + ".part' '" + opened + "'\n")
                         .toUtf8());
        script.close();
        QFile::setPermissions(handler, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void init()
    {
        env.reset();
        registerSpreadsheetProgram(true);
        for (const QString& f : QDir(PrivateTemporaryFolder()).entryList({"*.xlsx"}, QDir::Files))
            QFile::remove(env.path("tmp/" + f));
    }

    void numbersBecomeNumbers()
    {
        double v = 0;
        QVERIFY(ExcelApplication::isPlainNumber("42", &v) && v == 42);
        QVERIFY(ExcelApplication::isPlainNumber("-1.5e3", &v) && v == -1500);
        QVERIFY(ExcelApplication::isPlainNumber(".5", &v));
        for (const char* text : {"", "1,5", "12 apples", "0x10", "1e999", "inf", "nan", "1.2.3", " 7"})
            QVERIFY2(!ExcelApplication::isPlainNumber(text, &v), text);
    }

    void emptyGridDoesNothing()
    {
        int created = 0;
        RegisterObjectFactory("Excel.Application", [&] {
            ++created;
            return std::shared_ptr<void>(std::make_shared<ExcelApplication>());
        });
        open(env.makeDatabase("empty.db", "CREATE TABLE t(a, b);"), "t");
        Forms::form3().mnuXLS->trigger();
        RegisterObjectFactory("Excel.Application",
                              [] { return std::shared_ptr<void>(std::make_shared<ExcelApplication>()); });
        QCOMPARE(created, 0);
        QVERIFY(env.boxes.isEmpty());
        QVERIFY(lastWorkbook().isEmpty());
    }

    void noSpreadsheetProgram()
    {
        registerSpreadsheetProgram(false);
        open(env.makeDatabase("one.db", "CREATE TABLE t(a); INSERT INTO t VALUES (1);"), "t");
        Forms::form3().mnuXLS->trigger();
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes[0].text, QStringLiteral("Excel is not installed on this computer. You need to have it "
                                                   "installed to use this feature."));
        QCOMPARE(env.boxes[0].style, 0);
        QVERIFY(lastWorkbook().isEmpty());
        QVERIFY(env.launches.isEmpty());
        QCOMPARE(Forms::form3().Pointer.MousePointer(), 0);
    }

    void oneRow()
    {
        open(env.makeDatabase("row.db", "CREATE TABLE people(id INTEGER, name TEXT, note TEXT);"
                                        "INSERT INTO people VALUES (7, 'Ann <&>', NULL);"),
             "people");
        Forms::form3().mnuXLS->trigger();
        QVERIFY(env.boxes.isEmpty());
        QCOMPARE(env.launches.size(), 1);
        const QString book = env.launches[0].value(1);
        QCOMPARE(env.launches[0].value(0), QStringLiteral("xdg-open"));
        QVERIFY2(QFileInfo(book).fileName().startsWith("people-") && book.endsWith(".xlsx"), qPrintable(book));
        const Sheet sheet = readSheet(book);
        QCOMPARE(sheet, (Sheet{{"A1", {"id", false}}, {"B1", {"name", false}}, {"C1", {"note", false}},
                               {"A2", {"7", true}}, {"B2", {"Ann <&>", false}}}));
        QCOMPARE(Forms::form3().Pointer.MousePointer(), 0);
    }

    void workbooksNeverOverwriteEachOther()
    {
        open(env.makeDatabase("two.db", "CREATE TABLE people(name TEXT); INSERT INTO people VALUES ('Ann');"),
             "people");
        // A workbook the user saved under the table's name stays as it is.
        const QString saved = QDir(PrivateTemporaryFolder()).filePath("people.xlsx");
        {
            QFile f(saved);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("the user's own");
        }
        Forms::form3().mnuXLS->trigger();
        Forms::form3().mnuXLS->trigger();
        QVERIFY(env.boxes.isEmpty());
        QCOMPARE(env.launches.size(), 2);
        QVERIFY(env.launches[0].value(1) != env.launches[1].value(1));
        for (const QStringList& launch : env.launches)
            QCOMPARE(readSheet(launch.value(1)).value("A2").text, QStringLiteral("Ann"));
        QFile f(saved);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("the user's own"));
    }

    void gridLargerThanAWorksheetGivesOneMessage()
    {
        open(env.makeDatabase("huge.db", "CREATE TABLE h(n INTEGER);"
                                         "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 1048576) "
                                         "INSERT INTO h SELECT i FROM s;"),
             "h");
        Forms::form3().mnuXLS->trigger();
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY2(env.boxes[0].text.contains("does not fit in a worksheet"), qPrintable(env.boxes[0].text));
        QVERIFY(env.launches.isEmpty());
        QCOMPARE(Forms::form3().Pointer.MousePointer(), 0);
    }

    void everyRecordCellForCell()
    {
        DataGrid* grid = open(env.makeDatabase("many.db",
                                               "CREATE TABLE m(n INTEGER, t TEXT, r REAL);"
                                               "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 25) "
                                               "INSERT INTO m SELECT i, 'text ' || i, i / 4.0 FROM s;"
                                               "UPDATE m SET t = '0042' WHERE n = 2;"),
                              "m");
        for (int h = 40; h < 2000 && grid->VisibleRows() != 10; ++h)
            grid->resize(grid->width(), h);
        QCOMPARE(grid->VisibleRows(), 10);
        grid->Scroll(0, 9);
        Forms::form3().mnuXLS->trigger();
        QVERIFY(env.boxes.isEmpty());
        const Sheet sheet = readSheet(env.launches.value(0).value(1));
        QCOMPARE(sheet.size(), 3 * 26);
        for (int row = 0; row < 25; ++row)
            for (int c = 0; c < 3; ++c) {
                const QString ref = QString(QChar('A' + c)) + QString::number(row + 2);
                const QString shown = grid->recordModel()->displayText(row, c);
                double value = 0;
                const bool number = ExcelApplication::isPlainNumber(shown, &value);
                QCOMPARE(sheet.value(ref).number, number);
                if (number)
                    QCOMPARE(sheet.value(ref).text.toDouble(), value);
                else
                    QCOMPARE(sheet.value(ref).text, shown);
            }
        QCOMPARE(sheet.value("B3"), (Cell{"42", true})); // a spreadsheet turns "0042" into a number
        QCOMPARE(grid->currentIndex().row(), 24);
    }

    void opensThroughXdgOpen()
    {
        SetLaunchHandler({}); // the real xdg-open, with our registered program
        QFile::remove(opened);
        open(env.makeDatabase("real.db", "CREATE TABLE \"my table\"(a); INSERT INTO \"my table\" VALUES ('x');"),
             "my table");
        Forms::form3().mnuXLS->trigger();
        QVERIFY(env.boxes.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(opened), 15000);
        QFile f(opened);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString book = QString::fromUtf8(f.readAll()).trimmed();
        QVERIFY2(book.startsWith(env.path("tmp/vestrel-")) && book.contains("/my table-"), qPrintable(book));
        QCOMPARE(readSheet(book).value("A2").text, QStringLiteral("x"));
    }
};

QTEST_MAIN(SpreadsheetTest)
#include "tst_spreadsheet.moc"
