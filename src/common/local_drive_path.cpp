#include "common/local_drive_path.h"

#include <windows.h>

#include <array>
#include <cwctype>

namespace common {

namespace {

constexpr std::wstring_view kLongPrefix = L"\\\\?\\";

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// Characters no file name holds: ':' would name a stream, the others are
// wildcards, quotes, pipes and control characters.
bool IsForbidden(wchar_t c) { return c < 0x20 || std::wstring_view(L":*?\"<>|").find(c) != std::wstring_view::npos; }

bool EqualsIgnoringCase(std::wstring_view text, std::wstring_view name) {
    if (text.size() != name.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (std::towupper(text[i]) != name[i]) return false;
    return true;
}

// Windows opens a device for such a component whatever its extension or the
// spaces after the name ("nul.txt", "CON .log").
bool IsDeviceName(std::wstring_view component) {
    std::wstring_view stem = component.substr(0, component.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') stem.remove_suffix(1);
    static constexpr std::array<std::wstring_view, 6> kNames = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const std::wstring_view name : kNames)
        if (EqualsIgnoringCase(stem, name)) return true;
    if (stem.size() != 4 || !(EqualsIgnoringCase(stem.substr(0, 3), L"COM") || EqualsIgnoringCase(stem.substr(0, 3), L"LPT")))
        return false;
    // COM0-COM9, LPT0-LPT9, and the superscript one, two and three.
    const wchar_t number = stem[3];
    return (number >= L'0' && number <= L'9') || number == L'\u00B9' || number == L'\u00B2' || number == L'\u00B3';
}

}  // namespace

std::optional<std::wstring> LocalDriveRoot(std::wstring_view path) {
    if (path.starts_with(kLongPrefix)) path.remove_prefix(kLongPrefix.size());
    if (path.size() < 3 || !IsDriveLetter(path[0]) || path[1] != L':' || !IsSeparator(path[2])) return std::nullopt;
    const std::wstring_view rest = path.substr(3);
    for (const wchar_t c : rest)
        if (IsForbidden(c)) return std::nullopt;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = start;
        while (end < rest.size() && !IsSeparator(rest[end])) ++end;
        if (IsDeviceName(rest.substr(start, end - start))) return std::nullopt;
        start = end + 1;
    }
    return std::wstring{path[0], L':', L'\\'};
}

bool IsOnLocalFixedDrive(std::wstring_view path) {
    const std::optional<std::wstring> root = LocalDriveRoot(path);
    return root && GetDriveTypeW(root->c_str()) == DRIVE_FIXED;
}

}  // namespace common
