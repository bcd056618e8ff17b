#include "connection.h"

#include "Form1.h"
#include "forms.h"

#include <QDir>
#include <QLineEdit>
#include <QFileInfo>

QString DatabaseConnectionString(const QString& path)
{
    return QLatin1String("DRIVER=SQLite3 ODBC Driver;Database=") + path
        + QLatin1String(";LongNames=0;Timeout=1000;NoTXN=0;SyncPragma=NORMAL;StepAPI=0;");
}

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

QString CurrentDatabasePath() { return Forms::form1().Text1->text(); }

std::shared_ptr<ADODB::Connection> OpenDatabaseConnection(std::optional<int> cursorLocation)
{
    auto connection = std::make_shared<ADODB::Connection>();
    if (cursorLocation)
        connection->CursorLocation = *cursorLocation;
    connection->Open(DatabaseConnectionString(CurrentDatabasePath()));
    return connection;
}
