// orvane.exe run as an administrator's script runs it: a copy in its own
// folder, its output read from pipes, against what the test put in the
// prefix.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <knownfolders.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/account_sid.h"
#include "common/crash_point.h"
#include "common/handles.h"
#include "common/windows_version.h"
#include "core/data_stores.h"
#include "core/keep_list.h"
#include "core/operation_lock.h"
#include "core/worker_tasks.h"
#include "suite/undo_changes.h"
#include "db/scratch_database.h"
#include "engine/wire_format.h"
#include "junk/junk_categories.h"
#include "junk/junk_clean.h"
#include "junk/junk_scan.h"
#include "junk/protected_folders.h"
#include "junk/result_kinds.h"
#include "registry/registry_issue.h"
#include "registry/registry_rows.h"
#include "registry/registry_scan.h"
#include "services/service_change.h"
#include "startup/startup_bridge.h"
#include "startup/startup_enumeration.h"
#include "services/test_services.h"
#include "support/child_process.h"
#include "support/earlier_database.h"
#include "support/fresh_stores.h"
#include "support/junk_fixtures.h"
#include "support/scoped_state.h"
#include "support/scratch_program.h"
#include "startup/startup_sandbox.h"
#include "support/temp_dir.h"

namespace {

using testsupport::Exists;
using testsupport::TempDir;

using Result = testsupport::ProgramRun;
using Orvane = testsupport::ScratchProgram;
constexpr auto Item = &testsupport::JsonItem;
constexpr auto NumberOf = &testsupport::JsonNumber;
constexpr auto TextOf = &testsupport::JsonText;

// The category object with `id` in a scan's or clean's document.
const cJSON* CategoryOf(const Result& run, const char* id) {
    for (const cJSON* category = Item(run.json.get(), "categories") ? Item(run.json.get(), "categories")->child : nullptr;
         category; category = category->next)
        if (TextOf(category, "id") == id) return category;
    return nullptr;
}

std::string LastLine(const std::string& text) {
    std::string trimmed = text;
    while (!trimmed.empty() && (trimmed.back() == '\n' || trimmed.back() == '\r')) trimmed.pop_back();
    return trimmed.substr(trimmed.rfind('\n') == std::string::npos ? 0 : trimmed.rfind('\n') + 1);
}

bool UserKeyExists(const wchar_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void CreateUserKey(const wchar_t* path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
}

// Junk in a temporary folder that the user's TEMP setting names.
class SeededTemp {
public:
    SeededTemp() {
        testsupport::WriteFile(temp_ / L"old.tmp", "twelve bytes");
        testsupport::MakeFolder(temp_ / L"sub");
        testsupport::WriteFile(temp_ / L"sub\\left.log", "eight bb");
    }
    const TempDir& Folder() const { return temp_; }

private:
    TempDir temp_;
    junktest::ScopedUserTemp setting_{temp_.Path()};
};

TEST(Orvane, ListsEveryCategoryWithItsIdAndName) {
    const Orvane orvane;
    const Result run = orvane(L"list --json");
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_TRUE(run.json) << run.out;
    const cJSON* categories = Item(run.json.get(), "categories");
    ASSERT_EQ(cJSON_GetArraySize(categories), 28);
    EXPECT_EQ(TextOf(categories->child, "id"), "junk.temp");
    EXPECT_EQ(TextOf(categories->child, "name"), "Temporary Files");
    EXPECT_EQ(NumberOf(run.json.get(), "exitCode"), 0);
    // Without --json, the last line is the summary.
    EXPECT_EQ(LastLine(orvane(L"list").out), "28 categories");
}

TEST(Orvane, ScanReportsWhatACleanWouldRemoveAndRemovesNothing) {
    const SeededTemp temp;
    const Orvane orvane;
    const Result run = orvane(L"scan --json --details junk.temp");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    ASSERT_TRUE(run.json) << run.out;
    const cJSON* category = CategoryOf(run, "junk.temp");
    ASSERT_TRUE(category);
    EXPECT_GE(NumberOf(category, "count"), 2);
    EXPECT_GE(NumberOf(category, "bytes"), 20);
    std::vector<std::string> paths;
    for (const cJSON* item = Item(category, "items")->child; item; item = item->next) paths.push_back(TextOf(item, "path"));
    EXPECT_NE(std::find(paths.begin(), paths.end(), engine::Utf8FromWide(temp.Folder() / L"old.tmp")), paths.end());
    EXPECT_NE(std::find(paths.begin(), paths.end(), engine::Utf8FromWide(temp.Folder() / L"sub\\left.log")),
              paths.end());
    EXPECT_FALSE(CategoryOf(run, "registry.software"));
    EXPECT_TRUE(Exists(temp.Folder() / L"old.tmp"));

    const Result text = orvane(L"scan junk.temp");
    EXPECT_EQ(LastLine(text.out).rfind("scan: ", 0), 0u) << text.out;
}

// Browsers' caches in this account's local AppData, as the known folder
// names it, removed with everything of them afterwards.
class SeededBrowsers {
public:
    SeededBrowsers() {
        PWSTR local = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local))) local_ = local;
        CoTaskMemFree(local);
        for (const std::wstring& file : {Chrome(L"Default\\Cache\\Cache_Data\\f_000001"), Chrome(L"Profile 1\\GPUCache\\data_0"),
                                         Firefox(L"cache2\\entries\\0A1B"), Firefox(L"startupCache\\scache.bin")})
            testsupport::MakeFile(file, 100);
        for (const std::wstring& file : {Chrome(L"Default\\Cookies"), Firefox(L"places.sqlite")}) testsupport::MakeFile(file, 5);
    }
    ~SeededBrowsers() {
        testsupport::RemoveTree(local_ + L"\\Google");
        testsupport::RemoveTree(local_ + L"\\Mozilla");
    }
    std::wstring Chrome(const wchar_t* part) const { return local_ + L"\\Google\\Chrome\\User Data\\" + part; }
    std::wstring Firefox(const wchar_t* part) const { return local_ + L"\\Mozilla\\Firefox\\Profiles\\q1.default\\" + part; }

private:
    std::wstring local_;
};

TEST(Orvane, BrowsersAreAGroupAndEachIsCleanedAlone) {
    const SeededBrowsers browsers;
    const Orvane orvane;
    const Result scan = orvane(L"scan --json browser.*");
    EXPECT_EQ(scan.exitCode, 0u) << scan.out << scan.err;
    ASSERT_TRUE(scan.json) << scan.out;
    EXPECT_EQ(cJSON_GetArraySize(Item(scan.json.get(), "categories")), 6);
    struct Expected {
        const char* id;
        int count;
        bool installed;
    };
    for (const Expected& e : {Expected{"browser.chrome", 2, true}, Expected{"browser.edge", 0, false},
                              Expected{"browser.brave", 0, false}, Expected{"browser.vivaldi", 0, false},
                              Expected{"browser.opera", 0, false}, Expected{"browser.firefox", 2, true}}) {
        const cJSON* category = CategoryOf(scan, e.id);
        ASSERT_TRUE(category) << e.id;
        EXPECT_EQ(NumberOf(category, "count"), e.count) << e.id;
        EXPECT_EQ(cJSON_IsTrue(Item(category, "installed")), e.installed) << e.id;
        EXPECT_FALSE(cJSON_IsTrue(Item(category, "held"))) << e.id;
    }
    EXPECT_TRUE(Exists(browsers.Chrome(L"Default\\Cache\\Cache_Data\\f_000001")));

    const Result clean = orvane(L"clean --json browser.firefox");
    EXPECT_EQ(clean.exitCode, 0u) << clean.out << clean.err;
    ASSERT_TRUE(clean.json) << clean.out;
    EXPECT_EQ(cJSON_GetArraySize(Item(clean.json.get(), "categories")), 1);
    EXPECT_EQ(NumberOf(CategoryOf(clean, "browser.firefox"), "removed"), 2);
    EXPECT_FALSE(Exists(browsers.Firefox(L"cache2\\entries\\0A1B")));
    EXPECT_FALSE(Exists(browsers.Firefox(L"startupCache\\scache.bin")));
    EXPECT_TRUE(Exists(browsers.Firefox(L"places.sqlite")));
    EXPECT_TRUE(Exists(browsers.Chrome(L"Default\\Cache\\Cache_Data\\f_000001")));
    EXPECT_TRUE(Exists(browsers.Chrome(L"Profile 1\\GPUCache\\data_0")));
}

