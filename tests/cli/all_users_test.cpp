// orvane run by an agent as SYSTEM or by an administrator for every user:
// the per-user categories of each local profile the machine lists, never
// SYSTEM's own by mistake.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "common/account_sid.h"
#include "common/handles.h"
#include "db/scratch_database.h"
#include "junk/protected_folders.h"
#include "support/linux_links.h"
#include "support/scratch_program.h"
#include "support/temp_dir.h"

namespace {

using testsupport::Exists;
using testsupport::JsonItem;
using testsupport::JsonNumber;
using testsupport::JsonText;

constexpr wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

void SetText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    common::UniqueRegKey key;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.get(), name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

// A user's profile made by the test: its folder under the profiles' folder,
// its entry in the machine's list of profiles, and (when `hive`) a loaded
// hive under HKEY_USERS. All of it goes again with the owner.
class TestProfile {
public:
    TestProfile(const std::wstring& name, int rid, bool hive)
        : sid_(L"S-1-5-21-7777-8888-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(rid)),
          root_(testsupport::Environment(L"SystemDrive") + L"\\users\\" + name + L"-" +
                std::to_wstring(GetCurrentProcessId())),
          hive_(hive) {
        testsupport::MakeFolder(root_ + L"\\AppData\\Local\\Temp");
        SetText(HKEY_LOCAL_MACHINE, std::wstring(kProfileList) + L"\\" + sid_, L"ProfileImagePath", root_,
                REG_EXPAND_SZ);
        if (hive_) SetText(HKEY_USERS, sid_ + L"\\Environment", L"TEMP", L"%USERPROFILE%\\AppData\\Local\\Temp",
                           REG_EXPAND_SZ);
    }
    ~TestProfile() {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kProfileList) + L"\\" + sid_).c_str());
        if (hive_) RegDeleteTreeW(HKEY_USERS, sid_.c_str());
        testsupport::RemoveTree(Bin());
        testsupport::RemoveTree(root_);
    }
    TestProfile(const TestProfile&) = delete;
    TestProfile& operator=(const TestProfile&) = delete;

    const std::wstring& Sid() const { return sid_; }
    const std::wstring& Root() const { return root_; }
    std::wstring Temp() const { return root_ + L"\\AppData\\Local\\Temp"; }
    std::wstring Bin() const { return testsupport::Environment(L"SystemDrive") + L"\\$Recycle.Bin\\" + sid_; }

private:
    std::wstring sid_;
    std::wstring root_;
    bool hive_;
};

// Writes a file, making the folders on its way.
void Put(const std::wstring& path, std::string_view content) {
    testsupport::MakeFile(path, 0);
    testsupport::WriteFile(path, content);
}

// Keeps the test's own profile, so that a clean for every user leaves the
// prefix it runs in as it was.
void KeepOwnProfile(const testsupport::ScratchProgram& orvane) {
    const std::optional<std::wstring> own = junk::AccountProfile();
    ASSERT_TRUE(own);
    ASSERT_EQ(orvane(L"keep add \"" + *own + L"\"").exitCode, 0u);
}

const cJSON* ByText(const cJSON* array, const char* name, const std::string& text) {
    for (const cJSON* item = array ? array->child : nullptr; item; item = item->next)
        if (JsonText(item, name) == text) return item;
    return nullptr;
}

