#include "heap.h"

// Windows's heap gives large blocks back on its own.
namespace Heap {
void Prepare() {}
} // namespace Heap
