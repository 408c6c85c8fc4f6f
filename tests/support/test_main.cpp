#include <gtest/gtest.h>

#include "app/keep_list.h"

namespace {

// Every test starts with a keep list that is known and empty, as read from
// an empty database, and no test's seam in the deletions: what one test
// leaves behind never decides what the next may delete. A test that needs
// the list unread, unreadable or lost makes it so itself.
class FreshKeepList : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        app::PublishKeptItems({});
        app::SetDeletionCheckHook({});
    }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshKeepList);
    return RUN_ALL_TESTS();
}
