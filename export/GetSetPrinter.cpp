#include "GetSetPrinter.h"

#include "platform/messagebox.h"
#include "platform/printers.h"
#include "common/Main.h"

namespace GetSetPrinter {

QString GetDefaultPrinter()
{
    QString name;
    try {
        name = Printers().defaultPrinter();
    } catch (const PrinterError& e) {
        MsgBox(QLatin1String("Error No: ") + QString::number(e.number()) + QLatin1String("\r\n") + e.description()
                   + QLatin1String("\r\nHas occured in modPrinters.GetDefaultPrinter\r\nPlease contact Technical Support"),
               vbOKOnly, Main::ApplicationTitle());
    } catch (const std::exception& e) {
        MsgBox(QLatin1String("Error No: 0\r\n") + QString::fromUtf8(e.what())
                   + QLatin1String("\r\nHas occured in modPrinters.GetDefaultPrinter\r\nPlease contact Technical Support"),
               vbOKOnly, Main::ApplicationTitle());
    }
    return name;
}

bool SetDefaultPrinter(const QString& name)
{
    try {
        Printers().setDefaultPrinter(name);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace GetSetPrinter
