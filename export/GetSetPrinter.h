#pragma once
#include <QString>

namespace GetSetPrinter {
// The default printer's name; on failure its own message, then an empty name.
QString GetDefaultPrinter();
// Makes the printer the default; true when that worked. Never shows anything.
bool SetDefaultPrinter(const QString& name);
} // namespace GetSetPrinter
