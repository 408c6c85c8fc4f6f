#include "support/junk_fixtures.h"

#include "core/worker_tasks.h"
#include "junk/junk_scan.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace junktest {

std::vector<std::wstring> PathsOf(const junk::JunkFileList& list) {
    std::vector<std::wstring> paths;
    for (const junk::JunkFileEntry& entry : list) paths.push_back(list.PathOf(entry));
    return paths;
}

namespace {
void ResetState() {
    core::ZoneBits() = 0;
    junk::ResetJunkLists();
    junk::Undeletables().Clear();
}
}  // namespace

void JunkListsTest::SetUp() {
    ASSERT_TRUE(testsupport::WaitForWorkers());
    ResetState();
}

void JunkListsTest::TearDown() {
    EXPECT_TRUE(testsupport::WaitForWorkers());
    ResetState();
}

}  // namespace junktest
