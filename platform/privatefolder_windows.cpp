#include "privatefolder.h"

#include "data/error.h"

#include <QDir>

// The user's own temporary folder is private to the user on Windows.
QString PrivateTemporaryFolder()
{
    const QString folder = QDir::tempPath() + QStringLiteral("/Vestrel");
    if (!QDir().mkpath(folder))
        throw AppError(QStringLiteral("The temporary folder %1 cannot be created.").arg(folder));
    return folder;
}
