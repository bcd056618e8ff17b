#pragma once
// Starting other programs without waiting for them, behind one seam.
#include <QString>
#include <QStringList>
#include <functional>

// Starts the program; throws AppError when it cannot be started.
void StartDetached(const QString& program, const QStringList& arguments);

using LaunchHandler = std::function<void(const QString&, const QStringList&)>;
void SetLaunchHandler(LaunchHandler handler);
// Hands the launch to the seam where one is set (tests); false otherwise.
bool LaunchIntercepted(const QString& program, const QStringList& arguments);

// Runs the program and waits for it to end, at most timeoutMs; returns its
// exit status. Throws AppError when it cannot be started, does not end
// normally, or is still running after the time (it is then stopped).
int RunAndWait(const QString& program, const QStringList& arguments, int timeoutMs);

using RunHandler = std::function<int(const QString&, const QStringList&, int timeoutMs)>;
void SetRunHandler(RunHandler handler);
