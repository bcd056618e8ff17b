#include "start.h"

#include "Form1.h"
#include "catalogue/Form2.h"
#include "common/forms.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

QString FileToOpen(const QStringList& arguments)
{
    if (arguments.size() < 2 || arguments.at(1).isEmpty())
        return {};
    QString path = arguments.at(1);
    // (A file manager may hand on a file: address in place of a path.)
    if (path.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        path = QUrl(path).toLocalFile();
    if (path.isEmpty())
        return {};
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

void StartProgram(const QStringList& arguments)
{
    const QString file = FileToOpen(arguments);
    Form1::OpenOnLoad(file);
    Form1& start = Forms::form1();
    if (!file.isEmpty()) {
        start.show();
        // Once the start window is on screen: a path that cannot be opened leaves it up.
        QTimer::singleShot(0, &start, [&start] { start.PushButton3_Click(); });
        return;
    }
    // When the load went straight on to the table chooser, the start window stays hidden.
    if (!Forms::isLoaded2() || !Forms::form2().isVisible())
        start.show();
}
