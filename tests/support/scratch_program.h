#pragma once
// The program's executables run as an administrator's script runs them: a
// copy in a scratch folder of its own (its database, log and backups are made
// beside it), its output read from pipes. A run can be told to end itself at
// a crash point (QO_CRASH_AT in its environment only, never the test's).
#include <windows.h>

#include <string>

#include "common/handles.h"
#include "engine/wire_format.h"
#include "support/temp_dir.h"

namespace testsupport {

struct ProgramRun {
    DWORD exitCode = 0;
    std::string out;
    std::string err;
    engine::Json json;  // stdout parsed, when it is JSON
};

class ScratchProgram {
public:
    // Copies orvane.exe into the folder under `name`.
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
