// The group "Browsers and applications": each browser's layout on disk, what
// of a profile goes (its caches) and what stays (everything else), a browser
// that holds its cache, and the programs that are not there.
#include "junk/app_caches.h"

#include <gtest/gtest.h>

#include "core/settings_store.h"
#include "core/worker_tasks.h"
#include "db/scratch_database.h"
#include "junk/browser_hold.h"
#include "junk/junk_clean.h"
#include "junk/junk_scan.h"
#include "junk/result_rows.h"
#include "support/junk_fixtures.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace {

using junktest::MakeFile;
using testsupport::Exists;

// What a profile holds that a clean must leave: the user stays signed in
// and keeps history, passwords, sessions, bookmarks, extensions and storage.
const wchar_t* const kStays[] = {L"Cookies", L"History", L"Login Data", L"Bookmarks", L"Current Session",
                                 L"Preferences", L"Local Storage\\leveldb\\000003.log",
                                 L"IndexedDB\\https_site_0.indexeddb.leveldb\\LOG",
                                 L"Extensions\\abcdef\\1.0\\manifest.json",
                                 L"Service Worker\\CacheStorage\\index.txt"};

// One browser's layout: where its profiles lie (the User Data, under the
// local or the roaming AppData), where their caches lie (the same place, or
// for Opera also the local AppData), and the cache folders of a profile.
struct Layout {
    int category;
    const wchar_t* profiles;        // relative to the fixture: "Local\\Google\\Chrome\\User Data"
    const wchar_t* localMirror;     // the same layout in the local AppData, or null
    std::vector<const wchar_t*> profileCaches;
    std::vector<const wchar_t*> userDataCaches;  // of the User Data itself
    std::vector<const wchar_t*> profileNames;
};

const std::vector<const wchar_t*> kChromiumCaches = {L"Cache\\Cache_Data\\f_000001", L"Code Cache\\js\\index",
                                                      L"GPUCache\\data_0"};
const std::vector<const wchar_t*> kChromiumUserDataCaches = {L"ShaderCache\\data_1", L"GrShaderCache\\data_2"};

const Layout kLayouts[] = {
    {junk::kChromeCategory, L"Local\\Google\\Chrome\\User Data", nullptr, kChromiumCaches, kChromiumUserDataCaches,
     {L"Default", L"Profile 1"}},
    {junk::kEdgeCategory, L"Local\\Microsoft\\Edge\\User Data", nullptr, kChromiumCaches, kChromiumUserDataCaches,
     {L"Default", L"Profile 1"}},
    {junk::kBraveCategory, L"Local\\BraveSoftware\\Brave-Browser\\User Data", nullptr, kChromiumCaches,
     kChromiumUserDataCaches, {L"Default", L"Profile 1"}},
    {junk::kVivaldiCategory, L"Local\\Vivaldi\\User Data", nullptr, kChromiumCaches, kChromiumUserDataCaches,
     {L"Default", L"Profile 1"}},
    // Opera's profile is the roaming folder itself (and newer ones beside it).
    {junk::kOperaCategory, L"Roaming\\Opera Software\\Opera Stable", L"Local\\Opera Software\\Opera Stable",
     kChromiumCaches, kChromiumUserDataCaches, {L"", L"Profile 1"}},
    {junk::kFirefoxCategory, L"Local\\Mozilla\\Firefox\\Profiles", nullptr,
     {L"cache2\\entries\\0A1B2C", L"startupCache\\startupCache.8.little"}, {}, {L"abc123.default-release", L"x9.dev"}},
};

std::wstring Joined(const std::wstring& folder, const wchar_t* name) {
    return *name ? folder + L"\\" + name : folder;
}

