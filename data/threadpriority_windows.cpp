#include "threadpriority.h"

#include <windows.h>

namespace ThreadPriority {

// (The database's helper threads keep the normal priority: Windows does not
// pass a thread's priority on.)
void LowerThisThread()
{
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

} // namespace ThreadPriority
