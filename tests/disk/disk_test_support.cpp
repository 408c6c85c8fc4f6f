#include "disk/disk_test_support.h"

#include <windows.h>

#include "disk/system_disk_scan.h"
#include "support/temp_dir.h"

namespace disktest {

void MakeOldFile(const std::wstring& path, std::size_t size) {
    testsupport::MakeFile(path, size);
    const HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SYSTEMTIME time2020 = {2020, 1, 3, 1, 12, 0, 0, 0};
    FILETIME written;
    SystemTimeToFileTime(&time2020, &written);
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
    CloseHandle(file);
}

std::vector<std::vector<engine::Value>> ArgumentsOf(const testsupport::RecordingHost& host, std::string_view name) {
    std::vector<std::vector<engine::Value>> arguments;
    for (const testsupport::ScriptCall& call : host.CallsOf(name)) arguments.push_back(call.args);
    return arguments;
}

bool WaitForCalls(const testsupport::RecordingHost& host, std::string_view name, std::size_t count) {
    for (int i = 0; i < 3000; ++i) {
        if (host.CallsOf(name).size() >= count) return true;
        Sleep(10);
    }
    return false;
}

std::vector<std::vector<BYTE>> SettingsSnapshot() {
    const auto raw = [](const wchar_t* key, const wchar_t* value) {
        BYTE data[1024];
        DWORD size = sizeof data;
        DWORD type = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, key, value, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size) != ERROR_SUCCESS)
            return std::vector<BYTE>();
        std::vector<BYTE> bytes(data, data + size);
        bytes.push_back(static_cast<BYTE>(type));
        return bytes;
    };
    return {raw(disk::kEdgeDownloadKey, disk::kEdgeDownloadValue), raw(disk::kShellFoldersKey, disk::kShellDownloadValue),
            raw(disk::kShellFoldersKey, disk::kShellDownloadThirdValue)};
}

std::wstring ShellSetting(const wchar_t* value) {
    wchar_t text[MAX_PATH] = {};
    DWORD size = sizeof text;
    RegGetValueW(HKEY_CURRENT_USER, disk::kShellFoldersKey, value, RRF_RT_REG_SZ, nullptr, text, &size);
    return text;
}

std::vector<db::MoveUnderwayRow> MovesUnderway() {
    std::vector<db::MoveUnderwayRow> rows;
    EXPECT_TRUE(db::Database(db::Store::User).ReadMovesUnderway(rows));
    return rows;
}

DownloadMoveState::DownloadMoveState() {
    shell.Set(downloads);
    third.Set(downloads);
    edge.Remove();
}

void DiskStateTest::SetUp() {
    JunkListsTest::SetUp();
    disk::ResetSystemDiskLists();
}

void DiskStateTest::TearDown() {
    JunkListsTest::TearDown();
    disk::ResetSystemDiskLists();
}

}  // namespace disktest
