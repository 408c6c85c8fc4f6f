#include "bench_tree.h"

#include <windows.h>

#include <string_view>

namespace bench {

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

namespace {

std::wstring FolderName(int folder) {
    // 40 top folders, each holding 99 sub-folders.
    const int top = folder / 100, sub = folder % 100;
    std::wstring name = L"group" + std::to_wstring(top);
    if (sub) name += L"\\cache" + std::to_wstring(sub);
    return name;
}

}  // namespace

void MakeTree(const std::wstring& root, int folders, int files) {
    CreateDirectoryW(root.c_str(), nullptr);
    for (int f = 0; f < folders; ++f) {
        const std::wstring folder = root + L"\\" + FolderName(f);
        CreateDirectoryW(folder.c_str(), nullptr);
        for (int i = 0; i < files; ++i) {
            const std::wstring path = folder + L"\\file" + std::to_wstring(i) + L".tmp";
            const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD written = 0;
            WriteFile(file, "junk", 4, &written, nullptr);
            CloseHandle(file);
        }
    }
}

std::size_t Enumerate(const std::wstring& folder, std::vector<std::wstring>* files, std::vector<std::wstring>* dirs) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW((folder + L"\\*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    std::size_t count = 0;
    do {
        const std::wstring_view name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            count += Enumerate(folder + L"\\" + data.cFileName, files, dirs);
            if (dirs) dirs->push_back(folder + L"\\" + data.cFileName);
        } else {
            ++count;
            if (files) files->push_back(folder + L"\\" + data.cFileName);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return count;
}

}  // namespace bench
