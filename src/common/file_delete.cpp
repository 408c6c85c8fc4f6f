#include "common/file_delete.h"

#include <shellapi.h>

#include <algorithm>

namespace common {

namespace {
// The longest path the extended-length form can carry, prefix and terminator
// included.
constexpr std::size_t kExtendedPathUnits = 32768;
constexpr std::wstring_view kExtendedPrefix = L"\\\\?\\";
}  // namespace

std::optional<std::array<wchar_t, MAX_PATH>> ShellPathList(std::wstring_view path) {
    if (path.empty() || path.size() + 2 > MAX_PATH) return std::nullopt;
    // The shell treats '*' and '?' as wildcards and would delete every match;
    // no file name holds them.
    if (path.find_first_of(L"*?") != std::wstring_view::npos) return std::nullopt;
    std::array<wchar_t, MAX_PATH> list{};
    std::ranges::copy(path, list.begin());
    return list;
}

std::optional<std::wstring> DirectDeletePath(std::wstring_view path) {
    // Room for the prefix and the terminator, with one unit to spare.
    if (path.empty() || path.size() + kExtendedPrefix.size() + 1 >= kExtendedPathUnits) return std::nullopt;
    if (path.size() < MAX_PATH - 1) return std::wstring(path);
    return std::wstring(kExtendedPrefix) + std::wstring(path);
}

bool DeleteFileType(std::wstring_view path, bool recycle) {
    std::optional<std::array<wchar_t, MAX_PATH>> list = ShellPathList(path);
    if (!list) return false;
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = GetActiveWindow();
    operation.wFunc = FO_DELETE;
    operation.pFrom = list->data();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
    if (recycle) operation.fFlags |= FOF_ALLOWUNDO;
    return SHFileOperationW(&operation) == 0;
}

bool DeleteFileTypeEx(std::wstring_view path) {
    const std::optional<std::wstring> target = DirectDeletePath(path);
    return target && DeleteFileW(target->c_str());
}

}  // namespace common
