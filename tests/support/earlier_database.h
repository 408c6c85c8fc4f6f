#pragma once
// A database as an earlier version left it beside the program: its tables as
// that version made them (the service log without its restored mark), every
// one of them filled, the Downloads moves' keys linking their rows.
#include <string>

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

// Makes the database file `path`. `userStartup`: the account's Startup
// folder, which its shortcut row lies in; `backup`: the registry clean's
// backup file.
void MakeEarlierDatabase(const std::wstring& path, const std::wstring& userStartup, const std::wstring& backup);

}  // namespace testsupport
