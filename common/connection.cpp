#include "connection.h"

#include "data/error.h"

#include <QDir>
#include <QFileInfo>

QString ConnectionStringFor(const QString& path)
{
    // A ";" would end the path's value and a leading "{" would begin a braced
    // one; the driver reads neither as part of a file name, and would open (or
    // create) another file. Such a path is refused before anything is opened.
    if (path.contains(QLatin1Char(';')) || path.startsWith(QLatin1Char('{')))
        throw AppError(QStringLiteral("The database path cannot be passed to the driver: it holds a \";\" "
                                      "or begins with \"{\": %1")
                           .arg(path));
    return DatabaseConnectionString(path);
}

QString CurrentTableName;

bool DatabaseFileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'))) {
        const QDir dir = info.dir();
        return !dir.entryList({name}, QDir::Files).isEmpty();
    }
    return info.exists() && info.isFile();
}

std::shared_ptr<ADODB::Connection> OpenDatabaseConnection(std::optional<int> cursorLocation)
{
    auto connection = std::make_shared<ADODB::Connection>();
    if (cursorLocation)
        connection->CursorLocation = *cursorLocation;
    connection->Open(ConnectionStringFor(CurrentDatabasePath()));
    return connection;
}
