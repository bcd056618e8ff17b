// The PDF export end to end: a CUPS server of the test's own with a cups-pdf
// queue described "PDF Printer", the real print helper, and the PDF read back
// by rendering its first page and reading it with OCR.
#include "catalogue/Form2.h"
#include "editor/Form3.h"
#include "export/GetSetPrinter.h"
#include "platform/launcher.h"
#include "platform/printers.h"
#include "shell/Form1.h"
#include "common/forms.h"
#include "testsupport.h"

#include <QAction>
#include <QDir>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <unistd.h>

class PdfEndToEndTest : public QObject {
    Q_OBJECT
    TestEnvironment env;
    QString cups;

    static QString script() { return QStringLiteral(VESTREL_SOURCE_DIR "/scripts/test-cups.sh"); }

private slots:
    void initTestCase()
    {
        if (geteuid() != 0)
            QSKIP("The test's own CUPS server runs the cups-pdf backend, which needs root.");
        // Before anything asks CUPS: our server, our settings, our home.
        // The server's filters run as another user, who must reach its folders.
        QFile::setPermissions(env.dir(), QFile::permissions(env.dir()) | QFile::ExeOther | QFile::ReadOther
                                             | QFile::ExeGroup | QFile::ReadGroup);
        cups = env.path("cups");
        QProcess start;
        start.start("bash", {script(), "start", cups});
        QVERIFY(start.waitForFinished(60000));
        QVERIFY2(start.exitCode() == 0, start.readAllStandardError().constData());
        for (const QByteArray& line : start.readAllStandardOutput().split('\n')) {
            const int eq = line.indexOf('=');
            if (eq > 0)
                qputenv(line.left(eq).constData(), line.mid(eq + 1));
        }
        QVERIFY(qEnvironmentVariable("CUPS_SERVER").startsWith(cups));
    }
    void cleanupTestCase()
    {
        if (!cups.isEmpty())
            QProcess::execute("bash", {script(), "stop", cups});
    }
    void init()
    {
        env.reset();
        SetPrinterSystem(MakeSystemPrinters());
        SetRunHandler({});
        qputenv("TEMP", env.path("").toUtf8());
    }

    void printersAsTheProgramSeesThem()
    {
        QCOMPARE(Printers().printerNames(), (QStringList{"Office Laser", "PDF Printer"}));
        QCOMPARE(GetSetPrinter::GetDefaultPrinter(), QStringLiteral("Office Laser"));
        QVERIFY(!GetSetPrinter::SetDefaultPrinter("pdf printer"));
        QVERIFY(GetSetPrinter::SetDefaultPrinter("PDF Printer"));
        QCOMPARE(GetSetPrinter::GetDefaultPrinter(), QStringLiteral("PDF Printer"));
        QVERIFY(GetSetPrinter::SetDefaultPrinter("Office Laser"));
        QVERIFY(env.boxes.isEmpty());
    }

    void defaultPrinterComesBackExactly()
    {
        const QString options = qEnvironmentVariable("HOME") + "/.cups/lpoptions";
        auto read = [&]() -> QByteArray {
            QFile f(options);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
        };
        auto write = [&](const QByteArray& bytes) {
            QFile f(options);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        const QByteArray original = read();
        // A default with an instance and options of its own.
        const QByteArray withInstance = "Dest office/duplex sides=two-sided-long-edge\nDefault office/duplex\n";
        write(withInstance);
        const QString previous = GetSetPrinter::GetDefaultPrinter();
        QCOMPARE(previous, QStringLiteral("Office Laser"));
        QVERIFY(GetSetPrinter::SetDefaultPrinter("PDF Printer"));
        QCOMPARE(GetSetPrinter::GetDefaultPrinter(), QStringLiteral("PDF Printer"));
        QVERIFY(GetSetPrinter::SetDefaultPrinter(previous));
        QCOMPARE(read(), withInstance);
        // No options file at all: none afterwards either.
        QFile::remove(options);
        SetPrinterSystem(MakeSystemPrinters());
        const QString none = GetSetPrinter::GetDefaultPrinter(); // no default: reported, empty
        env.boxes.clear();
        QVERIFY(GetSetPrinter::SetDefaultPrinter("PDF Printer"));
        QVERIFY(QFile::exists(options));
        QVERIFY(GetSetPrinter::SetDefaultPrinter(none));
        QCOMPARE(read(), QByteArray("<absent>"));
        write(original);
    }

    void exportMakesAReadablePdf()
    {
        const QString path = env.makeDatabase(
            "e2e.db", "CREATE TABLE stock(item TEXT, quantity INTEGER, place TEXT);"
                      "INSERT INTO stock VALUES ('HAMMER', 12, 'SHED'), ('LADDER', 3, 'GARAGE'), ('BUCKET', 45, 'YARD');");
        SetDatabasePath(path);
        Forms::form1().PushButton3->click();
        QVERIFY(env.boxes.isEmpty()); // the start-up check found the printer
        Forms::form2().PushButton3->click();
        Forms::form3().mnuPDF->trigger();
        QVERIFY2(env.boxes.isEmpty(), env.boxes.isEmpty() ? "" : qPrintable(env.boxes[0].text));
        QVERIFY(!QFile::exists(env.path("tmp.txt")));
        QCOMPARE(GetSetPrinter::GetDefaultPrinter(), QStringLiteral("Office Laser"));

        QString pdf;
        QTRY_VERIFY_WITH_TIMEOUT(!(pdf = [&] {
                                      const QStringList found = QDir(cups + "/pdf").entryList({"*.pdf"}, QDir::Files);
                                      return found.isEmpty() ? QString() : cups + "/pdf/" + found.first();
                                  }()).isEmpty(),
                                 60000);
        // The job is done when the server holds no more jobs and the file has stopped growing.
        auto jobsPending = [] {
            QProcess lpstat;
            lpstat.start("lpstat", {"-o"});
            lpstat.waitForFinished(10000);
            return !lpstat.readAllStandardOutput().trimmed().isEmpty();
        };
        QTRY_VERIFY_WITH_TIMEOUT(!jobsPending(), 60000);
        qint64 size = -1;
        QTRY_VERIFY_WITH_TIMEOUT(std::exchange(size, QFileInfo(pdf).size()) == QFileInfo(pdf).size() && size > 0, 20000);
        QProcess render;
        render.start("pdftoppm", {"-r", "200", "-png", "-f", "1", "-l", "1", "-singlefile", pdf, env.path("page")});
        QVERIFY(render.waitForFinished(60000));
        QCOMPARE(render.exitCode(), 0);
        QProcess ocr;
        ocr.start("tesseract", {env.path("page.png"), "stdout"});
        QVERIFY(ocr.waitForFinished(120000));
        const QString text = QString::fromUtf8(ocr.readAllStandardOutput());
        for (const char* word : {"item", "quantity", "place", "HAMMER", "LADDER", "BUCKET", "12", "45", "GARAGE", "SHED"})
            QVERIFY2(text.contains(QLatin1String(word)), qPrintable(QStringLiteral("%1 missing in:\n%2").arg(word, text)));
    }
};

QTEST_MAIN(PdfEndToEndTest)
#include "tst_pdf_endtoend.moc"
