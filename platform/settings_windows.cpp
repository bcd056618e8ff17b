#include "settings.h"

#include <QSettings>

// The per-user registry: HKEY_CURRENT_USER\Software\<application>\<section>, value <key>.
QString GetSetting(const QString& appName, const QString& section, const QString& key,
                   const QString& defaultValue)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, appName, section);
    return store.value(key, defaultValue).toString();
}

void SaveSetting(const QString& appName, const QString& section, const QString& key,
                 const QString& value)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, appName, section);
    store.setValue(key, value);
}
