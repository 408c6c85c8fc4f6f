#pragma once
// The program's executables run as an administrator's script runs them: a
// copy in a scratch folder of its own (its log is made beside it), its output
// read from pipes. Its databases and backups are in the prefix's two data
// stores, which every ScratchProgram starts afresh. A run can be told to end
// itself at a crash point (QO_CRASH_AT in its environment only, never the
// test's).
#include <windows.h>

#include <string>

#include "common/handles.h"
#include "db/local_database.h"
#include "engine/wire_format.h"
#include "support/temp_dir.h"

namespace testsupport {

struct ProgramRun {
    DWORD exitCode = 0;
    std::string out;
    std::string err;
    engine::Json json;  // stdout parsed, when it is JSON
};

// Removes both data stores' folders with all in them, so that a test does
// not depend on what another left there.
void RemoveStores();
// The database file of `store` in the prefix's data stores.
std::wstring StoreDatabase(db::Store store);
// Opens this process's databases in the prefix's stores, as the programs
// do, but for `account` and without the seed beside the test programs
// (which a program's start would import and delete); false when a store
// cannot be made.
bool OpenPrefixStores(const std::wstring& account);

class ScratchProgram {
public:
    // Copies orvane.exe into the folder under `name`, the stores removed.
    explicit ScratchProgram(const std::wstring& name = L"orvane.exe");

    // Copies another executable of the build's folder beside it (a test
    // helper), under its own name; its full path there.
    std::wstring Add(const std::wstring& builtName) const;

    std::wstring Program() const { return folder_ / name_; }
    const TempDir& Folder() const { return folder_; }

    // Runs the program with `arguments`, as `token`'s user and elevation when
    // given (else as the test runs).
    ProgramRun operator()(const std::wstring& arguments, HANDLE token = nullptr) const {
        return Run(Program(), arguments, "", token);
    }
    // Runs `executable` of this folder with `arguments`, ending at the crash
    // point `crashAt` when not empty.
    ProgramRun Run(const std::wstring& executable, const std::wstring& arguments, const std::string& crashAt,
                   HANDLE token = nullptr) const;

private:
    TempDir folder_;
    std::wstring name_;
};

// Members of a parsed JSON document: null, "" or -1 when missing or of
// another kind.
const cJSON* JsonItem(const cJSON* object, const char* name);
std::string JsonText(const cJSON* object, const char* name);
double JsonNumber(const cJSON* object, const char* name);

// The token of this (elevated) process's account without elevation, as a
// standard user's program runs: Wine hands it out as the linked token. Empty
// when there is none.
common::UniqueKernelHandle UnelevatedToken();

}  // namespace testsupport
