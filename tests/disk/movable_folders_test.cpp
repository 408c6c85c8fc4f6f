// The places a Downloads move may take from or write into, on this
// machine's own folders: the profile root, the Desktop, the profiles'
// folder, Program Files, the Windows folder, another profile and a drive's
// root are neither offered as Downloads roots nor accepted by the move, and
// a refused target is not even created. The rule's table is in
// tests/junk/junk_categories_test.cpp.
#include <gtest/gtest.h>
#include <windows.h>

#include "core/worker_tasks.h"
#include "disk/disk_test_support.h"
#include "disk/download_folders.h"
#include "disk/movable_folders.h"
#include "junk/protected_folders.h"
#include "support/bridge_call.h"
#include "support/linux_links.h"
#include "support/recording_host.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"

namespace {

using engine::Value;
using testsupport::CallNative;
using testsupport::Exists;

class MovableFolders : public disktest::DiskStateTest, protected disktest::DownloadMoveState {
protected:
    MovableFolders() { testsupport::MakeFile(downloads + L"\\a.bin", 3); }

    std::wstring Paths() const {
        std::wstring paths;
        for (const disk::DownloadFolder& folder : disk::ReadDownloadFolders()) paths += folder.path + L"|";
        return paths;
    }

    const std::wstring profile = junk::AccountProfile().value_or(L"");
    const std::wstring windows = testsupport::Environment(L"SYSTEMROOT");
    const std::wstring programFiles = testsupport::Environment(L"ProgramFiles");
    testsupport::PublishedHost page;
    testsupport::LinuxLinks links;
};

TEST_F(MovableFolders, ProtectedPlacesAreNeitherSourcesNorTargets) {
    ASSERT_FALSE(profile.empty());
    const junk::ProtectedFolders folders = junk::SystemProtectedFolders();
    const std::wstring places[] = {profile,
                                   profile + L"\\Desktop",
                                   profile + L"\\Documents\\Moved",
                                   profile + L"\\AppData",
                                   profile.substr(0, profile.rfind(L'\\')),
                                   profile.substr(0, profile.rfind(L'\\')) + L"\\Public\\Moved",
                                   programFiles + L"\\qo-moved",
                                   windows + L"\\Temp\\qo-moved",
                                   windows.substr(0, 3)};
    for (const std::wstring& place : places) {
        SCOPED_TRACE(std::string(place.begin(), place.end()));
        EXPECT_FALSE(disk::IsMovablePath(place, folders));
        const bool existed = Exists(place);
        EXPECT_EQ(CallNative("GetCopyMoveDiskPath", {Value::Array({downloads}), place}), Value(-3));
        EXPECT_EQ(Exists(place), existed);
        EXPECT_EQ(core::LiveWorkerBits(), 0u);
    }
    for (const std::wstring& usable : {downloads, root / L"Moved", std::wstring(L"D:\\Photos")})
        EXPECT_TRUE(disk::IsMovablePath(usable, folders)) << std::string(usable.begin(), usable.end());

    // A selected entry in a protected place stops the move before anything
    // is made or copied.
    const std::wstring system = windows + L"\\Temp\\qo-source-" + std::to_wstring(GetCurrentProcessId());
    testsupport::MakeFile(system + L"\\kept.bin", 4);
    EXPECT_EQ(CallNative("GetCopyMoveDiskPath", {Value::Array({downloads, system}), root / L"Moved"}), Value(-3));
    EXPECT_EQ(core::LiveWorkerBits(), 0u);
    EXPECT_TRUE(Exists(system + L"\\kept.bin"));
    testsupport::RemoveTree(system);
    EXPECT_FALSE(Exists(root / L"Moved"));
    EXPECT_TRUE(Exists(downloads + L"\\a.bin"));
}

// A target reached through a link: into a protected place, or anywhere (the
// move would write where the link leads).
TEST_F(MovableFolders, ATargetThatIsALinkIsRefused) {
    testsupport::TempDir outside;
    ASSERT_TRUE(links.Make(profile + L"\\Documents", root / L"to-documents"));
    ASSERT_TRUE(links.Make(outside.Path(), root / L"to-outside"));
    for (const wchar_t* target : {L"to-documents", L"to-documents\\Moved", L"to-outside"}) {
        EXPECT_EQ(CallNative("GetCopyMoveDiskPath", {Value::Array({downloads}), root / target}), Value(-3)) << target;
        EXPECT_EQ(core::LiveWorkerBits(), 0u);
    }
    EXPECT_FALSE(Exists(profile + L"\\Documents\\Moved"));
    EXPECT_TRUE(Exists(downloads + L"\\a.bin"));
}

// Settings naming the profile root, the Desktop, another profile's
// Downloads, or a link into Documents are left out of the Downloads roots
// the page offers; the move reads the same list.
TEST_F(MovableFolders, SettingsNamingProtectedPlacesAreLeftOut) {
    ASSERT_TRUE(links.Make(profile + L"\\Documents", root / L"to-documents"));
    const std::wstring profiles = profile.substr(0, profile.rfind(L'\\'));
    const std::pair<std::wstring, bool> cases[] = {
        {profile, false},
        {profile + L"\\Desktop", false},
        {profile + L"\\..\\Public\\Downloads", false},
        {root / L"to-documents", false},
        {root / L"to-documents\\Downloads", false},
        {L"C:\\", false},
        {root.Path(), true},
        {root / L"Not yet made", true},
        {profiles + L"\\Shared Downloads", true},
    };
    for (const auto& [setting, offered] : cases) {
        shell.Set(setting);
        EXPECT_EQ(Paths(), L"|" + (offered ? setting : L"") + L"|" + downloads + L"|")
            << std::string(setting.begin(), setting.end());
    }
    third.Set(profile + L"\\Desktop");
    shell.Set(profile);
    EXPECT_EQ(CallNative("GetDownloadDir"),
              Value(LR"([{"first":"EdgeDownloadDir","second":""},{"first":"Win10DownloadDir","second":""},)"
                    LR"({"first":"Win10DownloadDir3","second":""}])"));
}

}  // namespace
