#include "testplatform.h"

#include <QDir>
#include <QFile>

QString DriverPath(const QString& path) { return path; }

void ForgetProgramSettings(const QString& configFolder) { QFile::remove(configFolder + QStringLiteral("/Pellorin.ini")); }

bool HideOdbcDrivers(QProcessEnvironment* environment, const QString& folder)
{
    QDir().mkpath(folder);
    QFile ini(folder + QStringLiteral("/odbcinst.ini"));
    if (!ini.open(QIODevice::WriteOnly))
        return false;
    ini.close();
    environment->insert(QStringLiteral("ODBCSYSINI"), folder);
    environment->insert(QStringLiteral("ODBCINSTINI"), QStringLiteral("odbcinst.ini"));
    environment->insert(QStringLiteral("HOME"), folder);
    return true;
}
