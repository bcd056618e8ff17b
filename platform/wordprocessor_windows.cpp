#include "wordprocessor.h"

#include <QRegularExpression>
#include <QSettings>

QString RegisteredWordProcessor()
{
    QSettings key(QStringLiteral("HKEY_CLASSES_ROOT\\Wordpad.Document.1\\Protocol\\StdFileEditing"),
                  QSettings::NativeFormat);
    QString path = key.value(QStringLiteral("Server/Default")).toString().trimmed();
    if (path.size() >= 2 && path.startsWith(QLatin1Char('"')) && path.endsWith(QLatin1Char('"')))
        path = path.mid(1, path.size() - 2);
    // The value may name folders by environment variable (%ProgramFiles%).
    static const QRegularExpression variable(QStringLiteral("%([^%]+)%"));
    for (auto match = variable.match(path); match.hasMatch(); match = variable.match(path))
        path.replace(match.capturedStart(), match.capturedLength(), qEnvironmentVariable(qPrintable(match.captured(1))));
    return path;
}
