#include "privatefolder.h"

#include "data/error.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

QString PrivateTemporaryFolder()
{
    const QString folder = QDir::tempPath() + QStringLiteral("/vestrel-%1").arg(::getuid());
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        throw AppError(QStringLiteral("%1: %2").arg(QString::fromLocal8Bit(std::strerror(errno)), folder));
    // Someone else's folder (or a link) of that name in a shared /tmp is never used.
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()
        || (info.st_mode & 077) != 0)
        throw AppError(QStringLiteral("The temporary folder %1 belongs to another user or can be read by others.")
                           .arg(folder));
    return folder;
}
