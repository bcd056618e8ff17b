#pragma once
// Whether another program writes a database file, or waits to: it has begun
// a write (the database's reserved lock), which needs the file to itself when
// it ends, or it asks for it now (the pending lock) and waits for its readers
// to let go. A long read of ours gives way to it at once.
#include <QString>
#include <optional>

namespace WriteWait {
// nullopt where the platform cannot tell without disturbing other programs
// (then long reads are made in short pieces only).
std::optional<bool> AnotherWriterWaits(const QString& file);
} // namespace WriteWait
