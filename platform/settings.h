#pragma once
// The per-user settings store: INI file of the organisation, one group per program.
#include <QString>

QString GetSetting(const QString& appName, const QString& section, const QString& key,
                   const QString& defaultValue = QString());
void SaveSetting(const QString& appName, const QString& section, const QString& key,
                 const QString& value);
