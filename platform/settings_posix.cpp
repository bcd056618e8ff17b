#include "settings.h"

#include <QSettings>

QString GetSetting(const QString& appName, const QString& section, const QString& key,
                   const QString& defaultValue)
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, appName);
    return store.value(section + QLatin1Char('/') + key, defaultValue).toString();
}

void SaveSetting(const QString& appName, const QString& section, const QString& key,
                 const QString& value)
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, appName);
    store.setValue(section + QLatin1Char('/') + key, value);
}
