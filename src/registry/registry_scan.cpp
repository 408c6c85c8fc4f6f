#include "registry/registry_scan.h"

#include <windows.h>

#include <functional>
#include <unordered_set>

#include "common/env_path.h"
#include "common/fs_redirection.h"
#include "common/text.h"
#include "common/wow64.h"
#include "core/keep_list.h"
#include "core/worker_tasks.h"
#include "registry/issue_tests.h"
#include "registry/registry_access.h"

namespace registry {

namespace {

constexpr std::uint32_t kClassesRoot = 0x80000000;
constexpr std::uint32_t kCurrentUser = 0x80000001;
constexpr std::uint32_t kLocalMachine = 0x80000002;

constexpr wchar_t kFirewallParent[] = L"SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\";
constexpr wchar_t kMuiParent[] = L"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\";
constexpr wchar_t kUninstallParent[] = L"Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\";
constexpr const wchar_t* kSharedDllKeys[] = {L"Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDlls\\",
                                             L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs\\"};
constexpr const wchar_t* kUninstallKeys[] = {L"Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\",
                                             L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"};
// Firewall rule data is read into a buffer of this many bytes.
constexpr DWORD kRuleDataBytes = 1040;

// The file tests of one category: once a folder is known to be missing,
// nothing below it is looked up again (many entries name the same folder of
// an uninstalled program). File-system redirection stays the same throughout
// a category.
class FileTests {
public:
    bool operator()(const std::wstring& path) {
        const std::size_t backslash = path.rfind(L'\\');
        std::wstring folder = backslash == std::wstring::npos ? std::wstring() : common::LowerCase(path.substr(0, backslash));
        if (!folder.empty() && missingFolders_.contains(folder)) return false;
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        if (GetLastError() == ERROR_PATH_NOT_FOUND && !folder.empty()) missingFolders_.insert(std::move(folder));
        return false;
    }

private:
    std::unordered_set<std::wstring> missingFolders_;
};

ExpandedPath Expand(const std::wstring& path) {
    ExpandedPath result;
    common::ExpandEnvironmentPath(path, result.expanded, result.alternative);
    return result;
}

// The key, opened for reading and writing in the default view, when it holds
// no sub-keys.
common::UniqueRegKey OpenLeafKey(HKEY root, const std::wstring& path) {
    common::UniqueRegKey key = OpenKey(root, path, kReadWrite);
    if (!key) return key;
    const std::optional<KeyCounts> counts = CountKeyContents(key.get());
    if (!counts || counts->subKeys != 0) return {};
    return key;
}

bool IsEmptyKey(HKEY parent, const std::wstring& name) {
    const common::UniqueRegKey key = OpenKey(parent, name, kReadWrite);
    if (!key) return false;
    const std::optional<KeyCounts> counts = CountKeyContents(key.get());
    return counts && counts->subKeys == 0 && counts->values == 0;
}

bool IsEmptyUninstallEntry(HKEY parent, const std::wstring& name) {
    const common::UniqueRegKey key = OpenKey(parent, name, kReadWrite);
    if (!key) return false;
    const std::optional<KeyCounts> counts = CountKeyContents(key.get());
    if (!counts) return false;
    bool onlyDefault = false;
    if (counts->values == 1) {
        const std::vector<std::wstring> names = ValueNames(key.get());
        onlyDefault = names.size() == 1 && names.front().empty();
    }
    return UninstallEntryIsIssue(counts->subKeys, counts->values, onlyDefault);
}

// Categories 3 and 4 open each key with redirection off, then examine it with
// redirection on.
common::UniqueRegKey OpenInEitherViewWithoutRedirection(const std::wstring& path) {
    const common::FsRedirectionOff redirectionOff;
    return OpenKeyInEitherView(RootKey(kLocalMachine), path, nullptr);
}

void ScanFirewallRules(RegistryIssueList& list) {
    const std::wstring name = L"FirewallRules";
    const common::UniqueRegKey key = OpenLeafKey(RootKey(kLocalMachine), kFirewallParent + name);
    if (!key) return;
    FileTests exists;
    for (const std::wstring& value : ValueNames(key.get())) {
        if (core::StopRequested()) return;
        const std::optional<std::wstring> rule = ReadStringValue(key.get(), value, kRuleDataBytes);
        if (!rule) continue;
        const common::FsRedirectionOff redirectionOff;
        if (!FirewallRuleIsValid(*rule, Expand, std::ref(exists)))
            list.push_back(ValueIssue(kLocalMachine, kFirewallParent, name, value));
    }
}

void ScanMuiCache(RegistryIssueList& list) {
    const std::wstring name = L"MuiCache";
    const common::FsRedirectionOff redirectionOff;
    const common::UniqueRegKey key = OpenLeafKey(RootKey(kCurrentUser), kMuiParent + name);
    if (!key) return;
    const std::uint32_t drives = GetLogicalDrives();
    const bool wow64 = common::RunsUnderWow64();
    FileTests exists;
    for (const std::wstring& value : ValueNames(key.get())) {
        if (core::StopRequested()) return;
        if (!MuiPathIsValid(value, drives, wow64, std::ref(exists)))
            list.push_back(ValueIssue(kCurrentUser, kMuiParent, name, value));
    }
}

void ScanEmptySubKeys(std::uint32_t root, const std::wstring& path, bool dotKeysOnly, RegistryIssueList& list) {
    const common::UniqueRegKey parent = OpenKey(RootKey(root), path, kReadWrite);
    if (!parent) return;
    for (const std::wstring& sub : SubKeyNames(parent.get())) {
        if (core::StopRequested()) return;
        if (dotKeysOnly && !sub.starts_with(L'.')) continue;
        if (IsEmptyKey(parent.get(), sub)) list.push_back(KeyIssue(root, path, sub));
    }
}

void ScanSharedDlls(RegistryIssueList& list) {
    const bool wow64 = common::RunsUnderWow64();
    for (const wchar_t* path : kSharedDllKeys) {
        const common::UniqueRegKey key = OpenInEitherViewWithoutRedirection(path);
        if (!key) continue;
        FileTests exists;
        for (const std::wstring& value : ValueNames(key.get())) {
            if (core::StopRequested()) return;
            if (!DllPathIsValid(value, wow64, std::ref(exists)))
                list.push_back(ValueIssue(kLocalMachine, path, L"", value));
        }
    }
}

void ScanUninstallEntries(RegistryIssueList& list) {
    for (const wchar_t* path : kUninstallKeys) {
        const common::UniqueRegKey key = OpenInEitherViewWithoutRedirection(path);
        if (!key) continue;
        for (const std::wstring& sub : SubKeyNames(key.get())) {
            if (core::StopRequested()) return;
            if (IsEmptyUninstallEntry(key.get(), sub)) list.push_back(KeyIssue(kLocalMachine, path, sub));
        }
    }
}

void ScanStartupItems(RegistryIssueList& list) {
    const std::wstring name = L"Uninstall";
    const common::FsRedirectionOff redirectionOff;
    const common::UniqueRegKey key = OpenKey(RootKey(kLocalMachine), kUninstallParent + name, kReadWrite);
    if (!key) return;
    FileTests exists;
    for (const std::wstring& value : ValueNames(key.get())) {
        if (core::StopRequested()) return;
        if (!ExpandedPathIsValid(value, Expand, std::ref(exists)))
            list.push_back(ValueIssue(kLocalMachine, kUninstallParent, name, value));
    }
}

}  // namespace

void ScanRegistryCategory(int index, RegistryIssueList& list) {
    switch (index) {
        case 0: ScanFirewallRules(list); break;
        case 1: ScanMuiCache(list); break;
        case 2: ScanEmptySubKeys(kCurrentUser, L"Software\\", false, list); break;
        case 3: ScanSharedDlls(list); break;
        case 4: ScanUninstallEntries(list); break;
        case 5: ScanStartupItems(list); break;
        case 6: ScanEmptySubKeys(kClassesRoot, L"", true, list); break;
        default: break;
    }
    RemoveKept(list, *core::KeptItemsNow());
}

}  // namespace registry
