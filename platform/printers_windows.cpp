#include "printers.h"

#include <windows.h>
#include <winspool.h>
#include <vector>

namespace {

// The installed printers through winspool: their names, and the user's default
// printer read and set as the print dialogs of the system do.
class WindowsPrinters : public PrinterSystem {
public:
    QStringList printerNames() override
    {
        DWORD needed = 0, returned = 0;
        const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
        EnumPrintersW(flags, nullptr, 4, nullptr, 0, &needed, &returned);
        std::vector<BYTE> buffer(needed ? needed : 1);
        if (!EnumPrintersW(flags, nullptr, 4, buffer.data(), needed, &needed, &returned))
            throw PrinterError(int(GetLastError()), lastError());
        QStringList names;
        const auto* info = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
        for (DWORD i = 0; i < returned; ++i)
            names << QString::fromWCharArray(info[i].pPrinterName);
        return names;
    }

    QString defaultPrinter() override
    {
        DWORD size = 0;
        GetDefaultPrinterW(nullptr, &size);
        if (size == 0)
            throw PrinterError(int(GetLastError()), QStringLiteral("There are no printers installed."));
        std::vector<wchar_t> name(size);
        if (!GetDefaultPrinterW(name.data(), &size))
            throw PrinterError(int(GetLastError()), lastError());
        return QString::fromWCharArray(name.data());
    }

    void setDefaultPrinter(const QString& name) override
    {
        if (!printerNames().contains(name, Qt::CaseSensitive))
            throw PrinterError(1801, QStringLiteral("The printer name is invalid: %1").arg(name));
        const std::wstring wide = name.toStdWString();
        if (!SetDefaultPrinterW(wide.c_str()))
            throw PrinterError(int(GetLastError()), lastError());
    }

private:
    static QString lastError()
    {
        wchar_t* text = nullptr;
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, GetLastError(), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        const QString message = text ? QString::fromWCharArray(text).trimmed() : QStringLiteral("Printing failed.");
        LocalFree(text);
        return message;
    }
};

} // namespace

std::unique_ptr<PrinterSystem> MakeSystemPrinters() { return std::make_unique<WindowsPrinters>(); }
