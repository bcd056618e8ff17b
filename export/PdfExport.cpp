#include "PdfExport.h"

#include "platform/messagebox.h"
#include "platform/printers.h"
#include "platform/privatefolder.h"
#include "common/Main.h"

#include <QDir>
#include <algorithm>
#include <limits>

void CheckPdfPrinter()
{
    if (Printers().printerNames().contains(kPdfPrinter, Qt::CaseSensitive))
        return;
    const QString crlf = QStringLiteral("\r\n");
    MsgBox(kPdfPrinter + QLatin1String(" is not installed. Please follow these instructions:") + crlf + crlf
               + QLatin1String("1) Go to Control Panel -> Printers and Faxes to add a local printer.") + crlf
               + QLatin1String("2) Choose ''CPW2: (") + kPdfPrinter
               + QLatin1String(")'' on Select a Printer Port dialog box, click Next.") + crlf
               + QLatin1String("3) Choose a Postscript printer (e.g. HP Color LaserJet PS), click Next.") + crlf
               + QLatin1String("4) Enter ") + kPdfPrinter + QLatin1String(" as Printer name, click Next -> Finish."),
           vbOKOnly, Main::ApplicationTitle());
}

QString PdfTemporaryFile()
{
    // Without TEMP, a folder of the program's own: a shared fixed name could be another user's file.
    const QString temp = qEnvironmentVariable("TEMP");
    const QString folder = temp.isEmpty() ? PrivateTemporaryFolder() : temp;
    return folder + QLatin1String("/tmp.txt");
}

int PrintHelperTimeoutMs(qint64 bytes)
{
    return int(std::min<qint64>(60000 + bytes / 1000, std::numeric_limits<int>::max()));
}
