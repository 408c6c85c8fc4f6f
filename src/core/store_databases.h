#pragma once
// Opens the process's two databases in their stores: the machine store's
// (the service log and data, machine-wide startup entries, HKLM cleans, the
// machine keep list), seeded from "newupdate.db" beside the program, and the
// running account's (HKCU cleans, its own startup entries, Downloads moves,
// its keep list). Without elevation the machine's is only read, and a
// machine store never written yet reads as empty. New journal rows name the
// running account.
#include <string>
#include <vector>

namespace core {

// Why a store could not be opened, one English line each; none when both
// were.
std::vector<std::wstring> OpenStoreDatabases(bool elevated);

}  // namespace core
