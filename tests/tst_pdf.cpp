// The PDF export and the printer routines, with printers of the test's own.
#include "catalogue/Form2.h"
#include "grid/DataGrid.h"
#include "editor/Form3.h"
#include "export/GetSetPrinter.h"
#include "export/PdfExport.h"
#include "export/Wordpad1.h"
#include "platform/launcher.h"
#include "shell/Form1.h"
#include "common/Main.h"
#include "common/forms.h"
#include "testsupport.h"

#include <QAction>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QElapsedTimer>
#include "data/error.h"
#include <unistd.h>

namespace {
const QString kInstructions = QStringLiteral(
    "PDF Printer is not installed. Please follow these instructions:\r\n\r\n"
    "1) Go to Control Panel -> Printers and Faxes to add a local printer.\r\n"
    "2) Choose ''CPW2: (PDF Printer)'' on Select a Printer Port dialog box, click Next.\r\n"
    "3) Choose a Postscript printer (e.g. HP Color LaserJet PS), click Next.\r\n"
    "4) Enter PDF Printer as Printer name, click Next -> Finish.");
}

class PdfTest : public QObject {
    Q_OBJECT
    TestEnvironment env;
    QString database;

    void openTable()
    {
        SetDatabasePath(database);
        Forms::form1().PushButton3->click();
        Forms::form2().PushButton3->click();
    }

private slots:
    void initTestCase()
    {
        database = env.makeDatabase("pdf.db", "CREATE TABLE t(id INTEGER, name TEXT); INSERT INTO t VALUES (1, 'Ann');");
        QDir(env.dir()).mkpath("temp with blanks");
    }
    void init()
    {
        env.reset();
        qputenv("TEMP", env.path("temp with blanks").toUtf8());
    }

    void exportSwitchesTheDefaultAndBack()
    {
        openTable();
        QString defaultWhilePrinting;
        QByteArray textWhilePrinting;
        int limit = 0;
        SetRunHandler([&](const QString& program, const QStringList& args, int timeoutMs) {
            env.runs << (QStringList{program} + args);
            limit = timeoutMs;
            defaultWhilePrinting = env.printers->current;
            QFile f(args.value(1));
            if (f.open(QIODevice::ReadOnly))
                textWhilePrinting = f.readAll();
            return 0;
        });
        Forms::form3().mnuPDF->trigger();
        const QString temporary = env.path("temp with blanks/tmp.txt");
        QCOMPARE(env.runs, (QList<QStringList>{{Main::ProgramFolder() + "/vestrel-print", "/p", temporary}}));
        QCOMPARE(defaultWhilePrinting, QStringLiteral("PDF Printer"));
        QCOMPARE(textWhilePrinting, QByteArray("id\tname\t\r\n1\tAnn\t\r\n"));
        QVERIFY(limit >= 60000); // the helper is waited for, but not for ever
        QCOMPARE(env.printers->current, QStringLiteral("Office Laser"));
        QCOMPARE(env.printers->defaultsSet, (QStringList{"PDF Printer", "Office Laser"}));
        QVERIFY(!QFile::exists(temporary));
        QVERIFY(env.boxes.isEmpty());
    }

    void withoutThePdfPrinter()
    {
        env.printers->names = {"Office Laser", "pdf printer"}; // another case does not count
        openTable();
        QCOMPARE(env.boxes.size(), 1); // the start-up check
        QCOMPARE(env.boxes[0].text, kInstructions);
        QCOMPARE(env.boxes[0].style, 0);
        Forms::form3().mnuPDF->trigger();
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY(env.runs.isEmpty());
        QCOMPARE(env.printers->current, QStringLiteral("Office Laser"));
        QVERIFY(!QFile::exists(env.path("temp with blanks/tmp.txt")));
    }

    void startupCheckIsQuietWithThePrinter()
    {
        Forms::form1();
        QVERIFY(env.boxes.isEmpty());
    }

    void noPrinterAtAll()
    {
        env.printers->names.clear();
        env.printers->current.clear();
        QCOMPARE(GetSetPrinter::GetDefaultPrinter(), QString());
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes[0].text, QStringLiteral("Error No: 1801\r\nThere are no printers installed.\r\nHas occured in "
                                                   "modPrinters.GetDefaultPrinter\r\nPlease contact Technical Support"));
        QVERIFY(!GetSetPrinter::SetDefaultPrinter("PDF Printer"));
        QCOMPARE(env.boxes.size(), 1);
    }

    void missingHelper()
    {
        openTable();
        SetRunHandler({}); // really start it
        Main::SetProgramFolderForTesting(env.path("no helper here"));
        QCOMPARE(Wordpad1::GetWordpadPath(), QString());
        Forms::form3().mnuPDF->trigger();
        Main::SetProgramFolderForTesting(VESTREL_BUILD_DIR);
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY2(env.boxes[0].text.contains("in Vestrel2020/08/02.Form3.mnuPDF_Click at line 112"),
                 qPrintable(env.boxes[0].text));
        QVERIFY(!QFile::exists(env.path("temp with blanks/tmp.txt")));
        QCOMPARE(env.printers->current, QStringLiteral("Office Laser"));
    }

    void helperThatFails()
    {
        openTable();
        env.runStatus = 6;
        Forms::form3().mnuPDF->trigger();
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY(env.boxes[0].text.contains("at line 112"));
        QCOMPARE(env.printers->current, QStringLiteral("Office Laser"));
    }

    void aHelperThatHangsIsStopped()
    {
        SetRunHandler({});
        QElapsedTimer timer;
        timer.start();
        QVERIFY_THROWS_EXCEPTION(AppError, RunAndWait("sleep", {"30"}, 300));
        QVERIFY(timer.elapsed() < 10000);
        QCOMPARE(PrintHelperTimeoutMs(0), 60000);
        QCOMPARE(PrintHelperTimeoutMs(qint64(100) << 20), 60000 + 104857);
    }

    void temporaryFolder()
    {
        QCOMPARE(PdfTemporaryFile(), env.path("temp with blanks") + "/tmp.txt");
        qunsetenv("TEMP");
        const QByteArray tmpdir = qgetenv("TMPDIR");
        qputenv("TMPDIR", env.dir().toUtf8());
        // Without TEMP: a private folder of the program's, never a shared fixed name.
        const QString file = PdfTemporaryFile();
        QCOMPARE(QFileInfo(file).fileName(), QStringLiteral("tmp.txt"));
        QVERIFY(file != QDir::tempPath() + "/tmp.txt");
        QCOMPARE(QFileInfo(QFileInfo(file).path()).canonicalFilePath(), QDir(env.dir()).canonicalPath() + "/vestrel-" + QString::number(getuid()));
        QCOMPARE(QFileInfo(QFileInfo(file).path()).permissions() & 0x0077, QFileDevice::Permissions());
        // Someone else's folder of that name is not used.
        QVERIFY(QFile::setPermissions(QFileInfo(file).path(), QFileDevice::Permissions(0x7777)));
        QVERIFY_THROWS_EXCEPTION(AppError, PdfTemporaryFile());
        qputenv("TMPDIR", tmpdir);
    }
};

QTEST_MAIN(PdfTest)
#include "tst_pdf.moc"
