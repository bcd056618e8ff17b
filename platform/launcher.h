#pragma once
// Starting other programs without waiting for them, behind one seam.
#include <QString>
#include <QStringList>
#include <functional>

// Starts the program; throws AppError when it cannot be started.
void StartDetached(const QString& program, const QStringList& arguments);

using LaunchHandler = std::function<void(const QString&, const QStringList&)>;
void SetLaunchHandler(LaunchHandler handler);
