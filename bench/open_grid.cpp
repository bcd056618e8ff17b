// Opens a table the way the user does (start window, chooser, table window) on
// the offscreen platform and waits until the grid's first rows are painted.
// Prints seconds, records, peak MB.
#include "catalogue/Form2.h"
#include "editor/DataGrid.h"
#include "editor/Form3.h"
#include "peak.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "shell/Application.h"
#include "shell/Form1.h"
#include "shell/forms.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPaintEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QSettings>
#include <cstdio>

namespace {
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
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DATABASE TABLE\n", argv[0]);
        return 2;
    }
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    SetMessageBoxHandler([](const MessageBoxRequest& r) {
        std::fprintf(stderr, "message: %s\n", qPrintable(r.text));
        return int(vbOK);
    });
    SetLaunchHandler([](const QString&, const QStringList&) {});

    QElapsedTimer timer;
    timer.start();
    Forms::form1().Text1->setText(QString::fromLocal8Bit(argv[1]));
    Forms::form1().PushButton3->click();
    const auto items = Forms::form2().List1->findItems(QString::fromLocal8Bit(argv[2]), Qt::MatchExactly);
    if (items.isEmpty())
        return 1;
    Forms::form2().List1->setCurrentItem(items.first());
    PaintWatch watch;
    Forms::form3().DataGrid1->viewport()->installEventFilter(&watch);
    Forms::form2().PushButton3->click();
    while (!watch.painted)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("%.3f %lld %.1f\n", seconds, static_cast<long long>(Forms::form3().DataGrid1->ApproxCount()),
                PeakResidentMB());
    std::fflush(stdout);
    Forms::UnloadAll();
    return 0;
}
