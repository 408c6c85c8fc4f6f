#pragma once
// Backups of what a registry repair deletes, as a file that regedit imports
// ("Windows Registry Editor Version 5.00"): one file per clean, in the
// "Backups" folder beside the program, named by the clean's date and time.
// Importing it (double-click, or regedit /s FILE) restores the removed keys
// and values.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/registry_issue.h"

namespace registry {

struct BackupValue {
    std::wstring name;  // empty: the key's default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const BackupValue&) const = default;
};

struct BackupKey {
    std::wstring path;  // full path with the root's name, as regedit names it
    std::vector<BackupValue> values;
};

// "HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\X" for a key that a 32-bit view
// reaches under WOW64, otherwise root name + path; no trailing backslash.
std::wstring BackupKeyPath(std::uint32_t root, std::wstring_view path, REGSAM view, bool wow64);

// The lines of one key and its values, each ending with CR LF, the key
// preceded by an empty line.
std::wstring FormatBackupKey(const BackupKey& key);

// One entry of an issue list as a backup holds it: the key section written
// for it, which the repair must find again, exactly, before it deletes the
// entry.
struct CapturedIssue {
    std::size_t index;  // the issue's position in its list
    REGSAM view;        // KEY_WOW64_64KEY or KEY_WOW64_32KEY: where it was found
    // A value issue: its key with that one value. A key issue: the key with
    // all its values (it has no sub-keys).
    BackupKey key;
};

// The current contents of the entries `issues` name, as the repair will find
// them. An entry that cannot be read whole is left out, and so never deleted:
// one that no longer exists, a key that cannot be opened for reading or has
// sub-keys, a value that keeps changing between reads, a name that the file
// cannot carry on one line.
std::vector<CapturedIssue> CaptureIssues(const RegistryIssueList& issues);

// A value's type and data; nothing when it cannot be read whole.
std::optional<BackupValue> ReadValue(HKEY key, const std::wstring& name);
// All values of a key without sub-keys; nothing when it has sub-keys or
// changes while it is read.
std::optional<std::vector<BackupValue>> ReadAllValues(HKEY key);
// The same values (names, types and data), in whatever order.
bool SameValues(std::vector<BackupValue> a, std::vector<BackupValue> b);

class RegistryBackup {
public:
    // The file is created by the first Append.
    explicit RegistryBackup(std::wstring filePath) : path_(std::move(filePath)) {}

    // A new backup in `folder`, named after the local time.
    static RegistryBackup InFolder(const std::wstring& folder);

    // Writes the issues' keys through to the disk; false when that failed,
    // and then the file is as it was before (or not there).
    bool Append(const std::vector<CapturedIssue>& issues);

    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
    bool created_ = false;
};

}  // namespace registry
