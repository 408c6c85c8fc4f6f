#include "program_exports.h"

#include <optional>

#include "common/handles.h"
#include "common/proc_address.h"
#include "support/temp_dir.h"

namespace testsupport {

namespace {
// Every export, or nothing when any is missing.
std::optional<ProgramExports> Load(HMODULE program) {
    const auto find = [program](auto& function, const char* name) {
        function = common::GetProcAddressAs<std::remove_reference_t<decltype(function)>>(program, name);
        return function != nullptr;
    };
    ProgramExports exports{};
    if (find(exports.makeFileSize, "_MakeFileSize@12") &&
        find(exports.replaceEnvironmentString, "_ReplaceEnvironmentString@8") &&
        find(exports.deleteFileType, "_DeleteFileType@8") && find(exports.deleteFileTypeEx, "_DeleteFileTypeEx@8") &&
        find(exports.checkRegistryKey, "_CheckRegistryKey@12") &&
        find(exports.checkWindowsVersion, "_CheckWindowsVersion@0"))
        return exports;
    return std::nullopt;
}
}  // namespace

void ProgramExportsTest::SetUp() {
    // Loaded once and kept for the whole test run.
    static const common::UniqueModule program(LoadLibraryW(Environment(L"QO_PROGRAM").c_str()));
    ASSERT_TRUE(program) << "cannot load the program, error " << GetLastError();
    static const std::optional<ProgramExports> exports = Load(program.get());
    ASSERT_TRUE(exports) << "the program lacks an export";
    exports_ = &*exports;
}

}  // namespace testsupport
