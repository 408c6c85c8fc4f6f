#pragma once
// The tests that decide whether a registry entry is an issue. Each takes the
// entry's text and the file-system questions it needs as functions, so the
// rules are checked without touching the machine.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace registry {

using ExistsTest = std::function<bool(const std::wstring& path)>;

// A path with an environment token, expanded, and the alternative that names
// the 64-bit folder under WOW64 (empty where there is none).
struct ExpandedPath {
    std::wstring expanded;
    std::wstring alternative;
};
using PathExpander = std::function<ExpandedPath(const std::wstring& path)>;

// Firewall rules: valid unless their "app=" program path names a drive and
// exists in neither form.
bool FirewallRuleIsValid(std::wstring_view rule, const PathExpander& expand, const ExistsTest& exists);

// MUI cache value names ("C:\Tools\app.exe.FriendlyAppName"): valid unless
// they start with a present drive letter and no shortening of the name to
// an existing file is found. `drives` is the GetLogicalDrives bit mask.
bool MuiPathIsValid(std::wstring_view name, std::uint32_t drives, bool wow64, const ExistsTest& exists);

// Shared DLL value names: valid when the file exists, under WOW64 also in the
// 64-bit folder.
bool DllPathIsValid(std::wstring_view name, bool wow64, const ExistsTest& exists);

// Values of the WOW6432Node Uninstall key: valid when the expanded path or its
// alternative exists, or both are too short to name a file.
bool ExpandedPathIsValid(std::wstring_view name, const PathExpander& expand, const ExistsTest& exists);

// An Uninstall entry with no sub-keys is an issue when it holds no value but
// perhaps the unnamed default one.
bool UninstallEntryIsIssue(std::uint32_t subKeys, std::uint32_t values, bool onlyValueIsDefault);

}  // namespace registry
