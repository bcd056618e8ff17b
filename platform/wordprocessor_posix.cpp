#include "wordprocessor.h"

// No registry here: the print helper beside the program prints the text.
QString RegisteredWordProcessor() { return QString(); }
