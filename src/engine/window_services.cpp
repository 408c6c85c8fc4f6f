#include "engine/window_services.h"

#include <windows.h>
#include <shobjidl.h>

#include <algorithm>
#include <cwctype>

#include "common/handles.h"
#include "engine/shell_launch.h"
#include "engine/shell_routes.h"

namespace engine {

namespace {

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); });
}

bool HasUnsafeCharacter(std::wstring_view text) {
    return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x20 || c == 0x7f || c == L'"'; });
}

}  // namespace

std::optional<WindowState> ParseWindowState(std::wstring_view text) {
    if (text == L"hidden") return WindowState::Hidden;
    if (text == L"minimized") return WindowState::Minimized;
    if (text == L"shown") return WindowState::Shown;
    return std::nullopt;
}

bool IsWebAddress(std::wstring_view address) {
    for (std::wstring_view scheme : {std::wstring_view(L"http://"), std::wstring_view(L"https://")})
        if (StartsWithNoCase(address, scheme) && address.size() > scheme.size()) return !HasUnsafeCharacter(address);
    return false;
}

bool OpenWebAddress(const std::wstring& address) {
    if (!IsWebAddress(address)) return false;
    return StartCommand({ShellCommand::Kind::Document, address, {}}).has_value();
}

std::optional<std::wstring> ExplorerArgument(std::wstring_view folder) {
    if (folder.empty() || HasUnsafeCharacter(folder)) return std::nullopt;
    // A trailing backslash would escape the closing quote.
    while (folder.size() > 3 && folder.back() == L'\\') folder.remove_suffix(1);
    return L"\"" + std::wstring(folder) + L"\"";
}

bool ShowFolder(const std::wstring& folder) {
    const std::optional<std::wstring> argument = ExplorerArgument(folder);
    if (!argument) return false;
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    return StartCommand({ShellCommand::Kind::Program, ExplorerPath(), *argument}).has_value();
}

std::vector<FolderEntry> ListFolder(std::wstring pattern) {
    std::replace(pattern.begin(), pattern.end(), L'/', L'\\');
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW data;
    const common::UniqueFind find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
    if (!find) return entries;
    do {
        entries.push_back({data.cFileName, data.dwFileAttributes});
    } while (FindNextFileW(find.get(), &data));
    return entries;
}

std::optional<std::wstring> FileUrlOf(std::wstring_view path) {
    const bool drive = path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
    if (!drive || HasUnsafeCharacter(path)) return std::nullopt;
    std::wstring url = L"file:///";
    for (const wchar_t c : path) {
        if (c == L'\\') {
            url += L'/';
        } else if (c == L' ' || c == L'%' || c == L'#' || c == L'?') {
            static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
            url += L'%';
            url += kHex[(c >> 4) & 0xF];
            url += kHex[c & 0xF];
        } else {
            url += c;
        }
    }
    return url;
}

std::optional<std::wstring> ChooseFolder() {
    common::ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog, dialog.put_void())))
        return std::nullopt;
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    if (FAILED(dialog->Show(nullptr))) return std::nullopt;
    common::ComPtr<IShellItem> item;
    if (FAILED(dialog->GetResult(item.put()))) return std::nullopt;
    PWSTR path = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) return std::nullopt;
    std::wstring folder(path);
    CoTaskMemFree(path);
    return folder;
}

}  // namespace engine
