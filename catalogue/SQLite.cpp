#include "SQLite.h"

#include "common/connection.h"

#include <QListWidget>

bool CanOpenDatabase()
{
    try {
        const QString path = CurrentDatabasePath();
        if (path.isEmpty() || !DatabaseFileExists(path))
            return false;
        auto connection = std::make_shared<ADODB::Connection>();
        connection->Open(ConnectionStringFor(path));
        return true;
    } catch (...) {
        return false;
    }
}

void FillTableList(QListWidget* list)
{
    auto connection = OpenDatabaseConnection(ADODB::adUseClient);
    list->clear();
    auto schema = connection->OpenSchema(ADODB::adSchemaTables);
    while (!schema->isEOF()) {
        const QString name = schema->Field(QStringLiteral("TABLE_NAME"));
        if (name.mid(3, 1) != QLatin1String("$"))
            list->addItem(name);
        schema->MoveNext();
    }
    schema->Close();
    connection->Close();
}
