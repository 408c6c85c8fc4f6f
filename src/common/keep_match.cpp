#include "common/keep_match.h"

#include <windows.h>

#include <algorithm>

#include "common/listed_delete.h"
#include "common/text.h"

namespace common {

namespace {

// Whether `below` is `above` itself or lies under it, letter case aside.
bool IsAtOrBelow(std::wstring_view above, std::wstring_view below) {
    above = WithoutTrailingBackslashes(above);
    below = WithoutTrailingBackslashes(below);
    if (above.empty() || below.size() < above.size()) return false;
    if (below.size() > above.size() && below[above.size()] != L'\\') return false;
    return SamePathText(above, below.substr(0, above.size()));
}

bool StartsWith(std::wstring_view text, std::wstring_view start) {
    return text.size() >= start.size() && SamePathText(text.substr(0, start.size()), start);
}

std::wstring_view FirstPart(std::wstring_view text) { return text.substr(0, text.find(L'\\')); }

struct RootAbbreviation {
    std::wstring_view shortName;
    std::wstring_view fullName;
};
constexpr RootAbbreviation kRoots[] = {
    {L"HKCU", L"HKEY_CURRENT_USER"}, {L"HKLM", L"HKEY_LOCAL_MACHINE"}, {L"HKCR", L"HKEY_CLASSES_ROOT"},
    {L"HKU", L"HKEY_USERS"},         {L"HKCC", L"HKEY_CURRENT_CONFIG"},
};

// What may stand before a root: regedit's address bar ("Computer\" in the
// languages the program speaks) and PowerShell's provider paths.
constexpr std::wstring_view kRootLeads[] = {L"Computer\\", L"\u8BA1\u7B97\u673A\\",
                                            L"Microsoft.PowerShell.Core\\Registry::", L"Registry::"};

// Keys that a user may name in two ways, as the scans list them:
// HKEY_CLASSES_ROOT merges the machine's and the user's Software\Classes, and
// the class scan lists what it finds there under HKEY_CLASSES_ROOT; the
// user's Local Settings lie in the same merge but are listed (by the MUI
// cache scan) under HKEY_CURRENT_USER. The first row that holds a text wins.
struct KeyAlias {
    std::wstring_view typed;
    std::wstring_view listed;
};
constexpr KeyAlias kKeyAliases[] = {
    {L"HKEY_CURRENT_USER\\Software\\Classes\\Local Settings", L"HKEY_CURRENT_USER\\Software\\Classes\\Local Settings"},
    {L"HKEY_CLASSES_ROOT\\Local Settings", L"HKEY_CURRENT_USER\\Software\\Classes\\Local Settings"},
    {L"HKEY_CURRENT_USER\\Software\\Classes", L"HKEY_CLASSES_ROOT"},
    {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes", L"HKEY_CLASSES_ROOT"},
};

// A path's extended-length and device prefixes, and what each stands for.
struct PathPrefix {
    std::wstring_view prefix;
    std::wstring_view plain;
    bool beforeDrive;  // only before "X:"
};
constexpr PathPrefix kPathPrefixes[] = {
    {L"\\\\?\\UNC\\", L"\\\\", false},
    {L"\\\\?\\", L"", true},
    {L"\\\\.\\", L"", true},
    {L"\\??\\", L"", true},
};

// The full name of the root `first` names (its full name, its abbreviation,
// either with PowerShell's colon); empty when it names none.
std::wstring_view RootNamed(std::wstring_view first) {
    if (first.ends_with(L':')) first.remove_suffix(1);
    for (const RootAbbreviation& root : kRoots)
        if (SamePathText(first, root.shortName) || SamePathText(first, root.fullName)) return root.fullName;
    return {};
}

// The registry text that `text` names, in the form the scans list; empty
// when `text` names no registry key.
std::wstring RegistryText(std::wstring_view text) {
    for (const std::wstring_view lead : kRootLeads) {
        if (StartsWith(text, lead) && !RootNamed(FirstPart(text.substr(lead.size()))).empty()) {
            text.remove_prefix(lead.size());
            break;
        }
    }
    const std::wstring_view first = FirstPart(text);
    const std::wstring_view root = RootNamed(first);
    if (root.empty()) return {};
    const std::wstring full = std::wstring(root).append(text.substr(first.size()));
    for (const KeyAlias& alias : kKeyAliases)
        if (IsAtOrBelow(alias.typed, full)) return std::wstring(alias.listed).append(full.substr(alias.typed.size()));
    return full;
}

bool IsDriveStart(std::wstring_view text) {
    return text.size() >= 2 && text[1] == L':' && ((text[0] >= L'A' && text[0] <= L'Z') || (text[0] >= L'a' && text[0] <= L'z'));
}

}  // namespace

std::wstring NormalKeepText(std::wstring_view text) {
    std::wstring normal(text);
    std::ranges::replace(normal, L'/', L'\\');
    for (const PathPrefix& prefix : kPathPrefixes) {
        if (!StartsWith(normal, prefix.prefix)) continue;
        const std::wstring_view rest = std::wstring_view(normal).substr(prefix.prefix.size());
        if (prefix.beforeDrive && !IsDriveStart(rest)) break;
        normal = std::wstring(prefix.plain).append(rest);
        break;
    }
    normal.resize(WithoutTrailingBackslashes(normal).size());
    if (std::wstring registry = RegistryText(normal); !registry.empty()) return registry;
    return normal;
}

bool IsRegistryText(std::wstring_view normal) {
    const std::wstring_view first = FirstPart(normal);
    return std::ranges::any_of(kRoots, [first](const RootAbbreviation& root) { return SamePathText(first, root.fullName); });
}

bool Keeps(std::wstring_view kept, std::wstring_view item) { return IsAtOrBelow(kept, item); }

bool IsKept(const KeptItems& kept, std::wstring_view item) {
    return std::ranges::any_of(kept, [item](const std::wstring& text) { return Keeps(text, item); });
}

bool HoldsKept(const KeptItems& kept, std::wstring_view folder) {
    return std::ranges::any_of(
        kept, [folder](const std::wstring& text) { return IsAtOrBelow(text, folder) || IsAtOrBelow(folder, text); });
}

}  // namespace common
