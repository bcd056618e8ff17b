#pragma once
#include <QString>

namespace Wordpad1 {
// The print helper beside the program; empty when it is missing.
QString GetWordpadPath();
} // namespace Wordpad1
