#include "threadpriority.h"

#include <sys/resource.h>
#include <unistd.h>

namespace ThreadPriority {

// On Linux a thread's nice value is its own and passes to the threads it
// starts, so the database's sorting helpers run at the same priority.
void LowerThisThread()
{
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
}

} // namespace ThreadPriority
