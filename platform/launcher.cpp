#include "launcher.h"

#include "data/error.h"

#include <QProcess>

namespace {
LaunchHandler& handler()
{
    static LaunchHandler h;
    return h;
}
} // namespace

void SetLaunchHandler(LaunchHandler h) { handler() = std::move(h); }

bool LaunchIntercepted(const QString& program, const QStringList& arguments)
{
    if (!handler())
        return false;
    handler()(program, arguments);
    return true;
}

void StartDetached(const QString& program, const QStringList& arguments)
{
    if (LaunchIntercepted(program, arguments))
        return;
    if (!QProcess::startDetached(program, arguments))
        throw AppError(QStringLiteral("File not found: %1").arg(program));
}

namespace {
RunHandler& runHandler()
{
    static RunHandler h;
    return h;
}
} // namespace

void SetRunHandler(RunHandler h) { runHandler() = std::move(h); }

int RunAndWait(const QString& program, const QStringList& arguments, int timeoutMs)
{
    if (runHandler())
        return runHandler()(program, arguments, timeoutMs);
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted())
        throw AppError(QStringLiteral("File not found: %1").arg(program.isEmpty() ? QStringLiteral("(no program)") : program));
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        throw AppError(QStringLiteral("%1 did not finish within %2 seconds and was stopped.")
                           .arg(program)
                           .arg(timeoutMs / 1000));
    }
    if (process.exitStatus() != QProcess::NormalExit)
        throw AppError(QStringLiteral("%1 ended abnormally").arg(program));
    return process.exitCode();
}
