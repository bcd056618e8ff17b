#include "printers.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <cups/cups.h>
#include <optional>

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
        // Putting back the default that was replaced puts back the user's
        // options file as it was, byte for byte (an instance, or no file at all).
        if (replaced_ && name == replaced_->defaultName) {
            restoreOptions(*replaced_);
            replaced_.reset();
            return;
        }
        std::optional<Replaced> before;
        if (!replaced_)
            before = snapshot();
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
        if (before)
            replaced_ = std::move(before);
    }

private:
    // The user's options file, where the default destination is kept, and the
    // default it named, from before the program first changed it.
    struct Replaced {
        std::optional<QByteArray> options; // nullopt: there was no file
        QString defaultName;
    };
    std::optional<Replaced> replaced_;

    static QString optionsFile()
    {
        // Where cupsSetDests2 writes: the home folder's, else the server's.
        const QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty())
            return qEnvironmentVariable("CUPS_SERVERROOT", QStringLiteral("/etc/cups")) + QLatin1String("/lpoptions");
        return home + QLatin1String("/.cups/lpoptions");
    }

    Replaced snapshot()
    {
        Replaced state;
        QFile file(optionsFile());
        if (file.open(QIODevice::ReadOnly))
            state.options = file.readAll();
        try {
            state.defaultName = defaultPrinter();
        } catch (const PrinterError&) {
        }
        return state;
    }

    static void restoreOptions(const Replaced& state)
    {
        const QString path = optionsFile();
        if (!state.options) {
            if (QFile::exists(path) && !QFile::remove(path))
                throw PrinterError(1801, QStringLiteral("%1 cannot be removed.").arg(path));
            return;
        }
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(*state.options) != state.options->size() || !file.commit())
            throw PrinterError(1801, QStringLiteral("%1: %2").arg(file.errorString(), path));
    }

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

} // namespace

std::unique_ptr<PrinterSystem> MakeSystemPrinters() { return std::make_unique<CupsPrinters>(); }
