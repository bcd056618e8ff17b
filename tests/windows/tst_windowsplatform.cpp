// The facilities of Windows the program uses, against what the system (wine's,
// in these runs) really holds: the registry, winspool, file associations.
#include "export/Wordpad1.h"
#include "platform/desktop.h"
#include "platform/printers.h"
#include "platform/settings.h"
#include "common/Main.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <windows.h>
#include <winspool.h>

namespace {
std::wstring wide(const QString& s) { return s.toStdWString(); }

// The text of a registry value, or a null string where there is none.
QString registryText(HKEY root, const QString& key, const QString& name)
{
    wchar_t buffer[2048] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueW(root, wide(key).c_str(), name.isEmpty() ? nullptr : wide(name).c_str(), RRF_RT_REG_SZ, nullptr,
                     buffer, &size) != ERROR_SUCCESS)
        return QString();
    return QString::fromWCharArray(buffer);
}

void setRegistryText(HKEY root, const QString& key, const QString& name, const QString& value)
{
    const std::wstring text = wide(value);
    QCOMPARE(RegSetKeyValueW(root, wide(key).c_str(), name.isEmpty() ? nullptr : wide(name).c_str(), REG_SZ,
                             text.c_str(), DWORD((text.size() + 1) * sizeof(wchar_t))),
             LONG(ERROR_SUCCESS));
}

void deleteRegistryTree(HKEY root, const QString& key) { RegDeleteTreeW(root, wide(key).c_str()); }

// What GetDefaultPrinter says, without the program's code.
QString systemDefaultPrinter()
{
    wchar_t name[512] = {};
    DWORD size = 512;
    return GetDefaultPrinterW(name, &size) ? QString::fromWCharArray(name) : QString();
}
} // namespace

class WindowsPlatformTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Main::SetProgramFolderForTesting(QStringLiteral(VESTREL_BUILD_DIR)); }

    void settingsLiveInTheUsersRegistry()
    {
        const QString key = QStringLiteral("Software\\Pellorin\\Vestrel");
        deleteRegistryTree(HKEY_CURRENT_USER, key);
        QCOMPARE(GetSetting("Pellorin", "Vestrel", "SQLiteDatabase", "none"), QStringLiteral("none"));
        const QString path = QStringLiteral("C:\\Daten\\Zürich 東京.db3");
        SaveSetting("Pellorin", "Vestrel", "SQLiteDatabase", path);
        QCOMPARE(registryText(HKEY_CURRENT_USER, key, "SQLiteDatabase"), path);
        // What another program (or an older Vestrel) wrote there is read back as it stands.
        setRegistryText(HKEY_CURRENT_USER, key, "SQLiteDatabase", "D:\\other.db3");
        QCOMPARE(GetSetting("Pellorin", "Vestrel", "SQLiteDatabase"), QStringLiteral("D:\\other.db3"));
        deleteRegistryTree(HKEY_CURRENT_USER, key);
    }

    void printersThroughWinspool()
    {
        // The run's CUPS queues, which wine offers as winspool printers (scripts/windows-test.sh names them).
        const QStringList expected = qEnvironmentVariable("VESTREL_TEST_PRINTERS").split(',', Qt::SkipEmptyParts);
        if (expected.isEmpty())
            QSKIP("no printers were set up for this run");
        std::unique_ptr<PrinterSystem> printers = MakeSystemPrinters();
        const QStringList names = printers->printerNames();
        for (const QString& name : expected)
            QVERIFY2(names.contains(name), qPrintable(names.join(", ")));
        const QString before = printers->defaultPrinter();
        QCOMPARE(before, systemDefaultPrinter());
        // Setting the default is seen by the system, and read back, for each printer in turn.
        for (const QString& name : expected) {
            printers->setDefaultPrinter(name);
            QCOMPARE(systemDefaultPrinter(), name);
            QCOMPARE(printers->defaultPrinter(), name);
        }
        // A name that is no printer's is refused and changes nothing.
        try {
            printers->setDefaultPrinter(expected.first() + " (copy)");
            QFAIL("an unknown printer became the default");
        } catch (const PrinterError& e) {
            QCOMPARE(e.number(), 1801);
        }
        QCOMPARE(systemDefaultPrinter(), expected.last());
        printers->setDefaultPrinter(before);
        QCOMPARE(systemDefaultPrinter(), before);
    }

    void wordProcessorFromTheRegistryElseThePrintHelper()
    {
        const QString key = QStringLiteral("Wordpad.Document.1\\Protocol\\StdFileEditing\\Server");
        const QString previous = registryText(HKEY_CLASSES_ROOT, key, QString());
        const QString helper = QDir(QStringLiteral(VESTREL_BUILD_DIR)).filePath(QStringLiteral("vestrel-print.exe"));
        auto same = [](const QString& a, const QString& b) {
            return QFileInfo(a).canonicalFilePath().compare(QFileInfo(b).canonicalFilePath(), Qt::CaseInsensitive) == 0;
        };
        // Registered as Windows registers WordPad: quoted, with a folder named by a variable.
        QDir(QDir::tempPath()).mkpath(QStringLiteral("Vestrel WordPad"));
        const QString wordpad = QDir::tempPath() + QStringLiteral("/Vestrel WordPad/wordpad.exe");
        QFile file(wordpad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        qputenv("VESTREL_TEST_FOLDER", QDir::toNativeSeparators(QDir::tempPath()).toUtf8());
        setRegistryText(HKEY_CLASSES_ROOT, key, QString(), "\"%VESTREL_TEST_FOLDER%\\Vestrel WordPad\\wordpad.exe\"");
        QVERIFY2(same(Wordpad1::GetWordpadPath(), wordpad), qPrintable(Wordpad1::GetWordpadPath()));
        // A key that names a file no longer there, and no key at all (Windows 11 24H2): the print helper.
        QVERIFY(QFile::remove(wordpad));
        QVERIFY2(same(Wordpad1::GetWordpadPath(), helper), qPrintable(Wordpad1::GetWordpadPath()));
        deleteRegistryTree(HKEY_CLASSES_ROOT, QStringLiteral("Wordpad.Document.1"));
        QVERIFY2(same(Wordpad1::GetWordpadPath(), helper), qPrintable(Wordpad1::GetWordpadPath()));
        if (!previous.isNull())
            setRegistryText(HKEY_CLASSES_ROOT, key, QString(), previous);
    }

    void spreadsheetProgramFromTheAssociation()
    {
        const QString previous = registryText(HKEY_CLASSES_ROOT, ".xlsx", QString());
        deleteRegistryTree(HKEY_CLASSES_ROOT, ".xlsx");
        QCOMPARE(RegisteredProgramFor(".xlsx"), QString());
        // Registered as a spreadsheet program registers itself: an extension, its class, the open verb.
        setRegistryText(HKEY_CLASSES_ROOT, ".xlsx", QString(), "Vestrel.TestWorkbook");
        setRegistryText(HKEY_CLASSES_ROOT, "Vestrel.TestWorkbook\\shell\\open\\command", QString(),
                        "\"C:\\windows\\notepad.exe\" \"%1\"");
        QCOMPARE(QFileInfo(RegisteredProgramFor(".xlsx")).fileName().toLower(), QStringLiteral("notepad.exe"));
        deleteRegistryTree(HKEY_CLASSES_ROOT, ".xlsx");
        deleteRegistryTree(HKEY_CLASSES_ROOT, "Vestrel.TestWorkbook");
        QCOMPARE(RegisteredProgramFor(".xlsx"), QString());
        if (!previous.isNull())
            setRegistryText(HKEY_CLASSES_ROOT, ".xlsx", QString(), previous);
    }
};

QTEST_MAIN(WindowsPlatformTest)
#include "tst_windowsplatform.moc"
