#include "testplatform.h"

#include <QFile>

QString DriverPath(const QString& path) { return path; }

void ForgetProgramSettings(const QString& configFolder) { QFile::remove(configFolder + QStringLiteral("/Pellorin.ini")); }
