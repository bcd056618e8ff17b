// The error report's text and the trap's resume rules.
#include "data/error.h"
#include "shell/Application.h"
#include "common/errorreport.h"
#include "testsupport.h"

#include <QTest>
#include <QTimer>

class ErrorReportTest : public QObject {
    Q_OBJECT
    TestEnvironment env;

private slots:
    void init() { env.reset(); }

    void messageIsExact()
    {
        const QString text = ApplicationErrorMessage(QStringLiteral("Disk full"),
                                                     QStringLiteral("in Vestrel2020/08/02.Form1.Form_Load "), 106);
        QCOMPARE(text, QStringLiteral("Disk full\r\nin Vestrel2020/08/02.Form1.Form_Load at line 106\r\r"
                                      "Please email screenshot of this message to ")
                           + kSupportEmail);
        QVERIFY(ApplicationErrorMessage(QString(), QStringLiteral("in X "), 0).startsWith(QLatin1String("\r\nin X at line 0")));
    }

    void boxHasWarningIconOkAndCaption()
    {
        Trap trap(QStringLiteral("in Vestrel.Form3.mnuXLS_Click "));
        trap(100, [] { throw AppError(QStringLiteral("boom")); });
        QCOMPARE(env.boxes.size(), 1);
        QCOMPARE(env.boxes[0].style, 0x30);
        QCOMPARE(env.boxes[0].caption, QStringLiteral("Application Error"));
        QVERIFY(env.boxes[0].text.startsWith(QLatin1String("boom\r\nin Vestrel.Form3.mnuXLS_Click at line 100\r\r")));
    }

    void resumeRules()
    {
        Trap trap(QStringLiteral("in T "));
        QStringList ran;
        // Before the first numbered step the line is 0.
        trap([] { throw std::runtime_error("early"); });
        // A statement without a number belongs to the last numbered step.
        trap(102, [&] { ran << "102"; });
        trap([&] { throw AppError(QStringLiteral("unnumbered")); });
        trap([&] { ran << "after unnumbered"; });
        // A failing condition enters its block.
        if (trap.test(104, []() -> bool { throw AppError(QStringLiteral("condition")); }))
            trap(106, [&] { ran << "inside block"; });
        // A test that holds or fails normally is not reported.
        if (trap.test(108, [] { return false; }))
            ran << "must not run";
        trap(110, [&] { throw AppError(QString()); });
        trap(112, [&] { ran << "last"; });

        QCOMPARE(ran, (QStringList{"102", "after unnumbered", "inside block", "last"}));
        QCOMPARE(env.boxes.size(), 4);
        QVERIFY(env.boxes[0].text.startsWith(QLatin1String("early\r\nin T at line 0\r")));
        QVERIFY(env.boxes[1].text.startsWith(QLatin1String("unnumbered\r\nin T at line 102\r")));
        QVERIFY(env.boxes[2].text.startsWith(QLatin1String("condition\r\nin T at line 104\r")));
        QVERIFY(env.boxes[3].text.startsWith(QLatin1String("\r\nin T at line 110\r")));
    }

    void untrappedErrorIsShownAndTheProgramGoesOn()
    {
        // A handler without a trap throws: the event dispatch shows it and the loop goes on.
        QObject target;
        int after = 0;
        QTimer::singleShot(0, &target, [] { throw AppError(QStringLiteral("escaped")); });
        QTimer::singleShot(0, &target, [&] { ++after; });
        QTRY_COMPARE(after, 1);
        QCOMPARE(env.boxes.size(), 1);
        QVERIFY(env.boxes[0].text.startsWith(QLatin1String("escaped\r\n")));
        QCOMPARE(env.boxes[0].caption, QStringLiteral("Application Error"));
    }
};

// The program's own application object, whose event dispatch catches errors.
int main(int argc, char** argv)
{
    Application app(argc, argv);
    ErrorReportTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_errorreport.moc"
