#pragma once
// Process-wide settings of the SQLite library the ODBC driver runs on, made
// once before the first connection opens.
namespace SqliteLibrary {
// Turns off SQLite's memory statistics, which nothing here reads: with them on,
// every allocation of every connection takes one process-wide lock, and
// connections reading on other threads queue behind each other for it.
// Without effect once the library has started (the settings then stay as they are).
void Prepare();
} // namespace SqliteLibrary
