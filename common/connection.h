#pragma once
// The connection string of a path, checked, and the one way to make a connection
// (the recipe itself is DatabaseConnectionString, in the data layer).
#include "data/adodb.h"

#include <QString>
#include <memory>
#include <optional>

// The connection string every connection opens with; throws AppError for a
// path the connection string cannot carry.
QString ConnectionStringFor(const QString& path);

// True when a search of the path finds a plain file (wildcards allowed).
bool DatabaseFileExists(const QString& path);

// The current database path: the start window's path box, read now (the
// registry of windows, shell/forms.cpp, reads it).
QString CurrentDatabasePath();

// The name of the table on show in the table data window.
extern QString CurrentTableName;

// Creates a connection, sets the cursor location where the caller uses one,
// and opens it on the current database path. Failures are raised.
std::shared_ptr<ADODB::Connection> OpenDatabaseConnection(std::optional<int> cursorLocation);
