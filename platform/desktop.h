#pragma once
// What the desktop does for a file or an address: open it with the program
// registered for it, and tell whether one is registered for a kind of file.
#include <QString>

// Opens a file or an address as the desktop does (through the launch seam); throws AppError.
void OpenWithDesktop(const QString& target);
// The program registered for files of that extension (".xlsx"), or empty.
QString RegisteredProgramFor(const QString& extension);
