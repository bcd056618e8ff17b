#include "errorreport.h"

#include "data/error.h"
#include "platform/messagebox.h"

QString ApplicationErrorMessage(const QString& description, const QString& location, int line)
{
    return description + QLatin1String("\r\n") + location + QLatin1String("at line ")
        + QString::number(line) + QLatin1String("\r\r") + QLatin1String("Please email screenshot of this message to ")
        + kSupportEmail;
}

void ShowApplicationError(const QString& location, int line, const QString& description)
{
    MsgBox(ApplicationErrorMessage(description, location, line), vbExclamation | vbOKOnly,
           QStringLiteral("Application Error"));
}

void Trap::report(std::exception_ptr error)
{
    ShowApplicationError(location_, line_, DescribeException(error));
}
