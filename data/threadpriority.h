#pragma once
// Background work that runs beside a read the user is waiting for (an order's
// sort beside its first rows) gives the processor way to it: the calling
// thread, and the helper threads it starts from then on, run at a lower
// priority. Best effort: where the system refuses, nothing changes.
namespace ThreadPriority {
void LowerThisThread();
} // namespace ThreadPriority
