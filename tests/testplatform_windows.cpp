#include "testplatform.h"

#include <QDir>
#include <QSettings>
#include <windows.h>

QString DriverPath(const QString& path) { return QDir::toNativeSeparators(path); }

void ForgetProgramSettings(const QString&)
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Pellorin"), QStringLiteral("Vestrel")).clear();
}

// The drivers are the machine's: those its registry names.
bool HideOdbcDrivers(QProcessEnvironment*, const QString&) { return false; }
