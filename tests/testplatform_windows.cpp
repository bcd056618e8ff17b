#include "testplatform.h"

#include <QDir>
#include <QSettings>
#include <windows.h>

QString DriverPath(const QString& path)
{
    // wine's kernel32 names the host file behind a Windows path; Windows itself has no such call.
    using UnixName = char* (*)(const wchar_t*);
    static const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName)
        return path;
    // Drive Z: is the host's root: without the drive the path names the same file
    // for the Windows side (cwd on Z:) and for the host's driver.
    const QString slashed = QDir::fromNativeSeparators(path);
    if (slashed.startsWith(QLatin1String("Z:/"), Qt::CaseInsensitive))
        return slashed.mid(2);
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    char* host = unixName(native.c_str());
    if (!host)
        return path;
    const QString result = QString::fromUtf8(host);
    HeapFree(GetProcessHeap(), 0, host);
    return result;
}

void ForgetProgramSettings(const QString&)
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Pellorin"), QStringLiteral("Vestrel")).clear();
}

// The drivers are the machine's (its registry, or under wine the host's driver manager).
bool HideOdbcDrivers(QProcessEnvironment*, const QString&) { return false; }
