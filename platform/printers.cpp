#include "printers.h"

namespace {
std::unique_ptr<PrinterSystem>& current()
{
    static std::unique_ptr<PrinterSystem> printers;
    return printers;
}
} // namespace

PrinterSystem& Printers()
{
    if (!current())
        current() = MakeSystemPrinters();
    return *current();
}

void SetPrinterSystem(std::unique_ptr<PrinterSystem> printers) { current() = std::move(printers); }
