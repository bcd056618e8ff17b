#pragma once
#include <QString>

namespace Wordpad1 {
// (The name is the design's.) The program that prints a text file given
// "/p FILE": the word processor registered on this system (WordPad on
// Windows), else the print helper installed beside the program (vestrel-print);
// empty when neither is there.
QString GetWordpadPath();
} // namespace Wordpad1
