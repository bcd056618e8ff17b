#include "Wordpad1.h"

#include "platform/wordprocessor.h"
#include "common/Main.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace Wordpad1 {
QString GetWordpadPath()
{
    // The registered word processor where the system has one (WordPad); else,
    // as where WordPad was removed, the print helper installed beside the program.
    const QString registered = RegisteredWordProcessor();
    if (!registered.isEmpty() && QFileInfo(registered).isFile())
        return registered;
    return QStandardPaths::findExecutable(QStringLiteral("vestrel-print"), {Main::ProgramFolder()});
}
} // namespace Wordpad1
