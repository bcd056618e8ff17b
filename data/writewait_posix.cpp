#include "writewait.h"

#include <QFile>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The bytes of the file that a writer locks: the pending byte while it waits
// for readers to go, the reserved byte (next to it) from its write's start.
constexpr off_t kPendingByte = 0x40000000;

// One descriptor per file, asked without taking a lock. It stays open until the
// program ends: closing any descriptor of a file lets go of every lock the
// program holds on it, its connections' included.
int DescriptorOf(const QString& file)
{
    static std::mutex mutex;
    static std::map<QString, int> descriptors;
    std::lock_guard lock(mutex);
    struct stat now {};
    if (::stat(QFile::encodeName(file).constData(), &now) != 0)
        return -1;
    const auto found = descriptors.find(file);
    if (found != descriptors.end()) {
        struct stat held {};
        if (::fstat(found->second, &held) == 0 && held.st_dev == now.st_dev && held.st_ino == now.st_ino)
            return found->second;
        // Another file under that name now: the old descriptor is kept (see above).
    }
    const int descriptor = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor >= 0)
        descriptors[file] = descriptor;
    return descriptor;
}
} // namespace

namespace WriteWait {

std::optional<bool> AnotherWriterWaits(const QString& file)
{
    const int descriptor = DescriptorOf(file);
    if (descriptor < 0)
        return false;
    // Only another process's lock is reported, and asking takes none.
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kPendingByte;
    lock.l_len = 2;
    if (::fcntl(descriptor, F_GETLK, &lock) != 0)
        return false;
    return lock.l_type != F_UNLCK;
}

} // namespace WriteWait