// Two users' profiles, one with its hive loaded whose "Local AppData" points
// out of the profile, the other with a file held open without sharing and a
// link out of its temporary folder. The test's own profile is kept, so that
// the clean leaves the prefix it runs in as it was.
TEST(AllUsers, CleansEveryUsersProfileAndLeavesWhatIsInUseOrOutside) {
    const TestProfile ann(L"qo-ann", 1001, true);
    const TestProfile bob(L"qo-bob", 1002, false);
    const testsupport::TempDir outside;
    // Ann's hive names a folder outside her profile as her local AppData.
    SetText(HKEY_USERS, ann.Sid() + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
            L"Local AppData", outside.Path(), REG_EXPAND_SZ);
    Put(outside / L"Temp\\canary.tmp", "outside");
    Put(ann.Temp() + L"\\old.tmp", "twelve bytes");
    Put(ann.Temp() + L"\\sub\\left.log", "eight bb");
    Put(ann.Bin() + L"\\$RAB12CD.txt", "deleted");
    Put(ann.Bin() + L"\\$IAB12CD.txt", "info");
    Put(ann.Bin() + L"\\$REF34GH\\inner.txt", "in a deleted folder");
    Put(bob.Temp() + L"\\held.tmp", "held open");
    Put(bob.Temp() + L"\\free.tmp", "free");
    Put(outside / L"target.txt", "the link's target");
    // junk.temp's own share of the machine: the Windows temporary folder.
    const std::wstring windowsTemp = testsupport::Environment(L"SystemRoot") + L"\\Temp\\qo-all-users-" +
                                     std::to_wstring(GetCurrentProcessId()) + L".tmp";
    Put(windowsTemp, "machine");
    testsupport::MakeFolder(outside / L"folder");
    Put(outside / L"folder\\inside.txt", "inside the linked folder");
    testsupport::LinuxLinks links;
    ASSERT_TRUE(links.Make(outside / L"target.txt", bob.Temp() + L"\\file-link.tmp"));
    ASSERT_TRUE(links.Make(outside / L"folder", bob.Temp() + L"\\folder-link"));
    const common::UniqueFile held(CreateFileW((bob.Temp() + L"\\held.tmp").c_str(), GENERIC_READ, 0, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);

    const testsupport::ScratchProgram orvane;
    ASSERT_NO_FATAL_FAILURE(KeepOwnProfile(orvane));

    const testsupport::ProgramRun scan = orvane(L"scan --all-users --json junk.temp junk.recycle_bin");
    EXPECT_EQ(scan.exitCode, 0u) << scan.out << scan.err;
    ASSERT_TRUE(scan.json) << scan.out;
    const cJSON* annFound = ByText(JsonItem(scan.json.get(), "profiles"), "sid", engine::Utf8FromWide(ann.Sid()));
    ASSERT_TRUE(annFound) << scan.out;
    EXPECT_EQ(JsonNumber(annFound, "found"), 5);  // two temporary files, three in the bin
    EXPECT_TRUE(Exists(ann.Temp() + L"\\old.tmp"));

    const testsupport::ProgramRun run = orvane(L"clean --all-users --json junk.temp junk.recycle_bin");
    ASSERT_TRUE(run.json) << run.out << run.err;
    const cJSON* profiles = JsonItem(run.json.get(), "profiles");
    const cJSON* annDone = ByText(profiles, "sid", engine::Utf8FromWide(ann.Sid()));
    const cJSON* bobDone = ByText(profiles, "sid", engine::Utf8FromWide(bob.Sid()));
    ASSERT_TRUE(annDone && bobDone) << run.out;
    EXPECT_EQ(JsonText(annDone, "profile"), engine::Utf8FromWide(ann.Root()));
    EXPECT_TRUE(cJSON_IsTrue(JsonItem(annDone, "hiveLoaded")));
    EXPECT_FALSE(cJSON_IsTrue(JsonItem(bobDone, "hiveLoaded")));
    EXPECT_EQ(JsonNumber(annDone, "removed"), 5);
    EXPECT_EQ(JsonNumber(annDone, "failed"), 0);
    EXPECT_EQ(JsonNumber(annDone, "inUse"), 0);
    // The held file is in use, not a failure; the link to a file (which Wine
    // lists as a plain file) leads elsewhere and stays, a failure.
    EXPECT_EQ(JsonNumber(bobDone, "inUse"), 1);
    EXPECT_EQ(JsonNumber(bobDone, "inUseBytes"), 9);
    EXPECT_EQ(JsonNumber(bobDone, "removed"), 1);
    EXPECT_LE(JsonNumber(bobDone, "failed"), 1);
    EXPECT_EQ(run.exitCode, JsonNumber(bobDone, "failed") > 0 ? 1u : 0u) << run.out;
    // Each category's object holds each profile's share.
    const cJSON* temp = ByText(JsonItem(run.json.get(), "categories"), "id", "junk.temp");
    ASSERT_TRUE(temp);
    const cJSON* annTemp = ByText(JsonItem(temp, "profiles"), "sid", engine::Utf8FromWide(ann.Sid()));
    ASSERT_TRUE(annTemp);
    EXPECT_EQ(JsonNumber(annTemp, "removed"), 2);
    EXPECT_EQ(JsonNumber(annTemp, "bytes"), 20);
    EXPECT_GE(JsonNumber(JsonItem(temp, "machine"), "removed"), 1);
    EXPECT_FALSE(Exists(windowsTemp));

    EXPECT_FALSE(Exists(ann.Temp() + L"\\old.tmp"));
    EXPECT_FALSE(Exists(ann.Temp() + L"\\sub"));
    EXPECT_TRUE(Exists(ann.Temp()));
    EXPECT_FALSE(Exists(ann.Bin() + L"\\$RAB12CD.txt"));
    EXPECT_FALSE(Exists(ann.Bin() + L"\\$REF34GH"));
    EXPECT_TRUE(Exists(ann.Bin()));  // the bin's own folder stays
    EXPECT_EQ(testsupport::ReadFile(outside / L"Temp\\canary.tmp"), "outside");
    EXPECT_TRUE(Exists(bob.Temp() + L"\\held.tmp"));
    EXPECT_FALSE(Exists(bob.Temp() + L"\\free.tmp"));
    EXPECT_EQ(testsupport::ReadFile(outside / L"target.txt"), "the link's target");
    EXPECT_EQ(testsupport::ReadFile(outside / L"folder\\inside.txt"), "inside the linked folder");
    EXPECT_TRUE(Exists(bob.Temp() + L"\\file-link.tmp"));

    // Plain text: one line per profile, the summary last.
    const testsupport::ProgramRun text = orvane(L"scan --all-users");
    EXPECT_EQ(text.exitCode, 0u) << text.out;
    EXPECT_NE(text.out.find(engine::Utf8FromWide(ann.Sid()) + "  " + engine::Utf8FromWide(ann.Root()) + "  "),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("scan --all-users: "), std::string::npos);
}

// The browsers' caches of every profile, each found in that profile's own
// AppData (Opera's in the roaming one); a browser that holds its cache in one
// profile keeps all of it there, and the rest of every profile stays.
TEST(AllUsers, EveryProfilesBrowserCachesGoUnlessTheBrowserHoldsThem) {
    const TestProfile ann(L"qo-ann", 1004, false);
    const TestProfile bob(L"qo-bob", 1005, false);
    const std::wstring annChrome = ann.Root() + L"\\AppData\\Local\\Google\\Chrome\\User Data\\Default";
    const std::wstring bobOpera = bob.Root() + L"\\AppData\\Roaming\\Opera Software\\Opera Stable";
    const std::wstring bobOperaCache = bob.Root() + L"\\AppData\\Local\\Opera Software\\Opera Stable\\Cache";
    const std::wstring bobFirefox = bob.Root() + L"\\AppData\\Local\\Mozilla\\Firefox\\Profiles\\x.default";
    for (const std::wstring& cache : {annChrome + L"\\Cache\\Cache_Data\\f_1", annChrome + L"\\Code Cache\\js\\index",
                                      bobOpera + L"\\GPUCache\\data_0", bobOperaCache + L"\\Cache_Data\\f_2",
                                      bobFirefox + L"\\cache2\\entries\\AB", bobFirefox + L"\\cache2\\entries\\CD"})
        Put(cache, "cache");
    const std::wstring stays[] = {annChrome + L"\\Cookies", bobOpera + L"\\Preferences", bobOpera + L"\\Login Data",
                                  bobFirefox + L"\\places.sqlite"};
    for (const std::wstring& stay : stays) Put(stay, "stays");
    const common::UniqueFile held(CreateFileW((bobFirefox + L"\\cache2\\entries\\AB").c_str(), GENERIC_READ,
                                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);

    const testsupport::ScratchProgram orvane;
    ASSERT_NO_FATAL_FAILURE(KeepOwnProfile(orvane));
    const testsupport::ProgramRun run = orvane(L"clean --all-users --json browser.*");
    ASSERT_TRUE(run.json) << run.out << run.err;
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    const cJSON* profiles = JsonItem(run.json.get(), "profiles");
    const cJSON* annDone = ByText(profiles, "sid", engine::Utf8FromWide(ann.Sid()));
    const cJSON* bobDone = ByText(profiles, "sid", engine::Utf8FromWide(bob.Sid()));
    ASSERT_TRUE(annDone && bobDone) << run.out;
    EXPECT_EQ(JsonNumber(annDone, "removed"), 2);
    // Bob's Opera is idle; his Firefox holds a file: both of its files stay, in use.
    EXPECT_EQ(JsonNumber(bobDone, "removed"), 2);
    EXPECT_EQ(JsonNumber(bobDone, "inUse"), 2);
    EXPECT_EQ(JsonNumber(bobDone, "failed"), 0);
    EXPECT_FALSE(Exists(annChrome + L"\\Cache\\Cache_Data\\f_1"));
    EXPECT_FALSE(Exists(annChrome + L"\\Code Cache\\js\\index"));
    EXPECT_FALSE(Exists(bobOpera + L"\\GPUCache\\data_0"));
    EXPECT_FALSE(Exists(bobOperaCache + L"\\Cache_Data\\f_2"));
    EXPECT_TRUE(Exists(bobFirefox + L"\\cache2\\entries\\AB"));
    EXPECT_TRUE(Exists(bobFirefox + L"\\cache2\\entries\\CD"));
    for (const std::wstring& stay : stays) EXPECT_TRUE(Exists(stay)) << engine::Utf8FromWide(stay);
}

// Only the per-user file categories are done for all users; a registry
// category never (another user's registry is not this program's to clean).
TEST(AllUsers, OtherCategoriesAnswerNotPermittedWithTheReason) {
    const testsupport::ScratchProgram orvane;
    const testsupport::ProgramRun registry = orvane(L"clean --all-users --json registry.software");
    EXPECT_EQ(registry.exitCode, 4u) << registry.out;
    ASSERT_TRUE(registry.json) << registry.out;
    const cJSON* category = JsonItem(registry.json.get(), "categories")->child;
    ASSERT_TRUE(category);
    EXPECT_FALSE(cJSON_IsTrue(JsonItem(category, "permitted")));
    EXPECT_NE(JsonText(category, "refusal").find("registry"), std::string::npos);
    EXPECT_EQ(orvane(L"clean --all-users junk.prefetch").exitCode, 4u);
    EXPECT_EQ(orvane(L"clean --all-users junk.nothing").exitCode, 2u);
    EXPECT_EQ(orvane(L"list --all-users").exitCode, 2u);
}

TEST(AllUsers, WithoutElevationNothingIsDone) {
    const TestProfile ann(L"qo-ann", 1003, false);
    Put(ann.Temp() + L"\\old.tmp", "twelve bytes");
    const common::UniqueKernelHandle token = testsupport::UnelevatedToken();
    if (!token) GTEST_SKIP() << "no token without elevation to run orvane.exe with";
    const testsupport::ScratchProgram orvane;
    const testsupport::ProgramRun run = orvane(L"clean --all-users --json junk.temp", token.get());
    EXPECT_EQ(run.exitCode, 4u) << run.out << run.err;
    EXPECT_NE(run.err.find("--all-users"), std::string::npos) << run.err;
    EXPECT_TRUE(Exists(ann.Temp() + L"\\old.tmp"));
}

// Run as SYSTEM without --all-users, a per-user category would clean
// SYSTEM's own profile and bin: it answers 4 with the reason instead, and
// nothing of the account's folders goes. (Every Wine process is the one
// Wine account: the account's SID is answered through its seam here.)
TEST(AllUsers, SystemWithoutAllUsersIsRefusedPerUserCategories) {
    const testsupport::ScratchDatabase database;
    const std::optional<std::wstring> own = junk::AccountProfile();
    ASSERT_TRUE(own);
    const std::wstring junkFile = *own + L"\\AppData\\Local\\Temp\\qo-system-" +
                                  std::to_wstring(GetCurrentProcessId()) + L".tmp";
    Put(junkFile, "twelve bytes");
    common::SetProcessAccountSidForTest(common::kLocalSystemSid);
    struct Case {
        std::vector<std::string> words;
        int exitCode;
        const char* reason;
    };
    const Case cases[] = {
        {{"clean", "junk.temp"}, 4, "run with --all-users"},
        {{"clean", "junk.recycle_bin", "junk.thumbnails", "junk.rdp_cache"}, 4, "run with --all-users"},
        {{"scan", "junk.temp"}, 4, "run with --all-users"},
        {{"scan", "registry.software"}, 4, "SYSTEM's own registry"},
        // A machine-wide category is SYSTEM's to clean: only the per-user one
        // is refused.
        {{"scan", "junk.temp", "junk.prefetch"}, 0, "run with --all-users"},
    };
    for (const Case& c : cases) {
        const cli::Parsed parsed = cli::ParseArguments(c.words);
        ASSERT_TRUE(parsed.usable);
        const cli::Outcome outcome = cli::RunCommand(parsed.command);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << c.words[1];
        EXPECT_NE(outcome.error.find(c.reason), std::string::npos) << outcome.error;
        const cJSON* category = JsonItem(outcome.json.get(), "categories")->child;
        ASSERT_TRUE(category);
        EXPECT_NE(JsonText(category, "refusal").find(c.reason), std::string::npos);
        EXPECT_FALSE(cJSON_IsTrue(JsonItem(category, "permitted")));
    }
    common::SetProcessAccountSidForTest(L"");
    EXPECT_TRUE(Exists(junkFile));
    DeleteFileW(junkFile.c_str());
}

}  // namespace
