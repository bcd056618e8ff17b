#include "writewait.h"

namespace WriteWait {

// Windows can only tell by taking a lock on the byte for a moment, which
// would make another program's reader fail to start: it is not asked.
std::optional<bool> AnotherWriterWaits(const QString&)
{
    return std::nullopt;
}

} // namespace WriteWait
