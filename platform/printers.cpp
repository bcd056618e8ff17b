#include "printers.h"

#include <cups/cups.h>

namespace {

class CupsPrinters : public PrinterSystem {
public:
    QStringList printerNames() override
    {
        Dests dests;
        QStringList names;
        for (int i = 0; i < dests.count; ++i)
            if (!dests.list[i].instance)
                names << nameOf(dests.list[i]);
        return names;
    }

    QString defaultPrinter() override
    {
        Dests dests;
        for (int i = 0; i < dests.count; ++i)
            if (dests.list[i].is_default)
                return nameOf(dests.list[i]);
        const int error = cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE ? int(cupsLastError()) : 482;
        throw PrinterError(error, dests.count == 0 ? QStringLiteral("There are no printers installed.")
                                                   : QStringLiteral("No default printer is set."));
    }

    void setDefaultPrinter(const QString& name) override
    {
        Dests dests;
        cups_dest_t* chosen = nullptr;
        for (int i = 0; i < dests.count; ++i)
            if (!dests.list[i].instance && nameOf(dests.list[i]) == name)
                chosen = &dests.list[i];
        if (!chosen)
            throw PrinterError(1801, QStringLiteral("The printer name is invalid: %1").arg(name));
        for (int i = 0; i < dests.count; ++i)
            dests.list[i].is_default = &dests.list[i] == chosen;
        // Writes the user's default destination, as lpoptions -d does.
        if (cupsSetDests2(CUPS_HTTP_DEFAULT, dests.count, dests.list) != 0)
            throw PrinterError(int(cupsLastError()), QString::fromUtf8(cupsLastErrorString()));
    }

private:
    struct Dests {
        Dests() { count = cupsGetDests2(CUPS_HTTP_DEFAULT, &list); }
        ~Dests() { cupsFreeDests(count, list); }
        Dests(const Dests&) = delete;
        Dests& operator=(const Dests&) = delete;
        cups_dest_t* list = nullptr;
        int count = 0;
    };

    static QString nameOf(const cups_dest_t& dest)
    {
        const char* info = cupsGetOption("printer-info", dest.num_options, dest.options);
        return info && *info ? QString::fromUtf8(info) : QString::fromUtf8(dest.name);
    }
};

std::unique_ptr<PrinterSystem>& current()
{
    static std::unique_ptr<PrinterSystem> printers;
    return printers;
}

} // namespace

std::unique_ptr<PrinterSystem> MakeCupsPrinters() { return std::make_unique<CupsPrinters>(); }

PrinterSystem& Printers()
{
    if (!current())
        current() = MakeCupsPrinters();
    return *current();
}

void SetPrinterSystem(std::unique_ptr<PrinterSystem> printers) { current() = std::move(printers); }