// A usage error cleans nothing, whatever else the words say.
TEST(Orvane, UsageErrorsCleanNothing) {
    const SeededTemp temp;
    const Orvane orvane;
    for (const wchar_t* arguments : {L"clean", L"clean --json", L"clean junk.temp junk.nothing", L"clean junk.temp --all",
                                     L"clean junk.tem", L"sweep junk.temp", L""}) {
        const Result run = orvane(arguments);
        EXPECT_EQ(run.exitCode, 2u) << engine::Utf8FromWide(arguments);
        EXPECT_NE(run.err.find("usage: orvane"), std::string::npos) << engine::Utf8FromWide(arguments);
        EXPECT_TRUE(Exists(temp.Folder() / L"old.tmp")) << engine::Utf8FromWide(arguments);
    }
    const Result help = orvane(L"--help");
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_NE(help.out.find("4  not permitted"), std::string::npos);
}

TEST(Orvane, CleanRemovesTheNamedCategoryOnly) {
    const SeededTemp temp;
    CreateUserKey(L"Software\\QoCliEmpty");
    const Orvane orvane;
    const Result run = orvane(L"clean --json junk.temp");
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    ASSERT_TRUE(run.json) << run.out;
    const cJSON* category = CategoryOf(run, "junk.temp");
    ASSERT_TRUE(category);
    EXPECT_GE(NumberOf(category, "removed"), 2);
    EXPECT_EQ(NumberOf(category, "failed"), 0);
    EXPECT_FALSE(Exists(temp.Folder() / L"old.tmp"));
    EXPECT_FALSE(Exists(temp.Folder() / L"sub\\left.log"));
    // Other categories are left as they were.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\QoCliEmpty", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QoCliEmpty");
    EXPECT_EQ(cJSON_GetArraySize(Item(run.json.get(), "categories")), 1);
}

