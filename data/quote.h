#pragma once
#include <QString>

// An SQL identifier between double quotes, embedded double quotes doubled.
inline QString QuoteIdentifier(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
