// The drive figures: the system drive's sizes for the usage bar and the list
// of fixed drives with their sizes as display text.
#include <gtest/gtest.h>
#include <windows.h>

#include <cJSON.h>

#include <string>

#include "disk/drive_figures.h"
#include "common/ansi_text.h"
#include "junk/json_text.h"
#include "support/bridge_call.h"

namespace {

using engine::Value;
using testsupport::CallNative;

TEST(DriveFigures, SystemDriveIsTheTextBeforeTheFirstBackslash) {
    struct Case {
        const wchar_t* systemDirectory;
        std::optional<std::wstring> drive;
    };
    const Case cases[] = {
        {L"C:\\Windows\\system32", L"C:"}, {L"D:\\", L"D:"}, {L"C:", std::nullopt},
        {L"", std::nullopt},               {L"\\Windows\\system32", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(disk::SystemDriveOf(c.systemDirectory), c.drive) << c.systemDirectory;
}

TEST(DriveFigures, RootsFollowTheDriveMaskFromA) {
    EXPECT_EQ(disk::DriveRoots(0), std::vector<std::wstring>{});
    EXPECT_EQ(disk::DriveRoots(0b1101), (std::vector<std::wstring>{L"A:\\", L"C:\\", L"D:\\"}));
    EXPECT_EQ(disk::DriveRoots(1u << 25 | 1u << 31), std::vector<std::wstring>{L"Z:\\"});
}

TEST(DriveFigures, SizesShowGigabytesFromTwoToTheThirtiethByte) {
    struct Case {
        std::uint64_t bytes;
        const wchar_t* text;
    };
    const Case cases[] = {
        {1073741824, L"1.0 GB"},   {1073741823, L"1024.0 MB"}, {0, L"0.0 MB"},
        {123456789, L"117.7 MB"},  {255444000000, L"237.9 GB"}, {129283000000, L"120.4 GB"},
        {1099511627776ull * 4, L"4096.0 GB"},
    };
    for (const Case& c : cases) EXPECT_EQ(disk::DriveSizeText(c.bytes), c.text) << c.bytes;
}

TEST(DriveFigures, DriveListIsCompactJson) {
    EXPECT_EQ(disk::DrivesInfoText({}), L"[]");
    EXPECT_EQ(disk::DrivesInfoText({{L"C:\\", 255444000000, 129283000000}, {L"E:\\", 1073741823, 0}}),
              LR"([{"first":"C:\\","second":"237.9 GB","three":"120.4 GB"},)"
              LR"({"first":"E:\\","second":"1024.0 MB","three":"0.0 MB"}])");
}

TEST(DriveFigures, SystemDriveSizesThroughTheBridge) {
    const Value answer = CallNative("GetDiskSize", {1});
    ASSERT_TRUE(answer.IsArray());
    ASSERT_EQ(answer.Items().size(), 3u);
    wchar_t systemDirectory[MAX_PATH] = {};
    GetSystemDirectoryW(systemDirectory, MAX_PATH);
    EXPECT_EQ(answer.Items()[0], Value(std::wstring(systemDirectory, 2)));
    const unsigned long long available = std::stoull(answer.Items()[1].Text());
    const unsigned long long total = std::stoull(answer.Items()[2].Text());
    EXPECT_GT(total, 0u);
    EXPECT_LE(available, total);
}

TEST(DriveFigures, DriveListThroughTheBridgeHoldsOnlyFixedDrives) {
    const junk::Json drives = junk::ParseJsonArray(CallNative("GetDrivesInfo").Text());
    ASSERT_TRUE(drives);
    bool systemDrive = false;
    const cJSON* drive = nullptr;
    cJSON_ArrayForEach(drive, drives.get()) {
        const std::wstring root = common::FromAnsi(cJSON_GetStringValue(cJSON_GetObjectItem(drive, "first")));
        EXPECT_EQ(GetDriveTypeW(root.c_str()), static_cast<UINT>(DRIVE_FIXED)) << root;
        const std::wstring total = common::FromAnsi(cJSON_GetStringValue(cJSON_GetObjectItem(drive, "second")));
        EXPECT_TRUE(total.ends_with(L" GB") || total.ends_with(L" MB")) << total;
        systemDrive = systemDrive || root == L"C:\\";
    }
    EXPECT_TRUE(systemDrive);
}

}  // namespace
