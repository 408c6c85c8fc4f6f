// The size calculation: files and folder trees summed, missing paths 0,
// links neither entered nor counted, and the one report of a request.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "disk/disk_test_support.h"
#include "disk/path_sizes.h"
#include "support/bridge_call.h"
#include "support/linux_links.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace {

using engine::Value;
using testsupport::MakeFile;

class PathSizes : public testing::Test {
protected:
    void TearDown() override {
        for (const std::wstring& link : links) testsupport::RemoveLinuxLink(link);
    }
    void Link(const std::wstring& target, const std::wstring& link) {
        links.push_back(link);
        ASSERT_TRUE(testsupport::MakeLinuxLink(testsupport::UnixPath(target), link));
    }
    std::vector<std::wstring> links;
    testsupport::TempDir root;
    testsupport::TempDir outside;
};

TEST_F(PathSizes, FileFolderTreeAndMissingPath) {
    MakeFile(root / L"a.txt", 5);
    MakeFile(root / L"tree\\b.bin", 1000, FILE_ATTRIBUTE_HIDDEN);
    MakeFile(root / L"tree\\sub\\deeper\\c.bin", 24, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    testsupport::MakeFolder(root / L"tree\\empty");
    EXPECT_EQ(disk::PathSize(root / L"a.txt"), 5u);
    EXPECT_EQ(disk::PathSize(root / L"tree"), 1024u);
    EXPECT_EQ(disk::PathSize(root / L"tree\\"), 1024u);
    EXPECT_EQ(disk::PathSize(root / L"tree\\empty"), 0u);
    EXPECT_EQ(disk::PathSize(root / L"missing"), 0u);
    EXPECT_EQ(disk::PathSize(root.Path()), 1029u);
}

TEST_F(PathSizes, LinksAreNotFollowedNotEvenBackToAParent) {
    MakeFile(root / L"tree\\a.bin", 10);
    MakeFile(outside / L"canary.bin", 7000);
    testsupport::MakeFolder(root / L"tree\\sub");
    Link(root.Path(), root / L"tree\\sub\\to-parent");
    Link(outside.Path(), root / L"tree\\to-outside");
    EXPECT_EQ(disk::PathSize(root / L"tree"), 10u);
    EXPECT_EQ(disk::PathSize(root / L"tree\\to-outside"), 0u);
}

TEST_F(PathSizes, OneReportInTheOrderOfTheRequest) {
    MakeFile(root / L"dir\\x.bin", 300);
    MakeFile(root / L"one.txt", 12);
    std::wstring forward = root / L"dir";
    std::replace(forward.begin(), forward.end(), L'\\', L'/');
    testsupport::PublishedHost page;
    const Value request = Value::Array({root / L"one.txt", forward, root / L"missing", root / L"one.txt"});
    EXPECT_EQ(testsupport::CallNative("GetFileOrDirSize", {request}), Value(0));
    EXPECT_EQ(testsupport::CallNative("GetFileOrDirSize", {Value::Array()}), Value(0));
    ASSERT_TRUE(disktest::WaitForCalls(page, "SetFileOrDirSize", 2));

    const auto reports = disktest::ArgumentsOf(page, "SetFileOrDirSize");
    const Value sizes =
        Value::Array({Value::Array({root / L"one.txt", L"12"}), Value::Array({root / L"dir", L"300"}),
                      Value::Array({root / L"missing", L"0"}), Value::Array({root / L"one.txt", L"12"})});
    // The two workers run at once: either may report first.
    const std::vector<Value> expected{Value::Array()};
    EXPECT_TRUE(reports == (std::vector<std::vector<Value>>{{sizes}, expected}) ||
                reports == (std::vector<std::vector<Value>>{expected, {sizes}}));
}

}  // namespace
