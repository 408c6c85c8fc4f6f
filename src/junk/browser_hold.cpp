#include "junk/browser_hold.h"

#include <windows.h>
#include <tlhelp32.h>

#include <mutex>

#include "common/handles.h"
#include "common/listed_delete.h"

namespace junk {

namespace {

std::mutex seamLock;
std::function<bool(std::wstring_view)>& RunsSeam() {
    static std::function<bool(std::wstring_view)> runs;
    return runs;
}

bool MachineRuns(std::wstring_view program) {
    const common::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        if (common::SamePathText(entry.szExeFile, program)) return true;
    return false;
}

}  // namespace

bool ProgramRuns(std::wstring_view program) {
    std::function<bool(std::wstring_view)> runs;
    {
        const std::lock_guard guard(seamLock);
        runs = RunsSeam();
    }
    return runs ? runs(program) : MachineRuns(program);
}

void SetProgramRunsForTests(std::function<bool(std::wstring_view program)> runs) {
    const std::lock_guard guard(seamLock);
    RunsSeam() = std::move(runs);
}

bool ListedFileHeld(const JunkFileList& list) {
    std::wstring path;
    for (const JunkFileEntry& entry : list) {
        path.assign(list.FolderOf(entry).path).append(entry.name);
        // Opening for deletion while sharing everything fails only where
        // another handle refuses to share deletion (or writing).
        const common::UniqueFile file(CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                  nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!file) {
            const DWORD error = GetLastError();
            if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return true;
        }
    }
    return false;
}

bool BrowserHoldsCache(const Browser& browser, const JunkFileList& list) {
    return ProgramRuns(browser.program) || ListedFileHeld(list);
}

}  // namespace junk
