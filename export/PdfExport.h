#pragma once
#include <QString>

// Says how to set up the printer "PDF Printer" when there is none.
void CheckPdfPrinter();

// Where the PDF export puts its temporary text: TEMP when set, else the
// program's private temporary folder.
QString PdfTemporaryFile();

// How long the print helper may take for a text of that size: a minute, and
// a second more for every megabyte.
int PrintHelperTimeoutMs(qint64 bytes);

inline const QString kPdfPrinter = QStringLiteral("PDF Printer");
