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

void DiskStateTest::SetUp() {
    JunkListsTest::SetUp();
    disk::ResetSystemDiskLists();
}

void DiskStateTest::TearDown() {
    JunkListsTest::TearDown();
    disk::ResetSystemDiskLists();
}

}  // namespace disktest
