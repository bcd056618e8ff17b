#include "testsupport.h"
#include "testplatform.h"

#include "platform/filedialog.h"
#include "data/adodb.h"
#include "platform/launcher.h"
#include "common/modal.h"

#include <QDeadlineTimer>
#include <QDialog>
#include <QThread>
#include "catalogue/Form2.h"
#include "grid/DataGrid.h"
#include "editor/Form3.h"
#include "shell/Form1.h"
#include "common/Main.h"
#include "common/forms.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QStringEncoder>
#include <QTest>
#include <sqlite3.h>

TestEnvironment::TestEnvironment()
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, temp_.filePath(QStringLiteral("config")));
    installSeams();
}

// Every seam answered by this environment (a case may have replaced one).
void TestEnvironment::installSeams()
{
    Main::SetProgramFolderForTesting(QStringLiteral(VESTREL_BUILD_DIR));
    SetMessageBoxHandler([this](const MessageBoxRequest& r) {
        boxes << r;
        return answers.isEmpty() ? int(vbOK) : answers.takeFirst();
    });
    CommonDialog::setHandler([this](const CommonDialog::Request&) {
        return dialogAnswers.isEmpty() ? QString() : dialogAnswers.takeFirst();
    });
    SetLaunchHandler([this](const QString& program, const QStringList& args) {
        launches << (QStringList{program} + args);
    });
    ADODB::setExecuteObserver([this](const QString& sql) { executed << sql; });
    SetRunHandler([this](const QString& program, const QStringList& args, int) {
        runs << (QStringList{program} + args);
        return runStatus;
    });
    auto fake = std::make_unique<FakePrinters>();
    printers = fake.get();
    SetPrinterSystem(std::move(fake));
    SetModalHandler([this](QDialog* dialog) {
        if (onModal)
            onModal(dialog);
        else
            dialog->reject();
    });
}

TestEnvironment::~TestEnvironment()
{
    Forms::UnloadAll();
    SetMessageBoxHandler({});
    CommonDialog::setHandler({});
    SetLaunchHandler({});
    ADODB::setExecuteObserver({});
    SetModalHandler({});
    SetRunHandler({});
    SetPrinterSystem(nullptr);
}

void TestEnvironment::reset()
{
    Forms::UnloadAll();
    boxes.clear();
    answers.clear();
    dialogAnswers.clear();
    launches.clear();
    executed.clear();
    onModal = nullptr;
    runs.clear();
    runStatus = 0;
    installSeams();
    ForgetProgramSettings(temp_.filePath(QStringLiteral("config")));
}

QString TestEnvironment::dir() const { return DriverPath(temp_.path()); }

QString TestEnvironment::makeDatabase(const QString& name, const QString& sql) const
{
    QString file = path(name);
    // (On Windows a file still open cannot go: the last case's connections on
    // other threads may be closing yet. They are waited for a moment; then
    // the database is made under a name of its own.)
    QDeadlineTimer deadline(2000);
    while (QFile::exists(file) && !QFile::remove(file) && !deadline.hasExpired())
        QThread::msleep(20);
    for (int n = 2; QFile::exists(file); ++n)
        file = path(QString::number(n) + QLatin1Char('-') + name);
    Sqlite db(file);
    db.exec(sql);
    return file;
}

Sqlite::Sqlite(const QString& path)
{
    if (sqlite3_open(path.toUtf8().constData(), &db_) != SQLITE_OK)
        qFatal("cannot open %s", qPrintable(path));
    sqlite3_busy_timeout(db_, 5000);
}

Sqlite::~Sqlite() { sqlite3_close(db_); }

void Sqlite::exec(const QString& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error);
        sqlite3_free(error);
        QTest::qFail(qPrintable(QStringLiteral("SQL failed: %1 (%2)").arg(message, sql)), __FILE__, __LINE__);
    }
}

QList<QStringList> Sqlite::rows(const QString& sql)
{
    QList<QStringList> result;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK) {
        QTest::qFail(sqlite3_errmsg(db_), __FILE__, __LINE__);
        return result;
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList row;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            if (sqlite3_column_type(st, c) == SQLITE_NULL)
                row << QStringLiteral("<null>");
            else
                row << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)));
        }
        result << row;
    }
    sqlite3_finalize(st);
    return result;
}

QString Sqlite::value(const QString& sql)
{
    const auto all = rows(sql);
    return all.isEmpty() || all.first().isEmpty() ? QString() : all.first().first();
}

QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray LocaleBytes(const QString& text) { return QStringEncoder(QStringConverter::System)(text); }

void SetDatabasePath(const QString& path) { Forms::form1().Text1->setText(path); }

DataGrid* OpenTable(const QString& path, const QString& table)
{
    SetDatabasePath(path);
    Forms::form1().PushButton3->click();
    const auto items = Forms::form2().List1->findItems(table, Qt::MatchExactly);
    if (items.size() != 1)
        qFatal("table %s not listed", qPrintable(table));
    Forms::form2().List1->setCurrentItem(items.first());
    Forms::form2().PushButton3->click();
    // A table read in windows learns its row count after its first rows are
    // shown; the cases work on the whole table, as a user does a moment later.
    Forms::form3().DataGrid1->RowCount();
    return Forms::form3().DataGrid1;
}

DataGrid* ShowTable(const QString& path, const QString& table)
{
    DataGrid* grid = OpenTable(path, table);
    Forms::form3().show();
    return grid;
}

bool TypeInto(DataGrid* grid, int row, int column, const QString& text)
{
    grid->setCurrentRecord(row, column);
    return grid->currentRecord() == row && grid->model()->setData(grid->currentIndex(), text, Qt::EditRole);
}

QString Shown(DataGrid* grid, int row, int column) { return grid->recordModel()->displayText(row, column); }
