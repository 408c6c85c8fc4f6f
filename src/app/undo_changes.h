#pragma once
// One place to undo: the changes the program made that can be undone, newest
// first, and the one owner that restores them. A registry clean comes back
// from its backup file through the registry functions; a service start-type
// change (the service log) is switched back. Files deleted by the junk
// cleaner are never among them.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace app {

struct Change {
    std::string id;     // "registry-12", "service-5": what a restore names
    std::string kind;   // "registry" or "service"
    std::wstring when;  // local time, "YYYY-MM-DD hh:mm:ss"
    std::wstring what;  // the backup file, or the service and its types
    std::int64_t entries = 0;
    bool restored = false;
    bool backupGone = false;  // a registry clean whose backup file is gone
};

std::vector<Change> ListChanges();

enum class RestoreStatus { Restored, AlreadyRestored, Unknown, BackupGone, Failed };

struct RestoreOutcome {
    RestoreStatus status = RestoreStatus::Unknown;
    std::size_t restored = 0;
    std::vector<std::wstring> existing;  // there again: not overwritten
    std::vector<std::wstring> failed;
};

RestoreOutcome RestoreChange(std::string_view id);

// "2026-12-10 23:04:05" from the service log's "10/12/2026" and "23:04:05".
std::wstring ServiceLogTime(const std::string& date, const std::string& time);

}  // namespace app
