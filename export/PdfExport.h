#pragma once
#include <QString>

// Says how to set up the printer "PDF Printer" when there is none.
void CheckPdfPrinter();

// Where the PDF export puts its temporary text: TEMP when set, else the
// platform's temporary folder (TMPDIR, else /tmp).
QString PdfTemporaryFile();

inline const QString kPdfPrinter = QStringLiteral("PDF Printer");
