// Exports against the files of a POSIX system: a process killed half-way, the
// modes and owners of files written over, symbolic links.
#include "grid/DataGrid.h"
#include "export/DataGrid1.h"
#include "export/TextSink.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

class ExportFilesTest : public GridSuite {
    Q_OBJECT

    // The exports work on the table window as loaded, not shown.
    static DataGrid* open(const QString& path, const QString& table) { return OpenTable(path, table); }
    QString exampleDatabase()
    {
        return env.makeDatabase("example.db", "CREATE TABLE t(id INTEGER, name TEXT); INSERT INTO t VALUES (1, 'Ann'), (2, NULL);");
    }

private slots:
    void init() { env.reset(); }

    void theChosenFileIsNeverHalfWritten()
    {
        // A child process killed in the middle of a large export leaves the old file whole.
        const QString path = env.makeDatabase(
            "kill.db", "CREATE TABLE k(n INTEGER, t TEXT);"
                       "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 300000) "
                       "INSERT INTO k SELECT i, 'text of row ' || i FROM s;");
        QDir(env.dir()).mkpath("kill");
        const QString target = env.path("kill/out.txt");
        WriteBytes(target, "the previous file");
        QProcess child;
        // Its own temporary files inside ours, which go when the suite ends.
        QDir(env.dir()).mkpath("child-tmp");
        QProcessEnvironment childEnvironment = QProcessEnvironment::systemEnvironment();
        childEnvironment.insert("TMPDIR", env.path("child-tmp"));
        child.setProcessEnvironment(childEnvironment);
        child.start(VESTREL_EXPORT_CHILD, {path, "k", target});
        QVERIFY(child.waitForStarted());
        QElapsedTimer timer;
        timer.start();
        // Killed once it writes the new text into a file of that folder (unnamed until it is complete).
        const QByteArray folder = QFile::encodeName(env.path("kill/"));
        auto writingThere = [&] {
            const QString fds = QStringLiteral("/proc/%1/fd").arg(child.processId());
            for (const QString& fd : QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
                char target[4096];
                const ssize_t n = readlink(QFile::encodeName(fds + "/" + fd).constData(), target, sizeof target);
                if (n > 0 && QByteArray(target, int(n)).startsWith(folder))
                    return true;
            }
            return false;
        };
        while (!writingThere() && timer.elapsed() < 60000 && !child.waitForFinished(0))
            QThread::msleep(1);
        QCOMPARE(child.state(), QProcess::Running);
        child.kill();
        QVERIFY(child.waitForFinished());
        QCOMPARE(ReadBytes(target), QByteArray("the previous file"));
    }

    // The disk fills up once the text has spilled to it: one report, at the
    // step that writes the file, and the chosen file is left as it was.
    void aFullDiskIsToldOnce()
    {
        const QString path = env.makeDatabase(
            "full.db", "CREATE TABLE f(n INTEGER, t TEXT);"
                       "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 5000) "
                       "INSERT INTO f SELECT i, 'text of row ' || i FROM s;");
        const QString target = env.path("full.txt");
        WriteBytes(target, "the previous file");
        DataGrid* grid = open(path, "f");
        QCOMPARE(grid->RowCount(), 5000);
        TextSink::setMemoryLimit(4096);
        // Files of this process stop growing at 32 KB, as on a disk that is full.
        rlimit before{};
        getrlimit(RLIMIT_FSIZE, &before);
        rlimit full = before;
        full.rlim_cur = 32 * 1024;
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &full);
        DataGrid1::SaveDataGridToFile(grid, target);
        setrlimit(RLIMIT_FSIZE, &before);
        TextSink::setMemoryLimit(qsizetype(4) << 20);
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(ReadBytes(target), QByteArray("the previous file"));
    }

    void modesOwnersAndLinks()
    {
        const QString path = exampleDatabase();
        DataGrid* grid = open(path, "t");
        const mode_t previous = umask(077);
        // A new file gets the mode the umask gives, small or spilled.
        DataGrid1::SaveDataGridToFile(grid, env.path("private.txt"));
        TextSink::setMemoryLimit(8);
        DataGrid1::SaveDataGridToCSVFile(grid, env.path("private-large.csv"));
        TextSink::setMemoryLimit(qsizetype(8) << 20);
        umask(previous);
        QCOMPARE(QFileInfo(env.path("private.txt")).permissions() & 0x0077, QFileDevice::Permissions());
        QCOMPARE(QFileInfo(env.path("private-large.csv")).permissions() & 0x0077, QFileDevice::Permissions());
        // An existing file keeps its mode.
        WriteBytes(env.path("shared.xml"), "old");
        QVERIFY(QFile::setPermissions(env.path("shared.xml"), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                                  | QFileDevice::ReadGroup | QFileDevice::WriteGroup));
        DataGrid1::SaveDataGridToXMLFile(grid, env.path("shared.xml"));
        QVERIFY(ReadBytes(env.path("shared.xml")).startsWith("<xml>"));
        QCOMPARE(QFileInfo(env.path("shared.xml")).permissions() & 0x0077,
                 QFileDevice::ReadGroup | QFileDevice::WriteGroup);
        // And its owner, where this process may give it (root).
        if (geteuid() == 0) {
            QVERIFY(chown(QFile::encodeName(env.path("shared.xml")).constData(), 65534, 65534) == 0);
            DataGrid1::SaveDataGridToXMLFile(grid, env.path("shared.xml"));
            struct stat info {};
            QVERIFY(stat(QFile::encodeName(env.path("shared.xml")).constData(), &info) == 0);
            QCOMPARE(info.st_uid, uid_t(65534));
            QCOMPARE(info.st_gid, gid_t(65534));
        }
        // A symbolic link is written through to the file it names.
        WriteBytes(env.path("real.txt"), "old");
        QVERIFY(QFile::link(env.path("real.txt"), env.path("link.txt")));
        DataGrid1::SaveDataGridToFile(grid, env.path("link.txt"));
        QVERIFY(QFileInfo(env.path("link.txt")).isSymLink());
        QCOMPARE(ReadBytes(env.path("real.txt")), ReadBytes(env.path("private.txt")));
        QVERIFY(env.boxes.isEmpty());
        // No temporary file is left beside them.
        QCOMPARE(QDir(env.dir()).entryList({"*.txt.*", "*.csv.*", "*.xml.*"}, QDir::Files), QStringList());
    }
};

int main(int argc, char** argv) { return RunWholeAndPaged<ExportFilesTest>(argc, argv); }

#include "tst_export_files.moc"
