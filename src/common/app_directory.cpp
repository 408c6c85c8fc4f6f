#include "common/app_directory.h"

#include <windows.h>

namespace common {

std::wstring DirectoryOfPath(std::wstring_view modulePath) {
    const std::size_t slash = modulePath.rfind(L'\\');
    if (slash == std::wstring_view::npos) return L"\\";
    return std::wstring(modulePath.substr(0, slash + 1));
}

CMyStdWString GetAppDirectory() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    // A truncated path would name some other folder.
    if (length == 0 || length >= MAX_PATH) return {};
    return CMyStdWString(DirectoryOfPath(std::wstring_view(path, length)));
}

}  // namespace common
