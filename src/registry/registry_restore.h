#pragma once
// Restoring what a registry repair removed, from its backup file, through
// the registry functions: each key and value the file holds comes back with
// its exact type and data, in the view the file names (a 32-bit view's
// entries are written under WOW6432Node, as the backup names them). An
// entry that exists again is reported, never overwritten.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/registry_backup.h"

namespace registry {

// The keys of a backup's text (the file's UTF-16 without its byte-order
// mark): every "[key]" section with its values, in order. Nothing when the
// text is not such a file or a line cannot be read exactly.
std::optional<std::vector<BackupKey>> ParseBackupText(std::wstring_view text);

struct RestoreReport {
    std::size_t restored = 0;           // keys made and values written
    std::vector<std::wstring> existing;  // there again: left as they are
    std::vector<std::wstring> failed;    // could not be written
};

// Writes back `keys`: a section without values is a removed key, made again
// when it is missing; each value is written when its key has no value of
// that name.
RestoreReport RestoreKeys(const std::vector<BackupKey>& keys);

// The backup file at `path`, parsed; nothing when it is gone or unreadable.
std::optional<std::vector<BackupKey>> ReadBackupFile(const std::wstring& path);
// The backup file open as `file`, parsed; nothing when it is unreadable.
std::optional<std::vector<BackupKey>> ReadBackupFrom(HANDLE file);

}  // namespace registry
