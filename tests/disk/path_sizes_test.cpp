// The size calculation: files and folder trees summed, missing paths 0,
// links neither entered nor counted, the one report of a request, and one
// worker at a time.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <utility>

#include "core/worker_tasks.h"
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
    // One worker at a time: the requests are reported in the order they came.
    EXPECT_EQ(reports, (std::vector<std::vector<Value>>{{sizes}, {Value::Array()}}));
}

std::atomic<int> threadsMade{0};
core::ThreadMaker realThreadMaker = nullptr;

// However often the page asks, one size worker runs: requests made while it
// works wait, the latest in place of the earlier ones.
TEST_F(PathSizes, OneWorkerAtATimeAndTheLatestWaitingRequestReplacesTheOthers) {
    const std::vector<std::wstring> files{root / L"a.txt", root / L"b.txt", root / L"c.txt", root / L"d.txt"};
    for (std::size_t i = 0; i < files.size(); ++i) MakeFile(files[i], i + 1);
    threadsMade = 0;
    realThreadMaker = core::ReplaceThreadMaker([](unsigned(__stdcall * body)(void*), void* argument) -> HANDLE {
        ++threadsMade;
        return realThreadMaker(body, argument);
    });
    testsupport::PublishedHost page;
    const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // The page holds the first report until every later request is made.
    bool first = true;
    page.onCall = [&](std::string_view, const std::vector<Value>&) {
        if (std::exchange(first, false)) WaitForSingleObject(release, 30000);
    };
    EXPECT_EQ(testsupport::CallNative("GetFileOrDirSize", {Value::Array({files[0]})}), Value(0));
    ASSERT_TRUE(disktest::WaitForCalls(page, "SetFileOrDirSize", 1));
    for (std::size_t i = 1; i < files.size(); ++i)
        EXPECT_EQ(testsupport::CallNative("GetFileOrDirSize", {Value::Array({files[i]})}), Value(0));
    SetEvent(release);
    ASSERT_TRUE(testsupport::WaitForWorkers());
    core::ReplaceThreadMaker(realThreadMaker);
    CloseHandle(release);

    EXPECT_EQ(disktest::ArgumentsOf(page, "SetFileOrDirSize"),
              (std::vector<std::vector<Value>>{{Value::Array({Value::Array({files[0], L"1"})})},
                                               {Value::Array({Value::Array({files[3], L"4"})})}}));
    EXPECT_EQ(threadsMade.load(), 1);
}

}  // namespace
