#pragma once
// SQLite's memory on POSIX systems: small blocks kept on per-thread lists.
namespace SqliteMemory {
// Hands SQLite the allocator; only before the library has started.
void Install();
} // namespace SqliteMemory
