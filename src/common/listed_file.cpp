#include "common/listed_file.h"

#include <vector>

namespace common {

namespace {

std::wstring_view WithoutLongPrefix(std::wstring_view path) {
    if (path.starts_with(L"\\\\?\\UNC\\")) return path.substr(7);  // keeps one backslash: "\server\share"
    if (path.starts_with(L"\\\\?\\")) path.remove_prefix(4);
    return path;
}

}  // namespace

bool NamesSameFile(std::wstring_view finalPath, std::wstring_view path) {
    std::wstring_view a = WithoutLongPrefix(finalPath);
    std::wstring_view b = WithoutLongPrefix(path);
    if (b.starts_with(L"\\\\")) b.remove_prefix(1);
    return !a.empty() && CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

UniqueFile OpenListedFile(const std::wstring& path, DWORD access, BY_HANDLE_FILE_INFORMATION* information) {
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself rather than its
    // target; where the system ignores it (Wine), the final path tells.
    UniqueFile file(CreateFileW(path.c_str(), access | DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return {};
    BY_HANDLE_FILE_INFORMATION own;
    BY_HANDLE_FILE_INFORMATION& read = information ? *information : own;
    if (!GetFileInformationByHandle(file.get(), &read) ||
        (read.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return {};
    std::vector<wchar_t> finalPath(MAX_PATH);
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(file.get(), finalPath.data(),
                                                       static_cast<DWORD>(finalPath.size()), VOLUME_NAME_DOS);
        if (length == 0) return {};
        if (length < finalPath.size()) {
            if (!NamesSameFile(std::wstring_view(finalPath.data(), length), path)) return {};
            return file;
        }
        finalPath.resize(length + 1);
    }
}

bool DeleteOpenedFile(HANDLE file) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

}  // namespace common
