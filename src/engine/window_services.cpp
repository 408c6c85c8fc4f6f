#include "engine/window_services.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cwctype>

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
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
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
    const auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", L"explorer.exe", argument->c_str(), nullptr, SW_SHOWNORMAL));
    return result > 32;
}

}  // namespace engine
