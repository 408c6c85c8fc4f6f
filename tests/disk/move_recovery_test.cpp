// A Downloads move cut short by the end of its process, and the next start:
// this test program runs the move in a child of its own that ends at a
// crash point (common/crash_point.h), then orvane.exe starts beside the same
// database. No file is lost, no half file has a real name, and the move is
// either taken back whole or finished, with its change listed for undo.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <stdexcept>

#include "common/account_sid.h"
#include "core/data_stores.h"
#include "common/crash_point.h"
#include "common/handles.h"
#include "common/verified_folder.h"
#include "db/scratch_database.h"
#include "disk/disk_test_support.h"
#include "disk/download_folders.h"
#include "disk/download_move.h"
#include "disk/move_journal.h"
#include "disk/move_recovery.h"
#include "suite/undo_changes.h"
#include "support/scoped_state.h"
#include "support/scratch_program.h"
#include "support/temp_dir.h"

namespace {

using testsupport::Exists;
using testsupport::ReadFile;
using disktest::MovesUnderway;
using disktest::SettingsSnapshot;
using disktest::ShellSetting;

constexpr wchar_t kChildVariable[] = L"QO_MOVE_CHILD";

// The child's part: started with kChildVariable holding "Downloads
// folder|target", this program moves the Downloads folder as the window does
// (with the registry's settings, recording in the prefix's stores) and ends,
// before any test runs.
[[maybe_unused]] const bool childRan = [] {
    wchar_t text[4096];
    const DWORD length = GetEnvironmentVariableW(kChildVariable, text, static_cast<DWORD>(std::size(text)));
    if (length == 0 || length >= std::size(text)) return false;
    const std::wstring line(text, length);
    const std::size_t bar = line.find(L'|');
    testsupport::OpenPrefixStores(common::TokenAccountSid());
    const std::wstring downloads = line.substr(0, bar);
    const std::wstring target = line.substr(bar + 1);
    if (!common::MakeVerifiedFolder(target)) ExitProcess(2);
    disk::RunDownloadMove({downloads}, target, disk::SystemDownloadSettings());
    ExitProcess(0);
}();

// The files below `folder`, with their contents, by path relative to it.
std::vector<std::pair<std::wstring, std::string>> FilesIn(const std::wstring& folder) {
    std::vector<std::pair<std::wstring, std::string>> files;
    WIN32_FIND_DATAW found;
    const common::UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!find) return files;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            for (auto& [below, content] : FilesIn(folder + L"\\" + name))
                files.emplace_back(name + L"\\" + below, std::move(content));
        } else {
            files.emplace_back(name, ReadFile(folder + L"\\" + name));
        }
    } while (FindNextFileW(find.get(), &found));
    std::sort(files.begin(), files.end());
    return files;
}

bool IsPartName(const std::wstring& path) {
    return path.starts_with(L"~orvane-") && path.ends_with(L".part") && path.find(L'\\') == std::wstring::npos;
}

// Runs `commandLine` to its end with `variables` ("NAME=value") added to this
// process's environment; its exit code.
DWORD RunToEnd(std::wstring commandLine, const std::vector<std::wstring>& variables, const std::wstring& folder) {
    std::wstring environment;
    wchar_t* own = GetEnvironmentStringsW();
    for (const wchar_t* entry = own; *entry; entry += wcslen(entry) + 1) environment.append(entry).push_back(L'\0');
    FreeEnvironmentStringsW(own);
    for (const std::wstring& variable : variables) environment.append(variable).push_back(L'\0');
    environment.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, environment.data(), folder.c_str(), &startup,
                        &process))
        throw std::runtime_error("cannot start a child process");
    const common::UniqueKernelHandle thread(process.hThread), child(process.hProcess);
    if (WaitForSingleObject(child.get(), 120000) != WAIT_OBJECT_0) throw std::runtime_error("the child did not end");
    DWORD code = 0;
    GetExitCodeProcess(child.get(), &code);
    return code;
}

std::wstring ThisProgram() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

class MoveRecovery : public testing::Test, protected disktest::DownloadMoveState {};

