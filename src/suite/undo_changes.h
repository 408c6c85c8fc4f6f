#pragma once
// One place to undo: the changes the program made that can be undone, newest
// first, and the one owner that restores them. A registry clean comes back
// from its backup file through the registry functions; a startup switch and
// a service start-type change (the service log) are switched back; a
// Downloads move gets its folder settings back (its files stay where they
// are). Files deleted by the junk cleaner are never among them. A change is
// marked restored only once all of it is back or found changed since (what
// the user has now stays, and is reported); one that failed or was cut off
// stays restorable, and restoring it again never overwrites. A change
// restored once answers AlreadyRestored, whatever its kind.
//
// The changes come from both stores; who may restore one is
// db/row_access.h's decision.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace suite {

struct Change {
    // What a restore names: "registry-12", "service-5", "startup-3" in the
    // machine store; "registry-u12", "startup-u3", "downloads-u2" in the
    // account's.
    std::string id;
    // "registry", "service", "startup-off", "startup-on" (the state the
    // switch gave) or "downloads"
    std::string kind;
    std::wstring when;  // local time, "YYYY-MM-DD hh:mm:ss"
    // The backup file, the service and its types, the startup entry, or
    // the Downloads folder before and after
    std::wstring what;
    // What the undo window names when it says what changed: nothing for a
    // registry clean (its entries are counted); the service's display name
    // and its start types before and after (codes as text); the startup
    // entry's name; the Downloads folder before and after.
    std::vector<std::wstring> subject;
    std::int64_t entries = 0;
    bool restored = false;
    bool backupGone = false;  // a registry clean whose backup file is gone
};

std::vector<Change> ListChanges();

// The numbers are the window's (5 is its "busy").
enum class RestoreStatus {
    Restored = 0,
    AlreadyRestored = 1,
    Unknown = 2,
    BackupGone = 3,
    Failed = 4,
    OtherAccount = 6,   // another account's change
    NotPermitted = 7,   // needs an elevated process
    BackupRefused = 8,  // the backup is not inside the store's Backups folder
};


struct RestoreOutcome {
    RestoreStatus status = RestoreStatus::Unknown;
    std::size_t restored = 0;
    // There again, or changed since (a service: its name and start type now):
    // not overwritten
    std::vector<std::wstring> existing;
    std::vector<std::wstring> failed;
};

RestoreOutcome RestoreChange(std::string_view id);

// "2026-12-10 23:04:05" from the service log's "10/12/2026" and "23:04:05".
std::wstring ServiceLogTime(const std::string& date, const std::string& time);

}  // namespace suite
