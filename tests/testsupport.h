#pragma once
// What every suite shares: a temporary settings folder, recorded message boxes,
// answered file dialogs, a recorded launcher, fresh windows, and database files.
#include "platform/messagebox.h"

#include <QList>
#include <functional>

class QDialog;
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <vector>

struct sqlite3;

// Printers that tests set up: names in order, and which is the default.
class FakePrinters;

class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    // Between cases: fresh windows, no boxes, no answers.
    void reset();

    // The folder and its files as the database driver names them.
    QString dir() const;
    QString path(const QString& name) const { return dir() + QLatin1Char('/') + name; }

    // A fresh database file made from the SQL.
    QString makeDatabase(const QString& name, const QString& sql) const;

    QList<MessageBoxRequest> boxes;
    QList<int> answers;         // answers to boxes, in order; OK when none are left
    QStringList dialogAnswers;  // answers to file dialogs, in order; Cancel when none
    QList<QStringList> launches;
    QStringList executed;                        // statements sent through Connection::Execute
    std::function<void(QDialog*)> onModal;       // works a modal window; closes it when unset
    QList<QStringList> runs;                     // programs run and waited for
    int runStatus = 0;                           // what they end with
    FakePrinters* printers = nullptr;            // the printers the program sees

private:
    void installSeams();
    QTemporaryDir temp_;
};

// Direct access to a database file with SQLite itself, for setting up and for
// reading back what the program wrote.
class Sqlite {
public:
    explicit Sqlite(const QString& path);
    ~Sqlite();
    void exec(const QString& sql);
    QString value(const QString& sql);              // first column of the first row; "<null>" for NULL
    QList<QStringList> rows(const QString& sql);    // every row, NULL as "<null>"
    sqlite3* handle() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

// A file's bytes ("<missing>" where it cannot be read); a file written whole (fatal otherwise).
QByteArray ReadBytes(const QString& path);
void WriteBytes(const QString& path, const QByteArray& bytes);
// Text in the locale's encoding, as the text exports write it.
QByteArray LocaleBytes(const QString& text);

// Writes the start window's path box (which every connection reads).
void SetDatabasePath(const QString& path);

class DataGrid;
// Opens the table the way the user does: start window, chooser, table window.
DataGrid* OpenTable(const QString& path, const QString& table);
// The same, with the table window shown.
DataGrid* ShowTable(const QString& path, const QString& table);
// Makes the cell current and hands the grid a typed value, as its editor does; false when refused.
bool TypeInto(DataGrid* grid, int row, int column, const QString& text);
// The text the grid shows in a cell.
QString Shown(DataGrid* grid, int row, int column);

#include "platform/printers.h"

class FakePrinters : public PrinterSystem {
public:
    QStringList names{QStringLiteral("Office Laser"), QStringLiteral("PDF Printer")};
    QString current = QStringLiteral("Office Laser");
    QStringList defaultsSet; // every printer made the default, in order

    QStringList printerNames() override { return names; }
    QString defaultPrinter() override
    {
        if (names.isEmpty() || current.isEmpty())
            throw PrinterError(1801, QStringLiteral("There are no printers installed."));
        return current;
    }
    void setDefaultPrinter(const QString& name) override
    {
        if (!names.contains(name))
            throw PrinterError(1801, QStringLiteral("The printer name is invalid."));
        current = name;
        defaultsSet << name;
    }
};

#include "data/adodb.h"
#include "grid/RecordSetModel.h"

#include <QApplication>
#include <QTest>

// What the suites that edit through the grid share: a test environment, whether
// tables are read in pages in this run, and the user's ways with the grid.
class GridSuite : public QObject {
public:
    bool paged = false;

protected:
    TestEnvironment env;
    static DataGrid* open(const QString& path, const QString& table) { return ShowTable(path, table); }
    static void type(DataGrid* grid, int row, int column, const QString& text)
    {
        QVERIFY(TypeInto(grid, row, column, text));
    }
    static QString shown(DataGrid* grid, int row, int column) { return Shown(grid, row, column); }
};

// Runs every case of the suite three times: with tables read whole; with every
// table read in three-row pages, two kept (marked on the suite); and
// so read, with the grid's rows a span of four lines of the table.
template <typename Suite> int RunWholeAndPaged(int argc, char** argv)
{
    QApplication app(argc, argv);
    Suite whole;
    int failed = QTest::qExec(&whole, argc, argv);
    ADODB::RecordSet::setPaging(1, 3, 2); // two pages kept: others are really evicted
    ADODB::RecordSet::setSearchPieces(2, 3); // and a find searches three pieces side by side
    ADODB::RecordSet::setOrderPieces(3);     // and orders and filters are read three rows at a time
    Suite paged;
    paged.paged = true;
    failed += QTest::qExec(&paged, argc, argv);
    RecordSetModel::setSpanRows(4);
    Suite spanned;
    spanned.paged = true;
    failed += QTest::qExec(&spanned, argc, argv);
    return failed;
}
