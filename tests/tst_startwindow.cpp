// The start window, the connection string and recipe, and the shared routines.
#include "catalogue/Form2.h"
#include "platform/settings.h"
#include "shell/Form1.h"
#include "shell/start.h"
#include "common/Main.h"
#include "common/connection.h"
#include "common/errorreport.h"
#include "common/forms.h"
#include "platform/filedialog.h"
#include "testsupport.h"
#include "testplatform.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QMouseEvent>
#include <QMimeData>
#include <QDragEnterEvent>
#include <QUrl>

namespace {
QString remembered() { return GetSetting("Pellorin", "Vestrel", "SQLiteDatabase"); }
}

class StartWindowTest : public QObject {
    Q_OBJECT
    TestEnvironment env;
    QString database;

private slots:
    void initTestCase()
    {
        database = env.makeDatabase("real.db", "CREATE TABLE t(a); INSERT INTO t VALUES (1);");
    }
    void init() { env.reset(); }

    void dialogFiltersShowEveryFile()
    {
        // "*.*" stands for every file, names without a dot included.
        QCOMPARE(CommonDialog::qtNameFilters("SQLite Databases (*.db;*.db3)|*.db;*.db3|All Files (*.*)|*.*"),
                 (QStringList{"SQLite Databases (*.db *.db3)", "All Files (*)"}));
    }

    void connectionStringIsExact()
    {
        QCOMPARE(DatabaseConnectionString("/data/a.db"),
                 QStringLiteral("DRIVER=SQLite3 ODBC Driver;Database=/data/a.db;LongNames=0;Timeout=1000;"
                                "NoTXN=0;SyncPragma=NORMAL;StepAPI=0;"));
        // The path goes in verbatim: no trimming, quoting or guarding against ";".
        QCOMPARE(DatabaseConnectionString(" a;b.db "),
                 QStringLiteral("DRIVER=SQLite3 ODBC Driver;Database= a;b.db ;LongNames=0;Timeout=1000;"
                                "NoTXN=0;SyncPragma=NORMAL;StepAPI=0;"));
        QCOMPARE(DatabaseConnectionString(QString()),
                 QStringLiteral("DRIVER=SQLite3 ODBC Driver;Database=;LongNames=0;Timeout=1000;"
                                "NoTXN=0;SyncPragma=NORMAL;StepAPI=0;"));
    }

    void databaseFileExists()
    {
        QVERIFY(DatabaseFileExists(database));
        QVERIFY(!DatabaseFileExists(QString()));
        QVERIFY(!DatabaseFileExists(env.path("missing.db")));
        QVERIFY(!DatabaseFileExists(env.dir()));
        QVERIFY(DatabaseFileExists(env.path("re*.db")));
        QVERIFY(DatabaseFileExists(env.path("rea?.db")));
        QVERIFY(!DatabaseFileExists(env.path("zz*.db")));
    }

    void connectionReadsThePathBoxNow()
    {
        SetDatabasePath(database);
        auto first = OpenDatabaseConnection(ADODB::adUseClient);
        QCOMPARE(first->CursorLocation, 3);
        SetDatabasePath(env.path("missing-dir/none.db"));
        QVERIFY_THROWS_EXCEPTION(std::exception, OpenDatabaseConnection(std::nullopt));
        QVERIFY(first->isOpen()); // an open connection is not touched by a path change
    }

    void testConnectionMessages_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        QFile junk(env.path("junk.txt"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
        junk.close();
        QTest::newRow("empty") << QString() << "Could not connect.";
        QTest::newRow("missing file") << env.path("nothing.db") << "Could not connect.";
        QTest::newRow("directory") << env.dir() << "Could not connect.";
        QTest::newRow("not a database") << env.path("junk.txt") << "Could not connect.";
        QTest::newRow("real database") << database << "Connection successful.";
        // A ";" in the path would cut it in the connection string: refused, nothing created.
        QDir(env.dir()).mkpath("semi");
        Sqlite(env.path("semi/a;b=c.db")).exec("CREATE TABLE t(a);");
        QTest::newRow("semicolon") << env.path("semi/a;b=c.db") << "Could not connect.";
    }
    void testConnectionMessages()
    {
        QFETCH(QString, path);
        QFETCH(QString, message);
        Form1& form = Forms::form1();
        form.Text1->setText(path);
        env.boxes.clear();
        form.PushButton1->click();
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes[0].text, message);
        QCOMPARE(env.boxes[0].style, 0);
        QCOMPARE(env.boxes[0].caption, Main::ApplicationTitle());
        QCOMPARE(form.Pointer.MousePointer(), 0);
        QVERIFY(!QFile::exists(env.path("nothing.db"))); // testing never creates a file
        QCOMPARE(QDir(env.path("semi")).entryList(QDir::Files), QStringList{"a;b=c.db"});
    }

