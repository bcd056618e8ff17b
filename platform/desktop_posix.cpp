#include "desktop.h"

#include "launcher.h"

#include <QProcess>

void OpenWithDesktop(const QString& target) { StartDetached(QStringLiteral("xdg-open"), {target}); }

QString RegisteredProgramFor(const QString& extension)
{
    // The desktop's default application for the file type (xdg-mime).
    const QString type = extension == QLatin1String(".xlsx")
        ? QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet")
        : QString();
    if (type.isEmpty())
        return QString();
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(10000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return QString();
    return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
}