TEST_F(MoveRecovery, AMoveKilledHalfWayIsTakenBackOrFinishedAtTheNextStart) {
    struct Case {
        const char* point;     // where the move's process ends
        bool finished;         // the next start finishes the move, else takes it back
        std::size_t copies;    // files under their real names in the target then
        std::size_t parts;     // part files there then
    };
    const Case cases[] = {
        {"move.part#2", false, 0, 2},   // the second file written, none yet in the journal nor in place
        {"move.copy#2", false, 2, 1},   // the second file in place, the third not yet
        {"move.settings#1", false, 3, 0},  // one setting written, the others not
        {"move.delete#1", true, 3, 0},  // the settings written, one source deleted
    };
    const std::vector<std::pair<std::wstring, std::string>> files = {
        {L"a.txt", "alpha"}, {L"b.txt", "bravo"}, {L"sub\\c.txt", "charlie"}};
    const std::wstring orvane = database.Folder() / L"orvane.exe";
    ASSERT_TRUE(CopyFileW(testsupport::Environment(L"QO_ORVANE").c_str(), orvane.c_str(), FALSE));
    const std::vector<std::vector<BYTE>> before = SettingsSnapshot();
    // The move and orvane's next start share the prefix's stores, which this
    // process then reads too.
    testsupport::RemoveStores();

    for (const Case& c : cases) {
        SCOPED_TRACE(c.point);
        for (const auto& [name, content] : files) {
            testsupport::MakeFile(downloads + L"\\" + name, 0);
            testsupport::WriteFile(downloads + L"\\" + name, content);
        }
        db::Database(db::Store::User).Close();

        const DWORD code = RunToEnd(L"\"" + ThisProgram() + L"\"",
                                    {std::wstring(kChildVariable) + L"=" + downloads + L"|" + target,
                                     L"QO_CRASH_AT=" + std::wstring(c.point, c.point + strlen(c.point))},
                                    root.Path());
        ASSERT_EQ(code, common::kCrashExitCode);
        std::size_t copies = 0;
        std::size_t parts = 0;
        for (const auto& [path, content] : FilesIn(target)) {
            if (IsPartName(path)) {
                ++parts;
            } else {
                // A file under its real name is whole.
                ++copies;
                EXPECT_NE(std::find(files.begin(), files.end(), std::pair{path, content}), files.end())
                    << std::string(path.begin(), path.end());
            }
        }
        EXPECT_EQ(copies, c.copies);
        EXPECT_EQ(parts, c.parts);

        ASSERT_EQ(RunToEnd(L"\"" + orvane + L"\" list", {}, root.Path()), 0u);
        ASSERT_TRUE(testsupport::OpenPrefixStores(common::TokenAccountSid()));

        EXPECT_TRUE(MovesUnderway().empty());
        const std::vector<suite::Change> changes = suite::ListChanges();
        if (c.finished) {
            EXPECT_EQ(FilesIn(target), files);
            EXPECT_TRUE(FilesIn(downloads).empty());
            EXPECT_EQ(ShellSetting(disk::kShellDownloadValue), target);
            ASSERT_EQ(changes.size(), 1u);
            EXPECT_EQ(suite::RestoreChange(changes[0].id).status, suite::RestoreStatus::Restored);
            testsupport::RemoveTree(target);
        } else {
            EXPECT_TRUE(FilesIn(target).empty());
            EXPECT_FALSE(Exists(target + L"\\sub"));
            EXPECT_EQ(FilesIn(downloads), files);
            EXPECT_TRUE(changes.empty());
        }
        EXPECT_EQ(SettingsSnapshot(), before);
    }
    database.Restart();
}

// The journal is shared by every account on the machine; the settings a
// move changed are its own account's. Another account's unfinished move is
// left for that account's next start.
TEST_F(MoveRecovery, OnlyThisAccountsMovesAreTakenBack) {
    testsupport::MakeFolder(target);
    const auto begin = [this](const std::wstring& user, const std::wstring& parts) {
        const std::optional<std::int64_t> id = db::Database(db::Store::User).BeginMoveUnderway(user, target, parts);
        EXPECT_TRUE(id);
        testsupport::WriteFile(target + L"\\" + parts + L"-1.part", "half");
        return id.value_or(0);
    };
    const std::int64_t own = begin(common::TokenAccountSid(), L"~orvane-1-1");
    const std::int64_t other = begin(L"S-1-5-21-1-2-3-1001", L"~orvane-2-2");
    testsupport::WriteFile(target + L"\\~orvane-1-1.part.txt", "not a part file");

    disk::RecoverDownloadMoves();

    EXPECT_FALSE(Exists(target + L"\\~orvane-1-1-1.part"));
    EXPECT_TRUE(Exists(target + L"\\~orvane-2-2-1.part"));
    EXPECT_TRUE(Exists(target + L"\\~orvane-1-1.part.txt"));
    const std::vector<db::MoveUnderwayRow> left = MovesUnderway();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].id, other);
    EXPECT_NE(own, other);
}

}  // namespace
