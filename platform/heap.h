#pragma once
// The process's heap, set up once at start.
namespace Heap {
// Large blocks (a paste's rows, a page's cells, the clipboard's text) taken
// from the system on their own and given back when freed.
void Prepare();
} // namespace Heap
