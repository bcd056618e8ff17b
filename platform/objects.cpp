#include "objects.h"

#include "data/error.h"
#include "spreadsheet.h"

#include <QHash>

namespace {
QHash<QString, ObjectFactory>& factories()
{
    static QHash<QString, ObjectFactory> registry{
        {QStringLiteral("Excel.Application"), [] { return std::shared_ptr<void>(std::make_shared<ExcelApplication>()); }},
    };
    return registry;
}
} // namespace

void RegisterObjectFactory(const QString& progId, ObjectFactory factory) { factories()[progId] = std::move(factory); }

std::shared_ptr<void> CreateObjectUntyped(const QString& progId)
{
    const auto found = factories().constFind(progId);
    if (found == factories().constEnd())
        throw AppError(QStringLiteral("ActiveX component can't create object: %1").arg(progId));
    return found.value()();
}