// A clean of junk.temp while old.tmp is held open without sharing.
Result CleanHoldingOldTmp(const SeededTemp& temp, const Orvane& orvane) {
    const common::UniqueFile held(CreateFileW((temp.Folder() / L"old.tmp").c_str(), GENERIC_READ, 0, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(held);
    return orvane(L"clean --json junk.temp");
}

// A file in use stays and counts as failed, not removed; the bytes are those
// the clean freed.
// A file in use is normal on a live machine: it stays, counted as in use,
// and the clean is done (exit 0), not failed.
TEST(Orvane, AFileInUseIsCountedInUseNotFailedAndFreesNothing) {
    const SeededTemp temp;
    const Orvane orvane;
    const Result scan = orvane(L"scan --json junk.temp");
    const cJSON* found = CategoryOf(scan, "junk.temp");
    ASSERT_TRUE(found) << scan.out;
    const Result run = CleanHoldingOldTmp(temp, orvane);
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    const cJSON* category = CategoryOf(run, "junk.temp");
    ASSERT_TRUE(category) << run.out;
    EXPECT_EQ(NumberOf(category, "inUse"), 1);
    EXPECT_EQ(NumberOf(category, "inUseBytes"), 12);
    EXPECT_EQ(NumberOf(category, "failed"), 0);
    EXPECT_EQ(NumberOf(category, "removed"), NumberOf(found, "count") - 1);
    EXPECT_EQ(NumberOf(category, "bytes"), NumberOf(found, "bytes") - 12);
    EXPECT_EQ(NumberOf(run.json.get(), "bytes"), NumberOf(category, "bytes"));
    EXPECT_EQ(NumberOf(run.json.get(), "inUse"), 1);
    EXPECT_TRUE(Exists(temp.Folder() / L"old.tmp"));
    EXPECT_FALSE(Exists(temp.Folder() / L"sub\\left.log"));
}

// A file that cannot be deleted for another reason than being in use (read
// only, with a second link elsewhere that shares the attribute) is a failure:
// beside a file in use, the clean answers 1 and counts each as what it is.
TEST(Orvane, AFileLeftForAnotherReasonThanUseMakesTheCleanAnswerOne) {
    const SeededTemp temp;
    const TempDir elsewhere;
    const std::wstring stuck = temp.Folder() / L"stuck.tmp";
    testsupport::WriteFile(stuck, "seven b");
    ASSERT_TRUE(CreateHardLinkW((elsewhere / L"second-link.tmp").c_str(), stuck.c_str(), nullptr)) << GetLastError();
    ASSERT_TRUE(SetFileAttributesW(stuck.c_str(), FILE_ATTRIBUTE_READONLY));
    const Orvane orvane;
    const Result run = CleanHoldingOldTmp(temp, orvane);
    EXPECT_EQ(run.exitCode, 1u) << run.out << run.err;
    const cJSON* category = CategoryOf(run, "junk.temp");
    ASSERT_TRUE(category) << run.out;
    EXPECT_EQ(NumberOf(category, "inUse"), 1);
    EXPECT_EQ(NumberOf(category, "failed"), 1);
    EXPECT_EQ(NumberOf(run.json.get(), "inUse"), 1);
    EXPECT_TRUE(Exists(stuck));
    EXPECT_TRUE(Exists(temp.Folder() / L"old.tmp"));
    EXPECT_FALSE(Exists(temp.Folder() / L"sub\\left.log"));
    SetFileAttributesW(stuck.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A TEMP naming Documents (any unelevated program can write it) would make
// every document junk: the clean takes the account's own temporary folder
// instead, and the documents stay.
TEST(Orvane, CleanOfATempNamingDocumentsLeavesTheDocumentsAlone) {
    wchar_t* known = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &known)));
    const std::wstring documents = known;
    CoTaskMemFree(known);
    const std::optional<std::wstring> profile = junk::AccountProfile();
    ASSERT_TRUE(profile.has_value());
    const std::wstring pid = std::to_wstring(GetCurrentProcessId());
    const std::wstring mine = documents + L"\\qo-cli-" + pid;
    const std::wstring fallback = *profile + L"\\AppData\\Local\\Temp\\qo-cli-" + pid;
    testsupport::MakeFile(mine + L"\\report.txt", 12);
    testsupport::MakeFile(mine + L"\\photos\\holiday.jpg", 30);
    testsupport::MakeFile(fallback + L"\\old.tmp", 5);
    const junktest::ScopedUserTemp setting(documents);
    const Orvane orvane;

    const Result run = orvane(L"clean --json junk.temp");

    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_EQ(testsupport::ReadFile(mine + L"\\report.txt"), std::string(12, 'x'));
    EXPECT_TRUE(Exists(mine + L"\\photos\\holiday.jpg"));
    EXPECT_FALSE(Exists(fallback + L"\\old.tmp"));
    testsupport::RemoveTree(mine);
    testsupport::RemoveTree(fallback);
}

// The keep list through orvane: stored once whatever the letter case, as the
// scan lists it (an existing file under its own name), a registry root
// abbreviation written out, a relative path made absolute; a kept file stays
// through "clean junk.temp" until it is taken off the list.
TEST(Orvane, KeptFilesSurviveCleanUntilTakenOffTheKeepList) {
    const SeededTemp temp;
    const Orvane orvane;
    const auto keep = [&](const std::wstring& arguments, DWORD exitCode, const char* status) {
        const Result run = orvane(L"keep " + arguments + L" --json");
        EXPECT_EQ(run.exitCode, exitCode) << run.out << run.err;
        EXPECT_EQ(TextOf(run.json.get(), "status"), status) << run.out;
        return TextOf(run.json.get(), "item");
    };
    const std::string kept = keep(L"add \"" + temp.Folder() / L"OLD.TMP" + L"\"", 0, "kept");
    EXPECT_EQ(engine::WideFromUtf8(kept), temp.Folder() / L"old.tmp");
    keep(L"add \"" + temp.Folder() / L"old.tmp" + L"\"", 0, "already kept");
    EXPECT_EQ(keep(L"add hkcu\\Software\\QoCliKept\\", 0, "kept"), "HKEY_CURRENT_USER\\Software\\QoCliKept");
    EXPECT_EQ(engine::WideFromUtf8(keep(L"add relative.txt", 0, "kept")), orvane.Folder() / L"relative.txt");

    const Result clean = orvane(L"clean --json junk.temp");
    EXPECT_EQ(clean.exitCode, 0u) << clean.out << clean.err;
    EXPECT_TRUE(Exists(temp.Folder() / L"old.tmp"));
    EXPECT_FALSE(Exists(temp.Folder() / L"sub\\left.log"));

    keep(L"remove HKEY_CURRENT_USER\\software\\qoclikept", 0, "removed");
    keep(L"remove HKCU\\Software\\QoCliKept", 1, "not on the keep list");
    const Result list = orvane(L"keep list --json");
    EXPECT_EQ(list.exitCode, 0u) << list.out << list.err;
    std::vector<std::string> texts;
    for (const cJSON* item = Item(list.json.get(), "kept") ? Item(list.json.get(), "kept")->child : nullptr; item;
         item = item->next)
        texts.push_back(cJSON_IsString(item) ? item->valuestring : "");
    EXPECT_EQ(texts, (std::vector<std::string>{kept, engine::Utf8FromWide(orvane.Folder() / L"relative.txt")}));
    EXPECT_EQ(LastLine(orvane(L"keep list").out), "keep: 2 kept");

    keep(L"remove \"" + temp.Folder() / L"Old.Tmp" + L"\"", 0, "removed");
    EXPECT_EQ(orvane(L"clean junk.temp").exitCode, 0u);
    EXPECT_FALSE(Exists(temp.Folder() / L"old.tmp"));
}

TEST(Orvane, RegistryCleanSavesEachEntryToItsBackupFirst) {
    CreateUserKey(L"Software\\QoCliEmptyKey");
    const Orvane orvane;
    const Result scan = orvane(L"scan --json --details registry.software");
    const cJSON* found = CategoryOf(scan, "registry.software");
    ASSERT_TRUE(found) << scan.out;
    EXPECT_NE(scan.out.find("HKEY_CURRENT_USER\\\\Software\\\\QoCliEmptyKey"), std::string::npos) << scan.out;

    const Result run = orvane(L"clean --json registry.software");
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    const cJSON* category = CategoryOf(run, "registry.software");
    ASSERT_TRUE(category) << run.out;
    EXPECT_EQ(NumberOf(category, "removed"), NumberOf(found, "count"));
    const std::wstring backup = engine::WideFromUtf8(TextOf(category, "backup"));
    ASSERT_FALSE(backup.empty()) << run.out;
    // An HKEY_CURRENT_USER clean is backed up in the account's own store.
    const std::wstring store = testsupport::StoreDatabase(db::Store::User);
    EXPECT_EQ(backup.rfind(store.substr(0, store.rfind(L'\\')) + L"\\Backups\\", 0), 0u) << run.out;
    const std::string saved = testsupport::ReadFile(backup);
    // The file is regedit's UTF-16 text.
    const std::wstring text(reinterpret_cast<const wchar_t*>(saved.data()), saved.size() / sizeof(wchar_t));
    EXPECT_NE(text.find(L"[HKEY_CURRENT_USER\\Software\\QoCliEmptyKey]"), std::wstring::npos);
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\QoCliEmptyKey", 0, KEY_READ, &key), ERROR_SUCCESS);
}

constexpr const wchar_t* kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The startup entry named `name` in `orvane startup list`: its number and
// whether it is on; number 0 when it is not listed.
std::pair<int, bool> StartupEntry(const Orvane& orvane, const char* name) {
    const Result list = orvane(L"startup list --json");
    EXPECT_EQ(list.exitCode, 0u) << list.err;
    const cJSON* entries = Item(list.json.get(), "entries");
    for (const cJSON* entry = entries ? entries->child : nullptr; entry; entry = entry->next)
        if (TextOf(entry, "name") == name)
            return {static_cast<int>(NumberOf(entry, "number")), cJSON_IsTrue(Item(entry, "enabled"))};
    return {0, false};
}

TEST(Orvane, StartupEntriesSwitchOffAndBackExactly) {
    testsupport::ScopedUserValue value{kRun, L"QoCliTool"};
    value.Set(L"\"C:\\windows\\system32\\notepad.exe\" /quiet");
    const Orvane orvane;
    const int number = StartupEntry(orvane, "QoCliTool").first;
    ASSERT_GT(number, 0);

    const Result off = orvane(L"startup disable " + std::to_wstring(number) + L" --json");
    EXPECT_EQ(off.exitCode, 0u) << off.out << off.err;
    ASSERT_TRUE(off.json) << off.out;
    EXPECT_FALSE(cJSON_IsTrue(Item(Item(off.json.get(), "entries")->child, "enabled")));
    const Result on = orvane(L"startup enable " + std::to_wstring(number) + L" --json");
    EXPECT_EQ(on.exitCode, 0u) << on.out << on.err;
    wchar_t data[MAX_PATH] = {};
    DWORD size = sizeof data, type = 0;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kRun, L"QoCliTool", RRF_RT_ANY, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(data), L"\"C:\\windows\\system32\\notepad.exe\" /quiet");

    EXPECT_EQ(orvane(L"startup enable 100000").exitCode, 2u);
}

// The text list shows each entry's stable id after its number and state,
// and the id copied from there is what `startup disable` takes.
TEST(Orvane, TheStartupListsTextShowsTheIdToCopy) {
    testsupport::ScopedUserValue value{kRun, L"QoCliCopied"};
    value.Set(L"\"C:\\windows\\system32\\notepad.exe\"");
    const Orvane orvane;
    const Result list = orvane(L"startup list");
    ASSERT_EQ(list.exitCode, 0u) << list.err;
    std::istringstream lines(list.out);
    std::string line, id;
    while (std::getline(lines, line))
        if (line.find("QoCliCopied") != std::string::npos) {
            std::istringstream fields(line);
            std::string number, state;
            fields >> number >> state >> id;
            EXPECT_EQ(state, "on") << line;
        }
    EXPECT_EQ(id, "hkcu-run:QoCliCopied") << list.out;

    const Result off = orvane(L"startup disable " + engine::WideFromUtf8(id));
    EXPECT_EQ(off.exitCode, 0u) << off.out << off.err;
    EXPECT_FALSE(StartupEntry(orvane, "QoCliCopied").second);
    EXPECT_EQ(orvane(L"startup enable " + engine::WideFromUtf8(id)).exitCode, 0u);
}

