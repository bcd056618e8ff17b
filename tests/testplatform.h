#pragma once
// Where the suites meet the platform they run on: one file per platform.
#include <QProcessEnvironment>
#include <QString>

// A path as the database driver takes it: in the system's own form.
QString DriverPath(const QString& path);
// Forgets what the program has remembered (the settings folder given is where
// the INI-file settings of the tests live).
void ForgetProgramSettings(const QString& configFolder);
// Makes a child process's driver manager find no ODBC drivers (its configuration
// in that folder); false where that cannot be done for one process.
bool HideOdbcDrivers(QProcessEnvironment* environment, const QString& folder);
