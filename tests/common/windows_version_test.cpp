#include "common/windows_version.h"

#include <gtest/gtest.h>

#include "program_exports.h"

using common::NtVersion;
using common::ReportedVersion;

namespace {

TEST(WindowsGeneration, TrustsTheTrueVersionFor8Point1And10AndTheReportedOneFor7) {
    constexpr BYTE kWorkstation = VER_NT_WORKSTATION;
    constexpr BYTE kServer = VER_NT_SERVER;
    const struct {
        std::optional<NtVersion> nt;
        ReportedVersion reported;
        int generation;
    } cases[] = {
        {NtVersion{10, 0}, {6, 2, kWorkstation}, 10},  // Windows 10 or 11, unmanifested
        {NtVersion{10, 0}, {10, 0, kServer}, 10},
        {NtVersion{6, 3}, {6, 2, kWorkstation}, 8},  // Windows 8.1, unmanifested
        {NtVersion{6, 2}, {6, 2, kWorkstation}, 0},  // Windows 8
        {NtVersion{6, 1}, {6, 1, kWorkstation}, 7},
        {NtVersion{6, 1}, {6, 1, kServer}, 0},  // Server 2008 R2
        {std::nullopt, {6, 1, kWorkstation}, 7},
        {std::nullopt, {10, 0, kWorkstation}, 0},
        {NtVersion{6, 0}, {6, 0, kWorkstation}, 0},
        {NtVersion{10, 1}, {10, 1, kWorkstation}, 0},
    };
    for (const auto& c : cases) {
        const NtVersion nt = c.nt.value_or(NtVersion{0, 0});
        EXPECT_EQ(common::ClassifyWindowsGeneration(c.nt, c.reported), c.generation)
            << nt.major << "." << nt.minor << " reported " << c.reported.major << "." << c.reported.minor;
    }
}

using CheckWindowsVersionExport = testsupport::ProgramExportsTest;

// The test prefix runs as Windows 10. This test program's manifest, like the
// program's, declares no supported versions, so Windows reports 6.2 to it.
TEST_F(CheckWindowsVersionExport, ReportsTheManifestVersionWhileTheGenerationIsTrue) {
    EXPECT_EQ(exports().checkWindowsVersion(), 6);
    EXPECT_EQ(common::GetWindowsGeneration(), 10);
}

}  // namespace
