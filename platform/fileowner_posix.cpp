#include "fileowner.h"

#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

void KeepOwner(QFileDevice& replacement, const QString& existing)
{
    // The file a symbolic link names is the one replaced.
    const QString target = QFileInfo(existing).canonicalFilePath();
    struct stat old {};
    if (target.isEmpty() || ::stat(QFile::encodeName(target).constData(), &old) != 0 || replacement.handle() < 0)
        return;
    struct stat fresh {};
    if (::fstat(replacement.handle(), &fresh) == 0 && fresh.st_uid == old.st_uid && fresh.st_gid == old.st_gid)
        return;
    // Only the owner's own group, or any owner for root: refused otherwise, and the file stays ours.
    if (::fchown(replacement.handle(), old.st_uid, old.st_gid) != 0)
        (void)::fchown(replacement.handle(), uid_t(-1), old.st_gid);
}