class AppCaches : public junktest::JunkListsTest {
protected:
    void SetUp() override {
        JunkListsTest::SetUp();
        RegDeleteTreeW(HKEY_CURRENT_USER, core::kProductKey);
        core::ReadHealthScore();
        const std::wstring final = *junk::FinalPathOf(dir.Path());
        sources.variable = [this](const wchar_t* name) {
            return std::wstring_view(name) == L"SYSTEMROOT" ? dir / L"Windows" : std::wstring();
        };
        sources.expand = [](const std::wstring& path) { return path; };
        sources.localAppData = dir / L"Local";
        sources.localAppDataFinal = final + L"\\Local";
        sources.roamingAppData = dir / L"Roaming";
        sources.roamingAppDataFinal = final + L"\\Roaming";
    }
    void TearDown() override {
        junk::SetProgramRunsForTests({});
        JunkListsTest::TearDown();
    }
    // Scans the categories and cleans them in one clean, as the window does.
    void ScanAndClean(const std::vector<int>& categories) {
        std::wstring selection = L"[";
        for (const int category : categories) {
            ASSERT_TRUE(junk::ScanJunkCategory(category, sources));
            selection += (selection.size() > 1 ? L"," : L"") + std::wstring(LR"({"first":1,"second":)") +
                         std::to_wstring(category) + L"}";
        }
        const core::TaskScope task;
        core::ZoneBits() = core::JUNKFILE_CLEAN_WORKING;
        junk::RunClean(junk::ParseSelection(selection + L"]"));
    }
    // Seeds a browser's layout: for every profile, its caches and what stays.
    struct Seeded {
        std::vector<std::wstring> caches, stays;
    };
    Seeded Seed(const Layout& layout) {
        Seeded seeded;
        const std::wstring profiles = dir / layout.profiles;
        for (const wchar_t* name : layout.profileNames) {
            const std::wstring profile = Joined(profiles, name);
            for (const wchar_t* stay : kStays) seeded.stays.push_back(profile + L"\\" + stay);
            for (const wchar_t* cache : layout.profileCaches) seeded.caches.push_back(profile + L"\\" + cache);
            if (layout.localMirror)
                for (const wchar_t* cache : layout.profileCaches)
                    seeded.caches.push_back(Joined(dir / layout.localMirror, name) + L"\\" + cache);
        }
        for (const wchar_t* cache : layout.userDataCaches) seeded.caches.push_back(profiles + L"\\" + cache);
        // Not a profile (no Preferences): its cache-named folder stays.
        seeded.stays.push_back(profiles + L"\\Crashpad\\Cache\\report.dmp");
        seeded.stays.push_back(profiles + L"\\Local State");
        for (const std::wstring& path : seeded.caches) MakeFile(path, 100);
        for (const std::wstring& path : seeded.stays) MakeFile(path, 10);
        return seeded;
    }
    testsupport::TempDir dir;
    testsupport::PublishedHost host;
    const testsupport::ScratchDatabase database;
    junk::CategorySources sources;
};

TEST(AppCacheRules, ChromiumProfilesAreDefaultNumberedOrHoldPreferences) {
    struct Case {
        const wchar_t* name;
        bool preferences;
        bool profile;
    };
    const Case cases[] = {{L"Default", false, true},       {L"Profile 1", false, true},   {L"Profile 12", false, true},
                          {L"Guest Profile", true, true},  {L"Profile", false, false},    {L"Profile x", false, false},
                          {L"Profile 1a", false, false},   {L"Crashpad", false, false},   {L"ShaderCache", false, false},
                          {L"default", false, false}};
    for (const Case& c : cases)
        EXPECT_EQ(junk::IsChromiumProfile(c.name, c.preferences), c.profile) << static_cast<const void*>(c.name);
}

TEST_F(AppCaches, OnlyEachBrowsersCachesGoAndEverythingElseOfItsProfilesStays) {
    for (const Layout& layout : kLayouts) {
        SCOPED_TRACE(layout.category);
        const Seeded seeded = Seed(layout);
        ScanAndClean({layout.category});
        EXPECT_EQ(junk::StateOf(layout.category).load(), junk::CategoryState::Ready);
        for (const std::wstring& path : seeded.caches) EXPECT_FALSE(Exists(path)) << testing::PrintToString(path);
        for (const std::wstring& path : seeded.stays) EXPECT_TRUE(Exists(path)) << testing::PrintToString(path);
        const auto ends = host.CallsOf("SetCleanEnd");
        ASSERT_FALSE(ends.empty());
        EXPECT_EQ(ends.back().args.at(0).Items()[0], engine::Value(static_cast<int>(seeded.caches.size())));
        EXPECT_EQ(ends.back().args.at(0).Items()[3], engine::Value(layout.category));
    }
}

