#pragma once
// Shared fixtures of the junk tests: the process-wide lists emptied around
// each test, and the shared test helpers under the names the tests use.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "junk/junk_lists.h"
#include "support/linux_links.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"

namespace junktest {

using testsupport::MakeFile;
using testsupport::MakeFolder;
using testsupport::MakeLinuxLink;
using testsupport::RemoveLinuxLink;
using testsupport::ScopedVariable;
using testsupport::UnixPath;

// Full paths of a list's entries, in order.
std::vector<std::wstring> PathsOf(const junk::JunkFileList& list);

// Sets the TEMP value of HKEY_CURRENT_USER\Environment for the owner's
// lifetime.
class ScopedUserTemp {
public:
    explicit ScopedUserTemp(const std::wstring& value) { previous_.Set(value); }

private:
    testsupport::ScopedUserValue previous_{L"Environment", L"TEMP"};
};

// Empties the junk lists, the EmptyFolderList and the UndeletableList and
// clears the busy word before and after each test.
class JunkListsTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace junktest
