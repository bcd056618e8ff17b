#pragma once
// Starting other programs without waiting for them, behind one seam.
#include <QString>
#include <QStringList>
#include <functional>

// Starts the program; throws AppError when it cannot be started.
void StartDetached(const QString& program, const QStringList& arguments);

using LaunchHandler = std::function<void(const QString&, const QStringList&)>;
void SetLaunchHandler(LaunchHandler handler);

// Runs the program and waits for it to end; returns its exit status. Throws
// AppError when it cannot be started or does not end normally.
int RunAndWait(const QString& program, const QStringList& arguments);

using RunHandler = std::function<int(const QString&, const QStringList&)>;
void SetRunHandler(RunHandler handler);