TEST_F(AppCaches, ABrowserThatHoldsItsCacheKeepsAllOfItWhileAnIdleOneIsCleaned) {
    const Seeded chrome = Seed(kLayouts[0]);
    const Seeded edge = Seed(kLayouts[1]);
    const Seeded firefox = Seed(kLayouts[5]);
    // Chrome has one cache file open without sharing deletion; Firefox runs.
    const common::UniqueFile held(CreateFileW(chrome.caches.back().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    junk::SetProgramRunsForTests([](std::wstring_view program) { return program == L"firefox.exe"; });
    ScanAndClean({junk::kChromeCategory, junk::kEdgeCategory, junk::kFirefoxCategory});
    for (const Seeded* left : {&chrome, &firefox})
        for (const std::wstring& path : left->caches) EXPECT_TRUE(Exists(path)) << testing::PrintToString(path);
    for (const std::wstring& path : edge.caches) EXPECT_FALSE(Exists(path)) << testing::PrintToString(path);
    EXPECT_EQ(junk::StateOf(junk::kChromeCategory).load(), junk::CategoryState::Held);
    EXPECT_EQ(junk::StateOf(junk::kFirefoxCategory).load(), junk::CategoryState::Held);
    EXPECT_EQ(junk::StateOf(junk::kEdgeCategory).load(), junk::CategoryState::Ready);
    // Only the idle browser is reported cleaned; the held ones keep their
    // lists and the page learns why from their state.
    const auto ends = host.CallsOf("SetCleanEnd");
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].args.at(0).Items()[3], engine::Value(junk::kEdgeCategory));
    EXPECT_EQ(junk::JunkList(junk::kChromeCategory).Count(), chrome.caches.size());
    EXPECT_EQ(junk::Undeletables().Count(), 0u);
    const std::wstring info = junk::AllItemInfoText();
    EXPECT_NE(info.find(LR"({"first":1,"second":13,"three":8,"four":"800","five":2})"), std::wstring::npos) << info;
    EXPECT_NE(info.find(LR"("second":18,"three":4,"four":"400","five":2})"), std::wstring::npos) << info;
}

TEST_F(AppCaches, AProgramThatIsNotThereIsAbsentAndWalkedNowhere) {
    Seed(kLayouts[0]);
    MakeFile(dir / L"Local\\NVIDIA\\DXCache\\shader.bin", 64);
    for (int category = junk::kChromeCategory; category < junk::kJunkCategoryCount; ++category) {
        const bool there = category == junk::kChromeCategory || category == junk::kShaderCacheCategory;
        EXPECT_EQ(junk::CategoryPresent(category, sources), there) << category;
        ASSERT_TRUE(junk::ScanJunkCategory(category, sources));
        EXPECT_EQ(junk::StateOf(category).load(), there ? junk::CategoryState::Ready : junk::CategoryState::Absent)
            << category;
    }
    EXPECT_EQ(junk::JunkList(junk::kShaderCacheCategory).Total(), 64u);
    for (int category = 0; category < junk::kFirstAppCategory; ++category)
        EXPECT_TRUE(junk::CategoryPresent(category, sources)) << category;
}

// A user can make any folder of their profile a link; the elevated clean
// follows none out of their AppData.
TEST_F(AppCaches, LinksInAUserDataAreNotFollowed) {
    const testsupport::TempDir outside;
    MakeFile(outside / L"Cache\\canary.txt", 6);
    MakeFile(outside / L"Profile 2\\Cache\\canary.txt", 6);
    const std::wstring userData = dir / L"Local\\Google\\Chrome\\User Data";
    MakeFile(userData + L"\\Default\\Preferences", 1);
    ASSERT_TRUE(junktest::MakeLinuxLink(junktest::UnixPath(outside / L"Profile 2"), userData + L"\\Profile 2"));
    ASSERT_TRUE(junktest::MakeLinuxLink(junktest::UnixPath(outside / L"Cache"), userData + L"\\Default\\Cache"));
    ScanAndClean({junk::kChromeCategory});
    EXPECT_TRUE(Exists(outside / L"Cache\\canary.txt"));
    EXPECT_TRUE(Exists(outside / L"Profile 2\\Cache\\canary.txt"));
    junktest::RemoveLinuxLink(userData + L"\\Profile 2");
    junktest::RemoveLinuxLink(userData + L"\\Default\\Cache");
}

TEST_F(AppCaches, CrashDumpsAreTheAccountsTheMachinesAndTheMemoryDump) {
    MakeFile(dir / L"Local\\CrashDumps\\app.exe.1234.dmp", 300);
    MakeFile(dir / L"Windows\\Minidump\\121126-01.dmp", 200);
    MakeFile(dir / L"Windows\\MEMORY.DMP", 1000);
    MakeFile(dir / L"Windows\\other.log", 5);
    ScanAndClean({junk::kCrashDumpsCategory});
    EXPECT_FALSE(Exists(dir / L"Local\\CrashDumps\\app.exe.1234.dmp"));
    EXPECT_FALSE(Exists(dir / L"Windows\\Minidump\\121126-01.dmp"));
    EXPECT_FALSE(Exists(dir / L"Windows\\MEMORY.DMP"));
    EXPECT_TRUE(Exists(dir / L"Windows\\other.log"));
    EXPECT_TRUE(Exists(dir / L"Windows\\Minidump"));
    const auto ends = host.CallsOf("SetCleanEnd");
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].args.at(0).Items()[1], engine::Value(L"1500"));
}

}  // namespace
