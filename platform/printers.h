#pragma once
// The printers of this system, as the program sees them: a printer's name is
// its description where one is set and its queue name otherwise. One seam lets
// tests put printers of their own in place of the system's.
#include <QString>
#include <QStringList>
#include <memory>

class PrinterSystem {
public:
    virtual ~PrinterSystem() = default;
    // Every printer, in the system's order.
    virtual QStringList printerNames() = 0;
    // The default printer's name; throws PrinterError when there is none.
    virtual QString defaultPrinter() = 0;
    // Makes the named printer (compared exactly) the user's default; throws PrinterError.
    virtual void setDefaultPrinter(const QString& name) = 0;
};

// A failure of the printing system, with its number.
class PrinterError : public std::runtime_error {
public:
    PrinterError(int number, const QString& description)
        : std::runtime_error(description.toStdString()), number_(number), description_(description) {}
    int number() const { return number_; }
    const QString& description() const { return description_; }

private:
    int number_;
    QString description_;
};

PrinterSystem& Printers();
// Replaces the system's printers (tests); null puts the real ones back.
void SetPrinterSystem(std::unique_ptr<PrinterSystem> printers);

// The system's own printers: CUPS destinations, or winspool on Windows.
std::unique_ptr<PrinterSystem> MakeSystemPrinters();
