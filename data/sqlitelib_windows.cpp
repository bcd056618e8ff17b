#include "sqlitelib.h"

// On Windows the ODBC driver carries its own SQLite inside its DLL: there is
// no library of the process's to prepare.
namespace SqliteLibrary {
void Prepare() {}
} // namespace SqliteLibrary
