#pragma once
#include <QString>

// A folder of this program's own for temporary files, which no other user can
// read or write (created on first use). Throws AppError when it cannot be had.
QString PrivateTemporaryFolder();