    void testConnectionWithoutDriver()
    {
        // The driver manager reads its driver list once per process, so the check
        // runs in a child started with a configuration that does not know the driver.
        if (qEnvironmentVariableIsSet("VESTREL_NO_DRIVER_CHILD")) {
            Form1& form = Forms::form1();
            form.Text1->setText(database);
            env.boxes.clear();
            form.PushButton1->click();
            QCOMPARE(env.boxes.size(), 1);
            QCOMPARE(env.boxes[0].text, QStringLiteral("Could not connect."));
            QCOMPARE(form.Pointer.MousePointer(), 0);
            return;
        }
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("VESTREL_NO_DRIVER_CHILD", "1");
        if (!HideOdbcDrivers(&environment, env.path("odbc")))
            QSKIP("the driver manager here cannot be given another driver list for one process");
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {"testConnectionWithoutDriver"});
        QVERIFY(child.waitForFinished(60000));
        QVERIFY2(child.exitCode() == 0, child.readAllStandardOutput().constData());
    }

    void rememberedPath()
    {
        // First start: empty box, nothing tested, the start window stays.
        Form1& first = Forms::form1();
        QCOMPARE(first.Text1->text(), QString());
        QVERIFY(!Forms::isLoaded2());
        // Each keystroke rewrites the remembered path.
        first.Text1->setFocus();
        QTest::keyClicks(first.Text1, "/tmp/ab");
        QCOMPARE(remembered(), QStringLiteral("/tmp/ab"));
        QTest::keyClick(first.Text1, Qt::Key_Backspace);
        QCOMPARE(remembered(), QStringLiteral("/tmp/a"));
        // The next start restores it; a path that no longer opens just stays in the box.
        Forms::UnloadAll();
        Form1& second = Forms::form1();
        QCOMPARE(second.Text1->text(), QStringLiteral("/tmp/a"));
        QVERIFY(!Forms::isLoaded2());
        QVERIFY(env.boxes.isEmpty());
    }

    void focusSelectsWholeText()
    {
        Form1& form = Forms::form1();
        form.Text1->setText("/some/path.db");
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.PushButton1->setFocus();
        form.Text1->setFocus();
        QCOMPARE(form.Text1->selectedText(), QStringLiteral("/some/path.db"));
    }

    void browseAndSample()
    {
        Form1& form = Forms::form1();
        form.Text1->setText("/kept.db");
        // Cancel keeps the box as it was.
        form.PushButton5->click();
        QCOMPARE(form.Text1->text(), QStringLiteral("/kept.db"));
        QCOMPARE(form.CommonDialog1.DialogTitle, QStringLiteral("Select SQLite Database"));
        QCOMPARE(form.CommonDialog1.Filter, QStringLiteral("SQLite Database (*.db)|*.db|All Files (*.*)|*.*|"));
        QCOMPARE(form.CommonDialog1.Flags, 2621441);
        env.dialogAnswers << database;
        form.PushButton5->click();
        QCOMPARE(form.Text1->text(), database);
        QCOMPARE(remembered(), database);
        // The sample path is put in the box and remembered, present or not.
        Main::SetProgramFolderForTesting(env.path("nowhere"));
        form.PushButton2->click();
        Main::SetProgramFolderForTesting(VESTREL_BUILD_DIR);
        QCOMPARE(form.Text1->text(), env.path("nowhere") + "/Samples/sample1.db3");
        QCOMPARE(remembered(), form.Text1->text());
        QVERIFY(env.boxes.isEmpty());
        // Help shows its one message.
        form.PushButton7->click();
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes[0].text, QStringLiteral("Make sure database file is not in used by another application."));
    }

    // "vestrel FILE": the path goes in the box and is remembered, then the
    // program goes on as "Next >" does; a file that cannot be opened leaves
    // the start window up with its path. No argument: as ever.
    void fileNamedOnTheCommandLine()
    {
        QCOMPARE(FileToOpen({"vestrel"}), QString());
        QCOMPARE(FileToOpen({"vestrel", ""}), QString());
        // (On Windows a path from the root is on the current drive.)
        const QString absolute = QDir::toNativeSeparators(QFileInfo("/data/a b.db").absoluteFilePath());
        QCOMPARE(FileToOpen({"vestrel", "/data/a b.db"}), absolute);
        QCOMPARE(FileToOpen({"vestrel", "file:///data/a%20b.db"}), absolute);
        QCOMPARE(FileToOpen({"vestrel", "rel.db"}), QDir::toNativeSeparators(QDir::current().absoluteFilePath("rel.db")));

        SaveSetting("Pellorin", "Vestrel", "SQLiteDatabase", "/remembered/other.db");
        StartProgram({"vestrel", database});
        Form1& start = Forms::form1();
        QCOMPARE(start.Text1->text(), QDir::toNativeSeparators(database));
        QCOMPARE(remembered(), start.Text1->text());
        QVERIFY(start.isVisible());
        QTRY_VERIFY(Forms::isLoaded2() && Forms::form2().isVisible());
        QVERIFY(!start.isVisible());
        QCOMPARE(Forms::form2().List1->count(), 1);
        QCOMPARE(Forms::form2().List1->item(0)->text(), QStringLiteral("t"));

        Forms::UnloadAll();
        const QString missing = env.path("missing.db");
        StartProgram({"vestrel", missing});
        Form1& again = Forms::form1();
        QTest::qWait(20);
        QVERIFY(again.isVisible());
        QCOMPARE(again.Text1->text(), QDir::toNativeSeparators(missing));
        QVERIFY(!Forms::isLoaded2() || !Forms::form2().isVisible());

        // Without one, the remembered path is opened as before.
        Forms::UnloadAll();
        SaveSetting("Pellorin", "Vestrel", "SQLiteDatabase", database);
        StartProgram({"vestrel"});
        QVERIFY(Forms::isLoaded2() && Forms::form2().isVisible());
        QVERIFY(!Forms::form1().isVisible());
        QVERIFY(env.boxes.isEmpty());
    }

    // A file dropped on the window, or on its box, puts its path in the box.
    void droppedFile()
    {
        Form1& form = Forms::form1();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.acceptDrops());
        for (QWidget* target : {static_cast<QWidget*>(&form), static_cast<QWidget*>(form.Text1)}) {
            form.Text1->setText("/before.db");
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(database)});
            const QPoint at = target->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &drop);
            QCOMPARE(form.Text1->text(), QDir::toNativeSeparators(database));
            QCOMPARE(remembered(), form.Text1->text());
        }
        // Text that is not a file is refused by the window.
        QMimeData text;
        text.setText("hello");
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &enter);
        QVERIFY(!enter.isAccepted());
        QVERIFY(!Forms::isLoaded2());
    }

    void sampleDatabaseOpens()
    {
        Form1& form = Forms::form1();
        form.PushButton2->click();
        form.PushButton1->click();
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes[0].text, QStringLiteral("Connection successful."));
    }

    void layoutAndLook()
    {
        Form1& form = Forms::form1();
        QCOMPARE(form.windowTitle(), QStringLiteral("Vestrel"));
        QCOMPARE(form.size(), QSize(536, 185));
        QCOMPARE(form.Text1->geometry(), QRect(88, 24, 361, 23));
        QCOMPARE(form.PushButton3->geometry(), QRect(8, 150, 520, 27));
        QCOMPARE(form.PushButton3->font().pointSizeF(), 11.25);
        QVERIFY(form.PushButton3->font().bold());
        QCOMPARE(form.Label7->font().pointSizeF(), 9.0);
        QVERIFY(form.Label7->font().bold());
        QCOMPARE(form.Text1->font().family(), QStringLiteral("Arial"));
        // Tab order starts at the path box.
        QCOMPARE(form.Text1->nextInFocusChain(), static_cast<QWidget*>(form.PushButton5));
    }

    void skin()
    {
        // With the skin file, window, frame and label take the button face; the box and buttons do not.
        Form1& skinned = Forms::form1();
        const QColor face = Main::ButtonFaceColour();
        QCOMPARE(skinned.palette().color(QPalette::Window), face);
        QCOMPARE(skinned.Frame1->palette().color(QPalette::Window), face);
        QCOMPARE(skinned.Label7->palette().color(QPalette::Window), face);
        QVERIFY(!skinned.styleSheet().isEmpty());
        QVERIFY(!skinned.Text1->autoFillBackground());
        // Without it, the white design stays and no style is applied.
        Forms::UnloadAll();
        Main::SetProgramFolderForTesting(env.path("empty"));
        Form1& plain = Forms::form1();
        Main::SetProgramFolderForTesting(VESTREL_BUILD_DIR);
        QCOMPARE(plain.palette().color(QPalette::Window), QColor(Qt::white));
        QCOMPARE(plain.Frame1->palette().color(QPalette::Window), QColor(Qt::white));
        QVERIFY(plain.styleSheet().isEmpty());
        QVERIFY(env.boxes.isEmpty());
    }

    // Under a dark desktop palette the text stays readable on the surfaces
    // whose colour the design fixes: the skin's light buttons and box, and
    // the white window without the skin. (Text is told by its darkest and
    // lightest pixels against the surface drawn.)
    void readableUnderADarkPalette()
    {
        const QPalette before = QApplication::palette();
        QPalette dark;
        for (auto role : {QPalette::Window, QPalette::Button, QPalette::Base, QPalette::AlternateBase})
            dark.setColor(role, QColor(0x30, 0x30, 0x30));
        for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
            dark.setColor(role, QColor(0xee, 0xee, 0xee));
        QApplication::setPalette(dark);
        const auto inkRange = [](QWidget* w) {
            const QImage image = w->grab().toImage();
            int darkest = 255, lightest = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const int l = qGray(image.pixel(x, y));
                    darkest = std::min(darkest, l);
                    lightest = std::max(lightest, l);
                }
            return std::pair{darkest, lightest};
        };
        Form1& skinned = Forms::form1();
        skinned.Text1->setText("/some/file.db");
        skinned.show();
        QVERIFY(QTest::qWaitForWindowExposed(&skinned));
        skinned.Text1->deselect();
        for (QWidget* w : {static_cast<QWidget*>(skinned.PushButton3), static_cast<QWidget*>(skinned.PushButton1),
                           static_cast<QWidget*>(skinned.Text1), static_cast<QWidget*>(skinned.Label7)}) {
            const auto [darkest, lightest] = inkRange(w);
            QVERIFY2(lightest > 200 && darkest < 90, qPrintable(w->objectName() + QString(" %1..%2").arg(darkest).arg(lightest)));
        }
        Forms::UnloadAll();
        Main::SetProgramFolderForTesting(env.path("empty"));
        Form1& plain = Forms::form1();
        Main::SetProgramFolderForTesting(VESTREL_BUILD_DIR);
        plain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain));
        const auto [darkest, lightest] = inkRange(plain.Label7);
        QApplication::setPalette(before);
        QVERIFY2(lightest > 200 && darkest < 90, qPrintable(QString("label %1..%2").arg(darkest).arg(lightest)));
    }

    void hoverPointer()
    {
        Form1& form = Forms::form1();
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(form.PushButton3, &enter);
        QCOMPARE(form.Pointer.MousePointer(), 99);
        QCoreApplication::sendEvent(form.Label7, &enter); // the label leaves it
        QCOMPARE(form.Pointer.MousePointer(), 99);
        QCoreApplication::sendEvent(form.Frame1, &enter);
        QCOMPARE(form.Pointer.MousePointer(), 0);
        form.Pointer.setMousePointer(11);
        QCoreApplication::sendEvent(form.PushButton1, &enter);
        QCoreApplication::sendEvent(&form, &enter);
        QCOMPARE(form.Pointer.MousePointer(), 11);
    }

    // The hand pointer comes in two sizes: the 64-pixel drawing stands at
    // twice the density, so at 200 % it is drawn as it is, never enlarged.
    void handPointerForDenseScreens()
    {
        const std::optional<QCursor> hand = Main::LoadHandCursor();
        QVERIFY(hand);
        QCOMPARE(hand->pixmap().size(), QSize(64, 64));
        QCOMPARE(hand->pixmap().devicePixelRatio(), 2.0);
        QCOMPARE(hand->hotSpot(), QPoint(7, 1));
        // Doubled pixel by pixel: no colour that the drawing does not hold.
        const QImage big = hand->pixmap().toImage();
        for (int y = 0; y < 64; y += 2)
            for (int x = 0; x < 64; x += 2)
                QCOMPARE(big.pixel(x + 1, y + 1), big.pixel(x, y));
        // The window icon, likewise, at 32, 64 and 128 pixels.
        QCOMPARE(Main::ApplicationIcon().availableSizes(), (QList<QSize>{{32, 32}, {64, 64}, {128, 128}}));
    }

    void everyMovementAppliesTheRuleUnderTheMouse()
    {
        Form1& form = Forms::form1();
        auto move = [](QWidget* w, QPoint at) {
            QMouseEvent e(QEvent::MouseMove, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
            QApplication::sendEvent(w, &e);
        };
        form.Pointer.setMousePointer(0);
        move(form.PushButton3, form.PushButton3->rect().center());
        QCOMPARE(form.Pointer.MousePointer(), 99);
        // From the button straight onto the frame that holds it, and onto the window.
        move(form.Frame1, QPoint(2, 2));
        QCOMPARE(form.Pointer.MousePointer(), 0);
        move(form.PushButton3, QPoint(3, 3));
        move(&form, QPoint(1, 1));
        QCOMPARE(form.Pointer.MousePointer(), 0);
        // A handler put the arrow back while the mouse rests on a button: moving on brings the hand.
        move(form.PushButton1, QPoint(4, 4));
        form.Pointer.setMousePointer(0);
        move(form.PushButton1, QPoint(5, 4));
        QCOMPARE(form.Pointer.MousePointer(), 99);
        // The label leaves the pointer as it is; nothing replaces the hourglass.
        move(form.Label7, QPoint(2, 2));
        QCOMPARE(form.Pointer.MousePointer(), 99);
        form.Pointer.setMousePointer(11);
        move(form.PushButton1, QPoint(4, 4));
        move(form.Frame1, QPoint(2, 2));
        QCOMPARE(form.Pointer.MousePointer(), 11);
        form.Pointer.setMousePointer(0);
    }

    void applicationTitle()
    {
        QCOMPARE(Main::ShortenTitle("Vestrel"), QStringLiteral("Vestrel"));
        QCOMPARE(Main::ShortenTitle("Vestrel Editor"), QStringLiteral("Vestrel"));
        const QString five = "abcdefghi abcdefghi abcdefghi abcdefghi abcdefghi";
        QCOMPARE(five.size(), 49);
        QCOMPARE(Main::ShortenTitle(five).size(), 39);
        const QString six = five + " abcdefghi";
        QCOMPARE(Main::ShortenTitle(six), QStringLiteral("abcdefghi abcdefghi abcdefghi abcdefghi"));
    }

    void homePage()
    {
        int hits = 0;
        for (int seed = 0; seed < 86400; ++seed) {
            const int n = Main::HomePageDraw(seed);
            QVERIFY(n >= 1 && n <= 100);
            hits += n == 7;
        }
        QVERIFY2(hits > 86400 / 100 * 0.8 && hits < 86400 / 100 * 1.2, qPrintable(QString::number(hits)));
        // Opening goes through the launcher with xdg-open, once at most.
        for (int i = 0; i < 20; ++i)
            Main::MaybeOpenHomePage();
        QVERIFY(env.launches.size() <= 20);
        for (const QStringList& l : env.launches)
            QCOMPARE(l, (QStringList{"xdg-open", kHomePageAddress}));
    }

    void fileRoutines()
    {
        QVERIFY(!Main::FileExists(QString()));
        QVERIFY(!Main::FileExists(env.path("none")));
        QVERIFY(Main::FileExists(database));
        const QString locked = env.path("readonly.txt");
        QFile f(locked);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QFile::setPermissions(locked, QFile::ReadOwner);
        QDir(env.dir()).mkpath("ro");
        QFile g(env.path("ro/x.txt"));
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.close();
        QFile::setPermissions(env.path("ro/x.txt"), QFile::ReadOwner);
        Main::DeleteFileQuietly(locked);
        Main::DeleteFileQuietly(env.path("ro/*.txt"));
        Main::DeleteFileQuietly(env.path("never-there.txt"));
        QVERIFY(!QFile::exists(locked));
        QVERIFY(!QFile::exists(env.path("ro/x.txt")));
        QVERIFY(env.boxes.isEmpty());
    }
};

QTEST_MAIN(StartWindowTest)
#include "tst_startwindow.moc"
