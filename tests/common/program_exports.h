#pragma once
// The program's exported helpers reached as an outside caller reaches them:
// the executable (QO_PROGRAM) loaded as a module, each function found by its
// decorated export name.
#include <gtest/gtest.h>

#include "common/exports.h"

namespace testsupport {

struct ProgramExports {
    decltype(&::MakeFileSize) makeFileSize;
    decltype(&::ReplaceEnvironmentString) replaceEnvironmentString;
    decltype(&::DeleteFileType) deleteFileType;
    decltype(&::DeleteFileTypeEx) deleteFileTypeEx;
    decltype(&::CheckRegistryKey) checkRegistryKey;
    decltype(&::CheckWindowsVersion) checkWindowsVersion;
};

// Fails the test at set-up when the program or one of its exports is missing.
class ProgramExportsTest : public testing::Test {
protected:
    void SetUp() override;
    const ProgramExports& exports() const { return *exports_; }

private:
    const ProgramExports* exports_ = nullptr;
};

}  // namespace testsupport
