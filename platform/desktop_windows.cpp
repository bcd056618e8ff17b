#include "desktop.h"

#include "launcher.h"

#include "data/error.h"

#include <windows.h>
#include <shlwapi.h>

// The shell opens it with the program registered for it ("open" verb).
void OpenWithDesktop(const QString& target)
{
    if (LaunchIntercepted(QStringLiteral("open"), {target}))
        return;
    const std::wstring file = target.toStdWString();
    if (reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) <= 32)
        throw AppError(QStringLiteral("File not found: %1").arg(target));
}

QString RegisteredProgramFor(const QString& extension)
{
    wchar_t program[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    const std::wstring ext = extension.toStdWString();
    if (AssocQueryStringW(ASSOCF_NONE, ASSOCSTR_EXECUTABLE, ext.c_str(), L"open", program, &size) != S_OK)
        return QString();
    return QString::fromWCharArray(program);
}
