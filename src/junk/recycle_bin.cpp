#include "junk/recycle_bin.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdlib>
#include <string>

#include "common/handles.h"

namespace junk {

namespace {

constexpr int kNameColumn = 0;
constexpr int kFolderColumn = 1;
constexpr int kSizeColumn = 3;

struct ItemIdList {
    ITEMIDLIST* pointer = nullptr;
    ~ItemIdList() { CoTaskMemFree(pointer); }
};

class ComApartment {
public:
    ComApartment() : owned_(CoInitialize(nullptr) == S_OK) {}
    ~ComApartment() {
        if (owned_) CoUninitialize();
    }

private:
    bool owned_;
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
    const ComApartment apartment;
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

bool EmptyRecycleBin() {
    SHQUERYRBINFO info = {};
    info.cbSize = sizeof(info);
    if (SHQueryRecycleBinW(nullptr, &info) != S_OK) return false;
    return SHEmptyRecycleBinW(nullptr, nullptr, SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND) == S_OK;
}

}  // namespace junk
