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

class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    // Between cases: fresh windows, no boxes, no answers.
    void reset();

    QString dir() const { return temp_.path(); }
    QString path(const QString& name) const { return temp_.filePath(name); }

    // A fresh database file made from the SQL.
    QString makeDatabase(const QString& name, const QString& sql) const;

    QList<MessageBoxRequest> boxes;
    QList<int> answers;         // answers to boxes, in order; OK when none are left
    QStringList dialogAnswers;  // answers to file dialogs, in order; Cancel when none
    QList<QStringList> launches;
    QStringList executed;                        // statements sent through Connection::Execute
    std::function<void(QDialog*)> onModal;       // works a modal window; closes it when unset

private:
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

// Writes the start window's path box (which every connection reads).
void SetDatabasePath(const QString& path);