TEST(Orvane, ServiceStartTypesChangeThroughTheLogOfTheWindow) {
    testsupport::TestServices services;
    services.Create({L"QoCliService", L"Qo command line service", L"C:\\windows\\system32\\notepad.exe",
                     SERVICE_DEMAND_START, L""});
    const Orvane orvane;
    const Result list = orvane(L"services list --json");
    ASSERT_EQ(list.exitCode, 0u);
    EXPECT_NE(list.out.find("\"QoCliService\""), std::string::npos);

    const Result set = orvane(L"services set QoCliService disabled --json");
    EXPECT_EQ(set.exitCode, 0u) << set.out << set.err;
    ASSERT_TRUE(set.json) << set.out;
    EXPECT_EQ(TextOf(set.json.get(), "before"), "manual");
    EXPECT_EQ(TextOf(set.json.get(), "startType"), "disabled");
    EXPECT_EQ(services.StartType(L"QoCliService"), static_cast<int>(SERVICE_DISABLED));
    // The record the window's service log restores from, in the machine store.
    const testsupport::SqlRows rows = testsupport::RunSql(
        testsupport::StoreDatabase(db::Store::Machine),
        "select oldStatus, newStatus from tbl_serversOperation where servrName = 'QoCliService'");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"3", "4"}));

    EXPECT_EQ(orvane(L"services set QoCliService sometimes").exitCode, 2u);
    EXPECT_EQ(services.StartType(L"QoCliService"), static_cast<int>(SERVICE_DISABLED));

    // A driver is refused with its reason: not permitted, nothing changed or
    // recorded.
    services.Create({L"QoCliDriver", L"Qo command line driver", L"C:\\windows\\system32\\drivers\\qocli.sys",
                     SERVICE_BOOT_START, L"", SERVICE_KERNEL_DRIVER});
    const Result driver = orvane(L"services set QoCliDriver disabled");
    EXPECT_EQ(driver.exitCode, 4u);
    EXPECT_EQ(driver.err, "orvane: QoCliDriver: This is a driver: only services are changed.\r\n");
    EXPECT_EQ(services.StartType(L"QoCliDriver"), static_cast<int>(SERVICE_BOOT_START));
    EXPECT_TRUE(testsupport::RunSql(testsupport::StoreDatabase(db::Store::Machine),
                                    "select id from tbl_serversOperation where servrName = 'QoCliDriver'")
                    .empty());
}

std::string ChangeId(const Result& list, const char* kind) {
    for (const cJSON* change = Item(list.json.get(), "changes") ? Item(list.json.get(), "changes")->child : nullptr;
         change; change = change->next)
        if (TextOf(change, "kind") == kind) return TextOf(change, "id");
    return {};
}

