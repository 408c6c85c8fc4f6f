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

struct RootAbbreviation {
    std::wstring_view shortName;
    std::wstring_view fullName;
};
constexpr RootAbbreviation kRoots[] = {
    {L"HKCU", L"HKEY_CURRENT_USER"}, {L"HKLM", L"HKEY_LOCAL_MACHINE"}, {L"HKCR", L"HKEY_CLASSES_ROOT"},
    {L"HKU", L"HKEY_USERS"},         {L"HKCC", L"HKEY_CURRENT_CONFIG"},
};

}  // namespace

std::wstring NormalKeepText(std::wstring_view text) {
    std::wstring normal(text);
    std::ranges::replace(normal, L'/', L'\\');
    normal.resize(WithoutTrailingBackslashes(normal).size());
    const std::wstring_view first = std::wstring_view(normal).substr(0, normal.find(L'\\'));
    for (const RootAbbreviation& root : kRoots)
        if (SamePathText(first, root.shortName)) return std::wstring(root.fullName) + normal.substr(first.size());
    return normal;
}

bool IsRegistryText(std::wstring_view normal) {
    const std::wstring_view first = normal.substr(0, normal.find(L'\\'));
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
