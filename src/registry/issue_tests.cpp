#include "registry/issue_tests.h"

#include "common/text.h"

namespace registry {

namespace {

// Shared by the firewall and expanded-path tests.
bool ExpandedOrAlternativeExists(const ExpandedPath& path, const ExistsTest& exists) {
    if (path.expanded.size() < 2 && path.alternative.size() < 2) return true;
    if (exists(path.expanded)) return true;
    return path.alternative.size() > 2 && exists(path.alternative);
}

// Cuts `name` at its last dot while that dot belongs to the file name part
// (after the last backslash). False when there is no such dot.
bool CutLastDot(std::wstring& name) {
    const std::size_t backslash = name.rfind(L'\\');
    const std::size_t dot = name.rfind(L'.');
    if (backslash == std::wstring::npos || dot == std::wstring::npos || dot < backslash) return false;
    name.erase(dot);
    return true;
}

bool HasDotAfterLastBackslash(const std::wstring& name) {
    const std::size_t backslash = name.rfind(L'\\');
    return name.find(L'.', backslash == std::wstring::npos ? 0 : backslash) != std::wstring::npos;
}

}  // namespace

bool FirewallRuleIsValid(std::wstring_view rule, const PathExpander& expand, const ExistsTest& exists) {
    std::wstring text = common::LowerCase(rule);
    const std::size_t app = text.find(L"app=");
    if (app == std::wstring::npos) return true;
    text.erase(0, app + 4);
    // The program path is the text up to the field separator; a rule whose
    // "app=" field is its last (no separator follows) names no program path
    // that can be checked.
    const std::size_t bar = text.find(L'|');
    if (bar == std::wstring::npos) return true;
    text.erase(bar);
    const ExpandedPath path = expand(text);
    if (path.expanded.find(L":\\") == std::wstring::npos) return true;
    return ExpandedOrAlternativeExists(path, exists);
}

bool MuiPathIsValid(std::wstring_view name, std::uint32_t drives, bool wow64, const ExistsTest& exists) {
    if (name.rfind(L':') != 1) return true;
    const wchar_t drive = name[0];
    if (drive < L'A' || drive > L'Z' || !(drives & (1u << (drive - L'A')))) return true;

    std::wstring path(name);
    for (;;) {
        if (exists(path)) return true;
        if (!CutLastDot(path) || !HasDotAfterLastBackslash(path)) break;
    }
    if (!wow64) return false;

    path = common::LowerCase(name);
    if (common::HoldsAt(path, 1, L":\\windows\\system32"))
        path.replace(1, 18, L":\\windows\\SysWOW64");
    else if (common::HoldsAt(path, 1, L":\\program files (x86)"))
        path.replace(1, 21, L":\\Program Files");
    else
        return false;
    // Two name parts go per pass here.
    for (;;) {
        if (exists(path)) return true;
        if (!CutLastDot(path)) return false;
        const std::size_t backslash = path.rfind(L'\\');
        const std::size_t dot = path.find(L'.', backslash);
        if (dot == std::wstring::npos) return false;
        path.erase(dot);
    }
}

bool DllPathIsValid(std::wstring_view name, bool wow64, const ExistsTest& exists) {
    std::wstring path = common::LowerCase(name);
    if (exists(path)) return true;
    if (!wow64) return false;
    if (common::HoldsAt(path, 1, L":\\program files (x86)"))
        path.replace(1, 21, L":\\program files");
    else if (common::HoldsAt(path, 1, L":\\windows\\system32"))
        path.replace(11, 8, L"SysWOW64");
    return exists(path);
}

bool ExpandedPathIsValid(std::wstring_view name, const PathExpander& expand, const ExistsTest& exists) {
    return ExpandedOrAlternativeExists(expand(common::LowerCase(name)), exists);
}

bool UninstallEntryIsIssue(std::uint32_t subKeys, std::uint32_t values, bool onlyValueIsDefault) {
    if (subKeys != 0) return false;
    return values == 0 || (values == 1 && onlyValueIsDefault);
}

}  // namespace registry
