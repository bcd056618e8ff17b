#pragma once
// What the bench programs share: the program's windows on the offscreen
// platform with no boxes and no launches, and opening a table as the user does.
#include "catalogue/Form2.h"
#include "grid/DataGrid.h"
#include "editor/Form3.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "platform/printers.h"
#include "shell/Form1.h"
#include "common/forms.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>

class NoPrinters : public PrinterSystem {
public:
    QStringList printerNames() override { return {QStringLiteral("PDF Printer")}; }
    QString defaultPrinter() override { return QStringLiteral("PDF Printer"); }
    void setDefaultPrinter(const QString&) override {}
};

inline void QuietProgram(QTemporaryDir& settings)
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    SetMessageBoxHandler([](const MessageBoxRequest& r) {
        std::fprintf(stderr, "message: %s\n", qPrintable(r.text));
        return int(vbOK);
    });
    SetLaunchHandler([](const QString&, const QStringList&) {});
    SetPrinterSystem(std::make_unique<NoPrinters>());
}

// Start window, chooser, table window; returns once "Next >" has bound the grid.
// beforeOpening runs just before the chooser's "Next >" is pressed.
inline DataGrid* OpenTable(const QString& database, const QString& table,
                           const std::function<void()>& beforeOpening = nullptr)
{
    Forms::form1().Text1->setText(database);
    Forms::form1().PushButton3->click();
    const auto items = Forms::form2().List1->findItems(table, Qt::MatchExactly);
    if (items.isEmpty())
        return nullptr;
    Forms::form2().List1->setCurrentItem(items.first());
    Forms::form3(); // the table window exists before the user opens a table
    if (beforeOpening)
        beforeOpening();
    Forms::form2().PushButton3->click();
    return Forms::form3().DataGrid1;
}

// Sees when the grid's rows are painted.
class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

inline void waitForPaint(PaintWatch& watch)
{
    while (!watch.painted)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Shows the table window, opens the table as the user does and waits until its
// first rows are painted; firstPaint: seconds from the chooser's "Next >".
inline DataGrid* OpenUntilPainted(const char* database, const char* table, PaintWatch& watch, double* firstPaint)
{
    QElapsedTimer timer;
    Forms::form3().DataGrid1->viewport()->installEventFilter(&watch);
    Forms::form3().show();
    QCoreApplication::processEvents();
    DataGrid* grid = OpenTable(QString::fromLocal8Bit(database), QString::fromLocal8Bit(table), [&] {
        watch.painted = false;
        timer.start();
    });
    if (!grid)
        return nullptr;
    waitForPaint(watch);
    *firstPaint = timer.nsecsElapsed() / 1e9;
    return grid;
}
