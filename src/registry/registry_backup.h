#pragma once
// Backups of what a registry repair deletes, as a file that regedit imports
// ("Windows Registry Editor Version 5.00"): one file per clean, in the
// "Backups" folder beside the program, named by the clean's date and time.
// Importing it (double-click, or regedit /s FILE) restores the removed keys
// and values.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "registry/registry_issue.h"

namespace registry {

struct BackupValue {
    std::wstring name;  // empty: the key's default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
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

// The current contents of the entries `issues` name, as the repair will find
// them: a value issue's value, a key issue's key with all its values.
// Entries that no longer exist are left out.
std::vector<BackupKey> CaptureIssues(const RegistryIssueList& issues);

class RegistryBackup {
public:
    // The file is created by the first Append.
    explicit RegistryBackup(std::wstring filePath) : path_(std::move(filePath)) {}

    // A new backup in `folder`, named after the local time.
    static RegistryBackup InFolder(const std::wstring& folder);

    // Writes the keys through to the disk; false when that failed.
    bool Append(const std::vector<BackupKey>& keys);

    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
    bool created_ = false;
};

}  // namespace registry
