#pragma once
// How the program starts: with the start window, or with a database file
// named on the command line (the desktop's "Open with" passes one).
#include <QStringList>

// The database file named among the program's arguments (the first after the
// program's own name), as an absolute path in the system's form; empty when none.
QString FileToOpen(const QStringList& arguments);

// Shows the first window. With a file to open, the start window comes up with
// the path in its box (remembered, as "..." remembers it) and goes on as
// "Next >" does; without one, it comes up as it always has.
void StartProgram(const QStringList& arguments);
