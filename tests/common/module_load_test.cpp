// The executable loaded as a module by an outside caller, away from its
// preferred base: Windows relocates it and the exports work; Wine maps it
// unrelocated, and the exports must refuse instead of running.
#include <gtest/gtest.h>

#include "common/handles.h"
#include "common/proc_address.h"
#include "guarded_buffer.h"
#include "program_exports.h"
#include "support/temp_dir.h"

using testsupport::Environment;
using testsupport::GuardedBuffer;
using testsupport::TempDir;

namespace {

using ProgramModule = testsupport::ProgramExportsTest;

TEST_F(ProgramModule, CopyAwayFromThePreferredBaseWorksOrRefuses) {
    // The program itself, loaded by the fixture, holds the preferred base.
    TempDir dir;
    const std::wstring copy = dir / L"copy.exe";
    ASSERT_TRUE(CopyFileW(Environment(L"QO_PROGRAM").c_str(), copy.c_str(), TRUE));
    const common::UniqueModule module(LoadLibraryW(copy.c_str()));
    ASSERT_TRUE(module);
    const auto replace = common::GetProcAddressAs<decltype(&::ReplaceEnvironmentString)>(
        module.get(), "_ReplaceEnvironmentString@8");
    ASSERT_NE(replace, nullptr);

    GuardedBuffer output(L"untouched");
    const int answer = replace(L"%windir%\\x", output.data());
    EXPECT_EQ(output.Text(), answer == 1 ? Environment(L"windir") + L"\\x" : L"untouched");
    EXPECT_TRUE(output.GuardIntact());
}

}  // namespace
