#include "disk/file_walk.h"

#include <windows.h>

#include "common/handles.h"

namespace disk {

namespace {

bool IsDots(const wchar_t* name) { return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0)); }

std::uint64_t SizeOf(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

// One buffer holds the current folder with its trailing backslash; a file's
// path is that buffer with the name appended for the visit.
void WalkFolder(std::wstring& path, const FileVisitor& visit) {
    const std::size_t length = path.size();
    path += L"*.*";
    WIN32_FIND_DATAW data;
    const common::UniqueFind find(FindFirstFileW(path.c_str(), &data));
    path.resize(length);
    if (!find) return;
    do {
        if (IsDots(data.cFileName) || (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        path += data.cFileName;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            path += L'\\';
            WalkFolder(path, visit);
        } else {
            visit(path, SizeOf(data.nFileSizeHigh, data.nFileSizeLow));
        }
        path.resize(length);
    } while (FindNextFileW(find.get(), &data));
}

}  // namespace

void ForEachFile(const std::wstring& path, const FileVisitor& visit) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return;
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        visit(path, SizeOf(data.nFileSizeHigh, data.nFileSizeLow));
        return;
    }
    std::wstring folder = path;
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    WalkFolder(folder, visit);
}

}  // namespace disk