// A registry clean, a service change and a startup switch, each undone
// once; a second restore of any kind answers alike (already restored, exit
// 1) and changes nothing the user did since.
TEST(Orvane, UndoRestoresEachKindOnceAndAnswersARepeatAlike) {
    CreateUserKey(L"Software\\QoCliUndone");
    testsupport::TestServices services;
    services.Create(
        {L"QoCliUndoService", L"Qo undo service", L"C:\\windows\\system32\\notepad.exe", SERVICE_DEMAND_START, L""});
    testsupport::ScopedUserValue value{kRun, L"QoCliUndoTool"};
    // Where switches leave an approval value, it goes again at the end.
    const testsupport::ScopedUserValue approval{
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run", L"QoCliUndoTool"};
    value.Set(L"\"C:\\windows\\system32\\notepad.exe\" /undo");
    const Orvane orvane;
    ASSERT_EQ(orvane(L"clean registry.software").exitCode, 0u);
    ASSERT_EQ(orvane(L"services set QoCliUndoService disabled").exitCode, 0u);
    const int number = StartupEntry(orvane, "QoCliUndoTool").first;
    ASSERT_GT(number, 0);
    ASSERT_EQ(orvane(L"startup disable " + std::to_wstring(number)).exitCode, 0u);
    const auto keyThere = [] { return UserKeyExists(L"Software\\QoCliUndone"); };
    ASSERT_FALSE(keyThere());

    const Result list = orvane(L"undo list --json");
    ASSERT_EQ(list.exitCode, 0u) << list.err;
    // Each kind: what shows it back, and what the user then does.
    struct Case {
        const char* kind;
        std::function<bool()> back;
        std::function<void()> userChange;
        std::function<bool()> userChangeKept;
    };
    const Case cases[] = {
        {"registry", keyThere, [] { RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QoCliUndone"); },
         [&] { return !keyThere(); }},
        {"service", [&] { return services.StartType(L"QoCliUndoService") == SERVICE_DEMAND_START; },
         [&] { services.SetStartType(L"QoCliUndoService", SERVICE_AUTO_START); },
         [&] { return services.StartType(L"QoCliUndoService") == SERVICE_AUTO_START; }},
        {"startup-off", [&] { return StartupEntry(orvane, "QoCliUndoTool").second; },
         [&] { ASSERT_EQ(orvane(L"startup disable " + std::to_wstring(number)).exitCode, 0u); },
         [&] { return !StartupEntry(orvane, "QoCliUndoTool").second; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const std::string id = ChangeId(list, c.kind);
        ASSERT_FALSE(id.empty()) << list.out;
        const Result restored = orvane(L"undo restore " + engine::WideFromUtf8(id) + L" --json");
        EXPECT_EQ(restored.exitCode, 0u) << restored.out << restored.err;
        EXPECT_EQ(TextOf(restored.json.get(), "status"), "restored");
        EXPECT_TRUE(c.back());
        c.userChange();

        const Result twice = orvane(L"undo restore " + engine::WideFromUtf8(id));
        EXPECT_EQ(twice.exitCode, 1u);
        EXPECT_EQ(LastLine(twice.out), "undo " + id + ": already restored, 0 entries back") << twice.out;
        EXPECT_TRUE(c.userChangeKept());
    }
    EXPECT_EQ(orvane(L"undo restore registry-999").exitCode, 2u);
    EXPECT_EQ(orvane(L"undo restore service-999").exitCode, 2u);
}

// The database is damaged past reading (its header overwritten) after a file
// was kept: the keep list is lost with it. "clean" is refused, with the
// reason, and the kept file stays, until the user has kept again what must
// stay and confirmed; then cleaning goes on, and the file still stays.
TEST(Orvane, AKeepListLostWithTheDatabaseRefusesCleaningUntilConfirmed) {
    const SeededTemp temp;
    const Orvane orvane;
    const std::wstring kept = L"keep add \"" + temp.Folder() / L"old.tmp" + L"\"";
    ASSERT_EQ(orvane(kept).exitCode, 0u);
    // A file of the account's own profile is kept in the account's store.
    const std::wstring database = testsupport::StoreDatabase(db::Store::User);
    std::string bytes = testsupport::ReadFile(database);
    bytes.replace(0, 100, 100, 'x');
    testsupport::WriteFile(database, bytes);

    // A start that ends the hard way with the fresh database made but not yet
    // in place leaves the damaged one where it was: nothing forgets the loss.
    EXPECT_EQ(orvane.Run(orvane.Program(), L"clean junk.temp", "database.recovered").exitCode,
              common::kCrashExitCode);
    EXPECT_EQ(testsupport::ReadFile(database), bytes);
    EXPECT_TRUE(Exists(temp.Folder() / L"sub\\left.log"));

    const Result refused = orvane(L"clean --json junk.temp");
    EXPECT_EQ(refused.exitCode, 4u) << refused.out;
    // What the start recovered, told once.
    EXPECT_NE(refused.err.find("could not be read; it was set aside as"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("kept items 0 (not all could be read)"), std::string::npos) << refused.err;
    EXPECT_NE(TextOf(refused.json.get(), "error").find("the keep list was lost with the damaged database"),
              std::string::npos)
        << refused.out;
    const Result again = orvane(L"clean junk.temp");
    EXPECT_EQ(again.exitCode, 4u);
    EXPECT_EQ(again.err.find("could not be read; it was set aside as"), std::string::npos) << again.err;
    EXPECT_NE(again.err.find("orvane keep confirm"), std::string::npos) << again.err;
    EXPECT_TRUE(Exists(temp.Folder() / L"old.tmp"));
    EXPECT_TRUE(Exists(temp.Folder() / L"sub\\left.log"));

    EXPECT_EQ(orvane(kept).exitCode, 0u);
    const Result confirmed = orvane(L"keep confirm --json");
    EXPECT_EQ(confirmed.exitCode, 0u) << confirmed.err;
    EXPECT_EQ(TextOf(confirmed.json.get(), "status"), "confirmed");
    EXPECT_EQ(TextOf(orvane(L"keep confirm --json").json.get(), "status"), "nothing to confirm");
    const Result clean = orvane(L"clean junk.temp");
    EXPECT_EQ(clean.exitCode, 0u) << clean.err;
    EXPECT_TRUE(Exists(temp.Folder() / L"old.tmp"));
    EXPECT_FALSE(Exists(temp.Folder() / L"sub\\left.log"));
}

// The database fails its check, but the keep list's rows still read: they are
// copied into the fresh database and the kept file survives the clean.
TEST(Orvane, AKeptFileSurvivesADamagedDatabaseWhoseKeepListStillReads) {
    const SeededTemp temp;
    const Orvane orvane;
    ASSERT_EQ(orvane(L"keep add \"" + temp.Folder() / L"old.tmp" + L"\"").exitCode, 0u);
    const std::wstring database = testsupport::StoreDatabase(db::Store::User);
    testsupport::RunSql(database, "create table filler (x text); insert into filler values (hex(randomblob(1000)));");
    testsupport::OverwritePage(database, testsupport::RootPage(database, "filler"));

    const Result clean = orvane(L"clean junk.temp");
    EXPECT_EQ(clean.exitCode, 0u) << clean.err;
    EXPECT_NE(clean.err.find("kept items 1,"), std::string::npos) << clean.err;
    EXPECT_TRUE(Exists(temp.Folder() / L"old.tmp"));
    EXPECT_FALSE(Exists(temp.Folder() / L"sub\\left.log"));
}

// The window cleans (here, on this thread, with orvane's stores) while
// something happens between its first and second deletion: a keep made by
// orvane counts from the next file on; a keep list that can no longer be
// read stops the clean, which is then not reported as done.
class CleanMeanwhile : public junktest::JunkListsTest {
protected:
    void TearDown() override {
        for (const db::Store store : db::kStores) db::Database(store).Close();
        JunkListsTest::TearDown();
    }
};

TEST_F(CleanMeanwhile, WhatHappensBetweenTwoDeletionsCountsFromTheNextOne) {
    const Orvane orvane;
    testsupport::TempDir temp;
    Result keep;
    const struct {
        const char* what;
        std::function<void(const std::wstring& folder)> between;
        core::KeepRefusal refusal;
        std::size_t listLeft;
    } cases[] = {
        {"kept by orvane", [&](const std::wstring& folder) { keep = orvane(L"keep add \"" + folder + L"\""); },
         core::KeepRefusal::None, 0},
        {"the database gone", [](const std::wstring&) { db::Database(db::Store::User).Close(); },
         core::KeepRefusal::Unreadable, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring folder = temp / engine::WideFromUtf8(c.what);
        for (const wchar_t* name : {L"a.tmp", L"b.tmp", L"c.tmp"}) junktest::MakeFile(folder + L"\\" + name, 10);
        const junktest::ScopedUserTemp setting(folder);
        // The category's other folder (SYSTEMROOT\temp), empty.
        const junktest::ScopedVariable systemRoot(L"SYSTEMROOT", temp / L"windows");
        ASSERT_TRUE(testsupport::OpenPrefixStores(common::TokenAccountSid()));
        ASSERT_EQ(core::DeletionRefusal(), core::KeepRefusal::None);
        junk::ScanJunkCategory(0, junk::SystemSources());
        ASSERT_EQ(junk::JunkList(0).Count(), 3u);
        int checks = 0;
        core::SetDeletionCheckHook([&] {
            if (++checks == 2) c.between(folder);
        });
        junk::CleanRun run;
        {
            const core::TaskScope task;
            junk::CleanJunkCategory(0, run);
        }
        core::SetDeletionCheckHook({});
        int left = 0;
        for (const wchar_t* name : {L"a.tmp", L"b.tmp", L"c.tmp"}) left += Exists(folder + L"\\" + name) ? 1 : 0;
        EXPECT_EQ(left, 2);
        EXPECT_EQ(core::KeepRefusalNow(), c.refusal);
        EXPECT_EQ(junk::JunkList(0).Count(), c.listLeft);
        junk::JunkList(0).Clear();
    }
    EXPECT_EQ(keep.exitCode, 0u) << keep.err;
}

// The window and the command line never work at once: whoever holds the
// operation lock makes the other busy.
TEST(Orvane, BusyWhileAnotherHoldsTheOperationLock) {
    const SeededTemp temp;
    const Orvane orvane;
    {
        core::OperationLock held;
        ASSERT_TRUE(held.Take(0));
        const Result run = orvane(L"clean junk.temp");
        EXPECT_EQ(run.exitCode, 3u);
        EXPECT_NE(run.err.find("busy"), std::string::npos);
        EXPECT_TRUE(Exists(temp.Folder() / L"old.tmp"));
        // Listing changes nothing and is never busy.
        EXPECT_EQ(orvane(L"list").exitCode, 0u);
        // The window's tasks are refused the same way.
        EXPECT_EQ(core::StartTask(core::Task::SystemDiskScan, {}, [] {}), static_cast<int>(core::kHeldByCommandLine));
        held.Release();
    }
    EXPECT_EQ(orvane(L"scan junk.temp").exitCode, 0u);
}

// An orvane without elevation may not open the machine's lock and never
// tries: it works under its account's own lock, whoever holds the machine's.
TEST(Orvane, WithoutElevationItTakesItsAccountsLockNeverTheMachines) {
    const common::UniqueKernelHandle token = testsupport::UnelevatedToken();
    if (!token) GTEST_SKIP() << "no token without elevation to run orvane.exe with";
    const SeededTemp temp;
    const Orvane orvane;
    core::OperationLock machine;
    ASSERT_TRUE(machine.Take(0));
    const Result run = orvane(L"scan junk.temp", token.get());
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    // While it runs under its account's lock, another of its kind is busy.
    core::OperationLock account(core::LockScope::Account);
    ASSERT_TRUE(account.Take(0));
    const Result busy = orvane(L"scan junk.temp", token.get());
    EXPECT_EQ(busy.exitCode, 3u);
    EXPECT_NE(busy.err.find("busy"), std::string::npos);
    account.Release();
    machine.Release();
    // The machine's lock stayed this process's own meanwhile.
    EXPECT_TRUE(machine.Take(0));
}

// An earlier version's install: the first start as an administrator copies
// every row into its store, keeps the old file renamed and config.ini copied,
// and a registry clean it made can be undone; the next start finds nothing
// to do and changes nothing.
TEST(Orvane, TheFirstStartMovesAnEarlierInstallIntoTheStores) {
    testsupport::RemoveStoreFolders();
    const testsupport::ScopedUserValue cleaned(testsupport::kCleanedKey, testsupport::kCleanedValue);
    const Orvane orvane;
    testsupport::MakeEarlierInstall(orvane.Folder().Path());

    const Result first = orvane(L"undo list --json");
    ASSERT_EQ(first.exitCode, 0u) << first.out << first.err;
    EXPECT_NE(first.err.find("copied into the stores"), std::string::npos) << first.err;
    EXPECT_EQ(testsupport::ChangesByKind(first), testsupport::kEarlierChanges) << first.out;
    const std::vector<std::wstring> files = testsupport::FilesIn(orvane.Folder().Path());
    EXPECT_EQ(testsupport::MigratedDatabases(files), 1u);
    EXPECT_EQ(std::count(files.begin(), files.end(), L"mydatabase.db"), 0);
    EXPECT_TRUE(Exists(orvane.Folder() / L"Backups\\old.reg"));
    EXPECT_EQ(testsupport::ReadFile(testsupport::UserStorePath() + L"\\config.ini"), testsupport::kConfig);
    const Result keep = orvane(L"keep list --json");
    EXPECT_NE(keep.out.find("junk.temp"), std::string::npos) << keep.out;

    // A second start: nothing to do, nothing changed.
    const Result second = orvane(L"undo list --json");
    EXPECT_EQ(second.exitCode, 0u);
    EXPECT_EQ(second.err, "");
    // The same changes (the frame's times are each run's own).
    ASSERT_TRUE(first.json && second.json) << second.out;
    EXPECT_EQ(engine::PrintJson(*Item(second.json.get(), "changes")), engine::PrintJson(*Item(first.json.get(), "changes")));
    EXPECT_EQ(testsupport::FilesIn(orvane.Folder().Path()), files);

    // The earlier version's registry clean gives back what it removed.
    std::string clean;
    const cJSON* changes = testsupport::JsonItem(first.json.get(), "changes");
    for (const cJSON* change = changes ? changes->child : nullptr; change; change = change->next)
        if (testsupport::JsonText(change, "id").starts_with("registry-")) clean = testsupport::JsonText(change, "id");
    const Result restored = orvane(L"undo restore " + engine::WideFromUtf8(clean) + L" --json");
    EXPECT_EQ(restored.exitCode, 0u) << restored.out << restored.err;
    EXPECT_EQ(testsupport::JsonText(restored.json.get(), "status"), "restored") << restored.out;
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, testsupport::kCleanedKey, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(key, testsupport::kCleanedValue, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
}

// A standard user's orvane may not rename anything beside the program: it
// moves nothing, reads nothing from there, and says so.
TEST(Orvane, WithoutElevationAnEarlierInstallIsLeftAsItIsAndNamed) {
    const common::UniqueKernelHandle token = testsupport::UnelevatedToken();
    if (!token) GTEST_SKIP() << "no token without elevation to run orvane.exe with";
    testsupport::RemoveStoreFolders();
    const testsupport::ScopedUserValue cleaned(testsupport::kCleanedKey, testsupport::kCleanedValue);
    const Orvane orvane;
    testsupport::MakeEarlierInstall(orvane.Folder().Path());
    const std::string before = testsupport::ReadFile(orvane.Folder() / L"mydatabase.db");
    const Result list = orvane(L"undo list --json", token.get());
    EXPECT_EQ(list.exitCode, 0u) << list.err;
    EXPECT_EQ(testsupport::ChangesByKind(list), (std::map<std::string, int>{})) << list.out;
    EXPECT_NE(list.err.find("an earlier version's database lies beside the program"), std::string::npos) << list.err;
    EXPECT_EQ(testsupport::ReadFile(orvane.Folder() / L"mydatabase.db"), before);
    EXPECT_FALSE(Exists(testsupport::UserStorePath() + L"\\config.ini"));
}


// Rows of `table` in the database of `store`, each its `column`; none when
// the store holds no database.
std::vector<std::string> StoreColumn(db::Store store, const char* table, const char* column) {
    const std::wstring file = testsupport::StoreDatabase(store);
    std::vector<std::string> values;
    if (!Exists(file)) return values;
    for (const auto& row : testsupport::RunSql(file, (std::string("select ") + column + " from " + table).c_str()))
        values.push_back(row.at(0));
    return values;
}

// Who makes the changes: orvane run elevated or as a standard user, or the
// window in this process, as its account or as SYSTEM. Wine cannot run a
// process as SYSTEM: the window's databases opened for SYSTEM's SID stand
// for it, which is what every row the program writes takes its account from.
enum class Runner { OrvaneElevated, OrvaneStandard, Window, WindowAsSystem };

// The window's databases in the prefix's stores, opened for `account`.
void OpenStoresFor(const std::wstring& account) {
    ASSERT_TRUE(testsupport::OpenPrefixStores(account));
    ASSERT_TRUE(core::RefreshKeptItems());
}

// One change of each kind, by each runner: the store its row lands in, the
// account it names, the exit code. A standard user's orvane changes its own
// entries and files through its own store and is refused (4, with the
// reason) anything machine-wide, which then leaves no row anywhere.
TEST(Orvane, EachChangeLandsInItsStoreNamingItsAccount) {
    const common::UniqueKernelHandle standard = testsupport::UnelevatedToken();
    const std::wstring self = common::TokenAccountSid();
    testsupport::TestServices services;
    services.Create({L"QoStoreService", L"Qo store service", L"C:\\windows\\system32\\notepad.exe",
                     SERVICE_DEMAND_START, L""});
    testsupport::ScopedUserValue value{kRun, L"QoTestStoreTool"};
    const testsupport::ScopedUserValue approval{
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run", L"QoTestStoreTool"};
    const TempDir ownFolder;  // in the account's profile
    const std::wstring ownItem = ownFolder / L"own.txt";
    const std::wstring machineItem = L"C:\\QoStoreMachine\\kept.txt";

    enum class Lands { User, Machine, Nowhere };
    struct Act {
        const char* what;
        const char* table;
        const char* column;  // what names the row: its account, or the kept item
        std::function<void()> prepare;
        std::function<std::wstring(const Orvane&)> arguments;
        std::function<bool()> window;
        Lands elevated;
        Lands standard;
    };
    const int generation = common::GetWindowsGeneration();
    const auto switchOff = [generation] {
        startup::EnumerateStartupItems(generation);
        const int index = testsupport::IndexOf(L"QoTestStoreTool");
        return index >= 0 && startup::SetStartupItemState(index, true, generation);
    };
    const Act acts[] = {
        {"registry clean of HKCU", "tbl_registryclean", "account",
         [] { CreateUserKey(L"Software\\QoStoreEmpty"); }, [](const Orvane&) { return L"clean registry.software"; },
         [] {
             registry::RegistryIssueList& list = registry::RegistryIssueLists()[2];
             list.clear();
             registry::ScanRegistryCategory(2, list);
             junk::CleanRun run;
             const core::TaskScope task;
             return registry::RegistryRows().Clean(2, run).reported;
         },
         Lands::User, Lands::User},
        {"startup switch of HKCU Run", "tbl_startupswitch", "account",
         [&] {
             // On again for each runner: no approval value says it is off.
             value.Set(L"\"C:\\windows\\system32\\notepad.exe\" /store");
             approval.Remove();
         },
         [](const Orvane& orvane) {
             return L"startup disable " + std::to_wstring(StartupEntry(orvane, "QoTestStoreTool").first);
         },
         switchOff, Lands::User, Lands::User},
        {"keep add in the profile", "tbl_keeplist", "item", [] {},
         [&](const Orvane&) { return L"keep add \"" + ownItem + L"\""; },
         [&] { return core::KeepItem(ownItem) == core::KeepResult::Done; }, Lands::User, Lands::User},
        {"keep add elsewhere", "tbl_keeplist", "item", [] {},
         [&](const Orvane&) { return L"keep add \"" + machineItem + L"\""; },
         [&] { return core::KeepItem(machineItem) == core::KeepResult::Done; }, Lands::Machine, Lands::Nowhere},
        {"service change", "tbl_serversOperation", "account",
         [&] { services.SetStartType(L"QoStoreService", SERVICE_DEMAND_START); },
         [](const Orvane&) { return L"services set QoStoreService disabled"; },
         [] {
             return services::ChangeStartTypeLogged(L"QoStoreService", SERVICE_DISABLED) ==
                    services::ChangeOutcome::Changed;
         },
         Lands::Machine, Lands::Nowhere},
    };
    for (const Runner runner : {Runner::OrvaneElevated, Runner::OrvaneStandard, Runner::Window, Runner::WindowAsSystem}) {
        if (runner == Runner::OrvaneStandard && !standard) {
            ADD_FAILURE() << "no token without elevation to run orvane.exe with";
            continue;
        }
        const std::wstring account = runner == Runner::WindowAsSystem ? L"S-1-5-18" : self;
        for (const Act& act : acts) {
            SCOPED_TRACE(testing::Message() << "runner " << static_cast<int>(runner) << ", " << act.what);
            for (const db::Store store : db::kStores) db::Database(store).Close();
            const Orvane orvane;  // the stores afresh
            act.prepare();
            const Lands lands = runner == Runner::OrvaneStandard ? act.standard : act.elevated;
            if (runner == Runner::OrvaneElevated || runner == Runner::OrvaneStandard) {
                const Result run =
                    orvane(act.arguments(orvane), runner == Runner::OrvaneStandard ? standard.get() : nullptr);
                EXPECT_EQ(run.exitCode, lands == Lands::Nowhere ? 4u : 0u) << run.out << run.err;
                if (lands == Lands::Nowhere) {
                    EXPECT_NE(run.err.find("administrator"), std::string::npos) << run.err;
                }
            } else {
                OpenStoresFor(account);
                EXPECT_TRUE(act.window());
                for (const db::Store store : db::kStores) db::Database(store).Close();
            }
            const std::string named = std::string(act.column) == "account"
                                          ? engine::Utf8FromWide(account)
                                          : engine::Utf8FromWide(lands == Lands::Machine ? machineItem : ownItem);
            const auto expected = [&](Lands store) {
                return lands == store ? std::vector<std::string>{named} : std::vector<std::string>{};
            };
            EXPECT_EQ(StoreColumn(db::Store::User, act.table, act.column), expected(Lands::User));
            EXPECT_EQ(StoreColumn(db::Store::Machine, act.table, act.column), expected(Lands::Machine));
        }
    }
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QoStoreEmpty");
}

// Changes SYSTEM made (through the window's databases opened for its SID)
// are not another account's to undo: the window and orvane both refuse, and
// nothing comes back. A change whose backup was moved out of the store's
// Backups folder is refused too.
TEST(Orvane, AnotherAccountsChangeAndAForeignBackupAreNotRestored) {
    testsupport::TestServices services;
    services.Create({L"QoForeignService", L"Qo foreign service", L"C:\\windows\\system32\\notepad.exe",
                     SERVICE_DEMAND_START, L""});
    CreateUserKey(L"Software\\QoForeignEmpty");
    const Orvane orvane;
    OpenStoresFor(L"S-1-5-18");
    {
        registry::RegistryIssueList& list = registry::RegistryIssueLists()[2];
        list = {registry::KeyIssue(0x80000001, L"Software\\", L"QoForeignEmpty")};
        junk::CleanRun run;
        const core::TaskScope task;
        ASSERT_TRUE(registry::RegistryRows().Clean(2, run).reported);
    }
    ASSERT_EQ(services::ChangeStartTypeLogged(L"QoForeignService", SERVICE_DISABLED), services::ChangeOutcome::Changed);
    const auto keyThere = [] { return UserKeyExists(L"Software\\QoForeignEmpty"); };
    ASSERT_FALSE(keyThere());
    OpenStoresFor(common::TokenAccountSid());
    for (const char* id : {"registry-u1", "service-1"}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(suite::RestoreChange(id).status, suite::RestoreStatus::OtherAccount);
        const Result run = orvane(L"undo restore " + engine::WideFromUtf8(id));
        EXPECT_EQ(run.exitCode, 4u) << run.out << run.err;
        EXPECT_EQ(run.err, "orvane: undo " + std::string(id) +
                               ": this change was made by another account, and only it may undo it\r\n");
    }
    EXPECT_FALSE(keyThere());
    EXPECT_EQ(services.StartType(L"QoForeignService"), static_cast<int>(SERVICE_DISABLED));

    // The row made the account's own, its backup copied out of the Backups
    // folder and the row pointed there: read from nowhere but that folder.
    std::vector<db::RegistryCleanRow> cleans;
    ASSERT_TRUE(db::Database(db::Store::User).ReadRegistryCleans(cleans));
    ASSERT_EQ(cleans.size(), 1u);
    const TempDir elsewhere;
    const std::wstring copy = elsewhere / L"moved.reg";
    ASSERT_TRUE(CopyFileW(cleans[0].backup.c_str(), copy.c_str(), FALSE));
    const std::string sql = "update tbl_registryclean set account='" + engine::Utf8FromWide(common::TokenAccountSid()) +
                            "', backup='" + engine::Utf8FromWide(copy) + "'";
    testsupport::RunSql(testsupport::StoreDatabase(db::Store::User), sql.c_str());
    EXPECT_EQ(suite::RestoreChange("registry-u1").status, suite::RestoreStatus::BackupRefused);
    EXPECT_EQ(orvane(L"undo restore registry-u1").exitCode, 4u);
    EXPECT_FALSE(keyThere());
    // In its place again, it is the account's own to restore.
    testsupport::RunSql(testsupport::StoreDatabase(db::Store::User),
                        ("update tbl_registryclean set backup='" + engine::Utf8FromWide(cleans[0].backup) + "'").c_str());
    const Result restored = orvane(L"undo restore registry-u1");
    EXPECT_EQ(restored.exitCode, 0u) << restored.out << restored.err;
    EXPECT_TRUE(keyThere());
    for (const db::Store store : db::kStores) db::Database(store).Close();
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QoForeignEmpty");
}

// Standard output holds exactly one JSON document: nothing before or after.
engine::Json OneDocument(const std::string& out) {
    std::string text = out;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const char* end = nullptr;
    engine::Json document(cJSON_ParseWithOpts(text.c_str(), &end, true));
    return document;
}

// Whatever ends a run with --json, a collector reads one document with the
// frame, and its exitCode is the process's.
TEST(Orvane, EveryEndWithJsonIsOneFramedDocumentWithTheExitCode) {
    const SeededTemp temp;
    const Orvane orvane;
    const common::UniqueKernelHandle standard = testsupport::UnelevatedToken();
    struct Case {
        const char* what;
        std::wstring arguments;
        std::function<Result()> run;
        DWORD exitCode;
    };
    core::OperationLock held;
    const Case cases[] = {
        {"usage error", L"clean --json", nullptr, 2},
        {"unknown id", L"clean junk.nothing --JSON", nullptr, 2},
        {"unknown verb", L"sweep --json", nullptr, 2},
        {"busy", L"clean junk.temp --json",
         [&] {
             EXPECT_TRUE(held.Take(0));
             Result run = orvane(L"clean junk.temp --json");
             held.Release();
             return run;
         },
         3},
        {"not permitted", L"clean junk.prefetch --json",
         [&] {
             if (!standard) return Result{};
             return orvane(L"clean junk.prefetch --json", standard.get());
         },
         4},
        {"exception", L"scan junk.temp --json",
         [&] { return orvane.Run(orvane.Program(), L"scan junk.temp --json", "throw:orvane-run"); }, 1},
        {"done", L"version --json", nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.exitCode == 4 && !standard) {
            ADD_FAILURE() << "no token without elevation: the not-permitted row cannot run";
            continue;
        }
        const Result run = c.run ? c.run() : orvane(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
        const engine::Json document = OneDocument(run.out);
        ASSERT_TRUE(document) << run.out;
        const cJSON* root = document.get();
        EXPECT_EQ(NumberOf(root, "schemaVersion"), 1);
        EXPECT_FALSE(TextOf(root, "version").empty());
        EXPECT_FALSE(TextOf(root, "computer").empty());
        EXPECT_EQ(TextOf(Item(root, "account"), "sid").rfind("S-1-", 0), 0u) << run.out;
        EXPECT_TRUE(cJSON_IsBool(Item(root, "elevated")));
        EXPECT_EQ(TextOf(root, "startedUtc").back(), 'Z');
        EXPECT_EQ(TextOf(root, "endedUtc").back(), 'Z');
        EXPECT_EQ(NumberOf(root, "exitCode"), static_cast<double>(run.exitCode));
        EXPECT_STREQ(cJSON_GetArrayItem(root, cJSON_GetArraySize(root) - 1)->string, "exitCode");
        if (run.exitCode != 0) {
            EXPECT_FALSE(TextOf(root, "error").empty()) << run.out;
        }
    }
    EXPECT_TRUE(Exists(temp.Folder() / L"old.tmp"));
}

// A clean's categories have the same keys whatever came of them.
TEST(Orvane, EveryCategoryOfACleanHasTheSameKeys) {
    const common::UniqueKernelHandle standard = testsupport::UnelevatedToken();
    if (!standard) GTEST_SKIP() << "no token without elevation to refuse a machine-wide category";
    const SeededTemp temp;
    const Orvane orvane;
    const Result run = orvane(L"clean junk.temp junk.prefetch --json", standard.get());
    EXPECT_EQ(run.exitCode, 1u) << run.out << run.err;
    const cJSON* cleaned = CategoryOf(run, "junk.temp");
    const cJSON* refused = CategoryOf(run, "junk.prefetch");
    ASSERT_TRUE(cleaned && refused) << run.out;
    EXPECT_TRUE(cJSON_IsNull(Item(cleaned, "refusal")));
    EXPECT_FALSE(TextOf(refused, "refusal").empty());
    std::vector<std::string> keys, refusedKeys;
    for (const cJSON* member = cleaned->child; member; member = member->next) keys.push_back(member->string);
    for (const cJSON* member = refused->child; member; member = member->next) refusedKeys.push_back(member->string);
    EXPECT_EQ(keys, refusedKeys);
}

// The forms of the platform, run as a script runs them.
TEST(Orvane, HelpAndVersionFormsAnswerOnStandardOutput) {
    const SeededTemp temp;
    const Orvane orvane;
    struct Case {
        const wchar_t* arguments;
        const char* shows;
    };
    const Case cases[] = {
        {L"-?", "Exit codes"},          {L"/?", "Exit codes"},       {L"-h", "keep add"},
        {L"--HELP", "keep add"},        {L"help scan", "--min-bytes"}, {L"SCAN --help", "--min-bytes"},
        {L"--version", "orvane 1."},    {L"Version", "orvane 1."},
    };
    for (const Case& c : cases) {
        const Result run = orvane(c.arguments);
        EXPECT_EQ(run.exitCode, 0u) << engine::Utf8FromWide(c.arguments) << run.err;
        EXPECT_NE(run.out.find(c.shows), std::string::npos) << engine::Utf8FromWide(c.arguments) << run.out;
    }
    const Result version = orvane(L"version --json");
    EXPECT_EQ(TextOf(version.json.get(), "version").rfind("1.", 0), 0u) << version.out;
    // Letter case does not matter for verbs, ids and options.
    const Result scan = orvane(L"SCAN JUNK.TEMP --Json --Min-Bytes 1");
    EXPECT_EQ(scan.exitCode, 1u) << scan.out << scan.err;  // more than 1 byte found
    EXPECT_TRUE(CategoryOf(scan, "junk.temp")) << scan.out;
    EXPECT_EQ(orvane(L"scan junk.temp --min-bytes 1000000000").exitCode, 0u);
}

// With --wait, a run waits for the lock's holder to let go instead of
// answering busy. The holder lets go once the run says it waits.
TEST(Orvane, WaitTakesTheLockWhenItsHolderLetsGo) {
    const SeededTemp temp;
    const Orvane orvane;
    core::OperationLock held;
    ASSERT_TRUE(held.Take(0));
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    ASSERT_TRUE(CreatePipe(&outRead, &outWrite, &inherit, 0) && CreatePipe(&errRead, &errWrite, &inherit, 0));
    const common::UniqueKernelHandle outReader(outRead), errReader(errRead);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    const common::UniqueKernelHandle child =
        testsupport::StartChild(L"\"" + orvane.Program() + L"\" clean junk.temp --wait 86400 --json",
                                {nullptr, outWrite, errWrite, orvane.Folder().Path(), nullptr, nullptr});
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    ASSERT_TRUE(child);
    std::string err;
    char buffer[512];
    DWORD read = 0;
    while (err.find("waiting") == std::string::npos && ReadFile(errRead, buffer, sizeof buffer, &read, nullptr) && read)
        err.append(buffer, read);
    ASSERT_NE(err.find("waiting"), std::string::npos) << err;
    EXPECT_TRUE(Exists(temp.Folder() / L"old.tmp"));  // nothing done while it waits
    held.Release();
    std::string out;
    while (ReadFile(outRead, buffer, sizeof buffer, &read, nullptr) && read) out.append(buffer, read);
    WaitForSingleObject(child.get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(child.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u) << out;
    EXPECT_FALSE(Exists(temp.Folder() / L"old.tmp"));
}

}  // namespace
