#include "sqlitememory.h"

#include <cstdlib>
#include <cstring>
#include <sqlite3.h>

// The ODBC driver copies every cell of every result into a block of its own
// and frees the lot when the statement ends, thousands at a time: a paste
// reads and writes hundreds of thousands of cells so. The C library's small
// bins are emptied into its large ones whenever a larger block is asked for
// between, and every small block then costs a search. Here small blocks
// freed are kept on the thread's own lists, one per size, and taken again
// from them first.
namespace {

constexpr size_t kStep = 8;
constexpr size_t kSmallest = kStep, kLargestKept = 512;
constexpr size_t kClasses = kLargestKept / kStep;
constexpr size_t kHeader = 8; // the block's size (SQLite asks for 8-byte alignment)
constexpr size_t kKeptBytes = size_t(1) << 20; // at most, per thread

struct Kept {
    Kept* next;
};

struct ThreadLists {
    Kept* lists[kClasses + 1] = {};
    size_t bytes = 0;
    ~ThreadLists();
};

// Set once the thread's lists are gone (blocks freed later go straight back).
thread_local bool tListsGone = false;
thread_local ThreadLists tLists;

ThreadLists::~ThreadLists()
{
    tListsGone = true;
    for (Kept*& list : lists)
        while (list) {
            Kept* block = list;
            list = block->next;
            std::free(reinterpret_cast<char*>(block) - kHeader);
        }
}

size_t rounded(size_t n)
{
    if (n <= kLargestKept)
        return n < kSmallest ? kSmallest : (n + kStep - 1) / kStep * kStep;
    return (n + 7) / 8 * 8;
}

size_t& sizeOf(void* p) { return *reinterpret_cast<size_t*>(static_cast<char*>(p) - kHeader); }

void* take(int n)
{
    if (n <= 0)
        return nullptr;
    const size_t size = rounded(size_t(n));
    if (size <= kLargestKept && !tListsGone) {
        Kept*& list = tLists.lists[size / kStep];
        if (Kept* block = list) {
            list = block->next;
            tLists.bytes -= size;
            return block;
        }
    }
    char* base = static_cast<char*>(std::malloc(size + kHeader));
    if (!base)
        return nullptr;
    *reinterpret_cast<size_t*>(base) = size;
    return base + kHeader;
}

void give(void* p)
{
    if (!p)
        return;
    const size_t size = sizeOf(p);
    if (size <= kLargestKept && !tListsGone && tLists.bytes + size <= kKeptBytes) {
        Kept*& list = tLists.lists[size / kStep];
        Kept* block = static_cast<Kept*>(p);
        block->next = list;
        list = block;
        tLists.bytes += size;
        return;
    }
    std::free(static_cast<char*>(p) - kHeader);
}

void* retake(void* p, int n)
{
    if (!p)
        return take(n);
    if (n <= 0) {
        give(p);
        return nullptr;
    }
    const size_t old = sizeOf(p);
    if (rounded(size_t(n)) == old)
        return p;
    void* moved = take(n);
    if (!moved)
        return nullptr;
    std::memcpy(moved, p, old < size_t(n) ? old : size_t(n));
    give(p);
    return moved;
}

int sizeOfBlock(void* p) { return p ? int(sizeOf(p)) : 0; }
int roundUp(int n) { return int(rounded(size_t(n > 0 ? n : 1))); }
int start(void*) { return SQLITE_OK; }
void stop(void*) {}

} // namespace

namespace SqliteMemory {

void Install()
{
    static const sqlite3_mem_methods methods = {take, give, retake, sizeOfBlock, roundUp, start, stop, nullptr};
    sqlite3_config(SQLITE_CONFIG_MALLOC, &methods);
}

} // namespace SqliteMemory
