#pragma once
// A database as an earlier version left it beside the program: its tables as
// that version made them (the service log without its restored mark), every
// one of them filled, the Downloads moves' keys linking their rows.
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "support/scratch_program.h"

namespace testsupport {

// What the rows name, for a test to find them again.
struct EarlierDatabase {
    static constexpr int kMachineSwitches = 1;  // an HKLM Run value
    static constexpr int kUserSwitches = 2;     // an HKCU Run value, a shortcut of the user's Startup folder
    static constexpr int kMachineKept = 1;
    static constexpr int kUserKept = 1;
    static constexpr const char* kMoveTargets[2] = {"D:\\Old\\First", "D:\\Old\\Second"};
    static constexpr const char* kUnderwayTarget = "D:\\Old\\Underway";
};

// An earlier version's install in `folder` (the program's): the database
// below, its registry clean's backup Backups\old.reg of the HKCU value
// kCleanedKey\kCleanedValue (deleted from the registry, as the clean did),
// and config.ini (kConfig). Its user's shortcut row lies in the running
// account's Startup folder.
inline constexpr const wchar_t* kCleanedKey = L"Software\\QoEarlierClean";
inline constexpr const wchar_t* kCleanedValue = L"Cleaned";
inline constexpr const char* kConfig = "[LOG]\r\nLEVEL=1\r\n";
void MakeEarlierInstall(const std::wstring& folder);

// How many changes of each kind (the start of their ids) `undo list --json`
// named; and how many of each the earlier install's database holds.
std::map<std::string, int> ChangesByKind(const ProgramRun& list);
inline const std::map<std::string, int> kEarlierChanges = {
    {"registry", 1}, {"service", 1}, {"startup", 3}, {"downloads", 2}};

// The names of the files in `folder`, sorted; of those, how many are an old
// database renamed by its migration.
std::vector<std::wstring> FilesIn(const std::wstring& folder);
std::size_t MigratedDatabases(const std::vector<std::wstring>& names);

// Makes the database file `path`. `userStartup`: the account's Startup
// folder, which its shortcut row lies in; `backup`: the registry clean's
// backup file.
void MakeEarlierDatabase(const std::wstring& path, const std::wstring& userStartup, const std::wstring& backup);

}  // namespace testsupport
