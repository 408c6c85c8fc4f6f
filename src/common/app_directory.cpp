#include "common/app_directory.h"

namespace common {

std::wstring DirectoryOfPath(std::wstring_view modulePath) {
    const bool drive = modulePath.size() >= 3 && modulePath[1] == L':' && modulePath[2] == L'\\';
    const bool share = modulePath.starts_with(L"\\\\");
    const std::size_t slash = modulePath.rfind(L'\\');
    if ((!drive && !share) || slash == std::wstring_view::npos) return {};
    return std::wstring(modulePath.substr(0, slash + 1));
}

std::wstring ModuleFolder(const wchar_t* buffer, DWORD answered, DWORD capacity) {
    // A truncated path would name some other folder.
    if (answered == 0 || answered >= capacity) return {};
    return DirectoryOfPath(std::wstring_view(buffer, answered));
}

CMyStdWString GetAppDirectory() {
    wchar_t path[MAX_PATH];
    return CMyStdWString(ModuleFolder(path, GetModuleFileNameW(nullptr, path, MAX_PATH), MAX_PATH));
}

}  // namespace common
