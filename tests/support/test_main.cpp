#include <gtest/gtest.h>
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "core/keep_list.h"
#include "support/temp_dir.h"

namespace {

// The program's data stores (ProgramData's and LocalAppData's "Quillmark"),
// made by whatever a test runs, are removed again after the run when they
// were not there before it.
class StoreCleanup : public testing::Environment {
public:
    void SetUp() override {
        for (const KNOWNFOLDERID* id : {&FOLDERID_ProgramData, &FOLDERID_LocalAppData}) {
            wchar_t* root = nullptr;
            if (SUCCEEDED(SHGetKnownFolderPath(*id, 0, nullptr, &root))) {
                const std::wstring vendor = std::wstring(root) + L"\\Quillmark";
                if (!testsupport::Exists(vendor)) made_.push_back(vendor);
            }
            CoTaskMemFree(root);
        }
    }
    void TearDown() override {
        for (const std::wstring& vendor : made_) testsupport::RemoveTree(vendor);
    }

private:
    std::vector<std::wstring> made_;
};


// Every test starts with a keep list that is known and empty, as read from
// an empty database, and no test's seam in the deletions: what one test
// leaves behind never decides what the next may delete. A test that needs
// the list unread, unreadable or lost makes it so itself.
class FreshKeepList : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        core::PublishKeptItems({});
        core::SetDeletionCheckHook({});
    }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshKeepList);
    testing::AddGlobalTestEnvironment(new StoreCleanup);
    return RUN_ALL_TESTS();
}
