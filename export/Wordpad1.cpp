#include "Wordpad1.h"

#include "shell/Main.h"

#include <QFileInfo>

namespace Wordpad1 {
QString GetWordpadPath()
{
    const QString path = Main::ProgramFolder() + QLatin1String("/vestrel-print");
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable() ? path : QString();
}
} // namespace Wordpad1
