#include "junk/recycle_bin.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "common/env_path.h"
#include "common/handles.h"
#include "common/listed_delete.h"

namespace junk {

namespace {

constexpr int kNameColumn = 0;
constexpr int kFolderColumn = 1;
constexpr int kSizeColumn = 3;

struct ItemIdList {
    ITEMIDLIST* pointer = nullptr;
    ~ItemIdList() { CoTaskMemFree(pointer); }
};

}  // namespace

std::uint64_t ParseRecycleSizeText(std::wstring_view text) {
    std::wstring upper(text);
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    const std::size_t blank = upper.find(L' ');
    if (blank == std::wstring::npos || blank == 0) return 0;
    const std::wstring number = upper.substr(0, blank);
    const std::wstring unit = upper.substr(blank + 1);
    const float value = static_cast<float>(std::wcstod(number.c_str(), nullptr));
    float factor = 1;
    if (unit == L"KB") factor = 1024.0f;
    else if (unit == L"MB") factor = 1024.0f * 1024;
    else if (unit == L"GB") factor = 1024.0f * 1024 * 1024;
    const float bytes = value * factor;
    return bytes > 0 ? static_cast<std::uint64_t>(bytes) : 0;
}

void ScanRecycleBin(JunkFileList& list) {
    // COM first: the shell folder objects need it on this thread.
    const common::ComScope apartment;
    common::ComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.put()))) return;
    ItemIdList bin;
    if (FAILED(SHGetFolderLocation(nullptr, CSIDL_BITBUCKET, nullptr, 0, &bin.pointer))) return;
    common::ComPtr<IShellFolder2> folder;
    if (FAILED(desktop->BindToObject(bin.pointer, nullptr, IID_IShellFolder2, folder.put_void()))) return;
    common::ComPtr<IEnumIDList> items;
    if (folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN, items.put()) !=
        S_OK)
        return;
    // Items deleted from the same folder share its text.
    std::wstring lastFolder;
    std::uint32_t lastIndex = 0;
    bool haveFolder = false;
    for (;;) {
        ItemIdList item;
        if (items->Next(1, &item.pointer, nullptr) != S_OK) break;
        std::wstring columns[kSizeColumn + 1];
        for (int column = 0; column <= kSizeColumn; ++column) {
            SHELLDETAILS details = {};
            if (FAILED(folder->GetDetailsOf(item.pointer, column, &details))) break;
            wchar_t* text = nullptr;
            if (SUCCEEDED(StrRetToStrW(&details.str, item.pointer, &text))) {
                columns[column] = text;
                CoTaskMemFree(text);
            }
        }
        std::wstring deletedFrom = columns[kFolderColumn] + L"\\";
        if (!haveFolder || deletedFrom != lastFolder) {
            lastIndex = list.AddFolder(deletedFrom, deletedFrom.size());
            lastFolder = std::move(deletedFrom);
            haveFolder = true;
        }
        list.Add(columns[kNameColumn], lastIndex, ParseRecycleSizeText(columns[kSizeColumn]));
    }
}

namespace {

// Under Wine the bin is the XDG trash of the user's Linux home (as Wine's
// shell finds it): the items in "files", a ".trashinfo" for each in "info".
// Nothing when not running under Wine.
std::optional<std::wstring> WineTrashFolder() {
    using ToDosPath = wchar_t*(CDECL*)(const char*);
    const auto toDosPath = reinterpret_cast<ToDosPath>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_dos_file_name")));
    if (!toDosPath) return std::nullopt;
    std::wstring share;
    if (const std::wstring xdg = common::ReadEnvironmentVariable(L"XDG_DATA_HOME"); !xdg.empty()) {
        // A Linux path: UTF-8 bytes.
        std::string unixPath(WideCharToMultiByte(CP_UTF8, 0, xdg.c_str(), -1, nullptr, 0, nullptr, nullptr), '\0');
        WideCharToMultiByte(CP_UTF8, 0, xdg.c_str(), -1, unixPath.data(), static_cast<int>(unixPath.size()), nullptr,
                            nullptr);
        wchar_t* dos = toDosPath(unixPath.c_str());
        if (!dos) return std::nullopt;
        share = dos;
        HeapFree(GetProcessHeap(), 0, dos);
    } else {
        // "\??\Z:\home\user", an NT path.
        std::wstring home = common::ReadEnvironmentVariable(L"WINEHOMEDIR");
        if (!home.starts_with(L"\\??\\")) return std::nullopt;
        share = home.substr(4) + L"\\.local\\share";
    }
    return common::ResolvedFolder(share + L"\\Trash");
}

// Deletes each item of the Wine trash through the deletion owner, and its
// ".trashinfo" once it is gone. An item that leads elsewhere (a link) stays.
bool EmptyWineTrash(const std::wstring& trash) {
    bool emptied = true;
    WIN32_FIND_DATAW data;
    const common::UniqueFind find(FindFirstFileW((trash + L"\\files\\*").c_str(), &data));
    if (!find) return true;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring item = trash + L"\\files\\" + name;
        common::DeleteResult result = common::DeleteResult::Elsewhere;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            result = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? common::DeleteListedTree(item)
                                                                        : common::DeleteListedFile(item);
        if (common::IsCleaned(result))
            common::DeleteListedFile(trash + L"\\info\\" + name + L".trashinfo");
        else
            emptied = false;
    } while (FindNextFileW(find.get(), &data));
    return emptied;
}

std::optional<RecycleBinCalls>& TestCalls() {
    static std::optional<RecycleBinCalls> calls;
    return calls;
}

const RecycleBinCalls& ShellCalls() {
    static const RecycleBinCalls calls{
        .query =
            [] {
                SHQUERYRBINFO info = {};
                info.cbSize = sizeof(info);
                return SHQueryRecycleBinW(nullptr, &info);
            },
        .empty = [](DWORD flags) { return SHEmptyRecycleBinW(nullptr, nullptr, flags); },
    };
    return calls;
}

}  // namespace

void SetRecycleBinCallsForTest(std::optional<RecycleBinCalls> calls) { TestCalls() = std::move(calls); }

bool EmptyRecycleBin() {
    // Wine's shell empties its bin with DeleteFileW, which deletes the target
    // of a link to a file: there the items go through the deletion owner.
    if (!TestCalls())
        if (const std::optional<std::wstring> trash = WineTrashFolder()) return EmptyWineTrash(*trash);
    const RecycleBinCalls& calls = TestCalls() ? *TestCalls() : ShellCalls();
    if (calls.query() != S_OK) return false;
    return calls.empty(SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND) == S_OK;
}

}  // namespace junk
