#include "launcher.h"

#include "error.h"

#include <QProcess>

namespace {
LaunchHandler& handler()
{
    static LaunchHandler h;
    return h;
}
} // namespace

void SetLaunchHandler(LaunchHandler h) { handler() = std::move(h); }

void StartDetached(const QString& program, const QStringList& arguments)
{
    if (handler()) {
        handler()(program, arguments);
        return;
    }
    if (!QProcess::startDetached(program, arguments))
        throw AppError(QStringLiteral("File not found: %1").arg(program));
}
