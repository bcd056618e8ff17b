#pragma once
#include <QString>

// The word processor the system registers for printing documents (the
// "Wordpad.Document.1\Protocol\StdFileEditing\Server" key), or empty where there is none.
QString RegisteredWordProcessor();
