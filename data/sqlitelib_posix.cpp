#include "sqlitelib.h"
#include "sqlitememory.h"

#include <mutex>
#include <sqlite3.h>

namespace SqliteLibrary {

void Prepare()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // SQLITE_MISUSE when the library is already initialised: then it keeps
        // its defaults, which are correct, only slower.
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        SqliteMemory::Install();
    });
}

} // namespace SqliteLibrary
