// orvane.exe run as an administrator's script runs it: a copy in its own
// folder, its output read from pipes, against what the test put in the
// prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/operation_lock.h"
#include "app/worker_tasks.h"
#include "common/handles.h"
#include "db/scratch_database.h"
#include "engine/wire_format.h"
#include "services/test_services.h"
#include "support/child_process.h"
#include "support/junk_fixtures.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"

namespace {

using testsupport::Exists;
using testsupport::TempDir;

struct Result {
    DWORD exitCode = 0;
    std::string out;
    std::string err;
    engine::Json json;  // stdout parsed, when it is JSON
};

std::string ReadAll(HANDLE pipe) {
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) && read) text.append(buffer, read);
    return text;
}

// orvane.exe, copied into a folder of its own: its database, log and
// backups are made beside it.
class Orvane {
public:
    Orvane() {
        if (!CopyFileW(testsupport::Environment(L"QO_ORVANE").c_str(), Program().c_str(), FALSE))
            throw std::runtime_error("cannot copy orvane.exe");
    }

    std::wstring Program() const { return folder_ / L"orvane.exe"; }
    const TempDir& Folder() const { return folder_; }

    // Run with `token` when given (another elevation), else with the test's own.
    Result operator()(const std::wstring& arguments, HANDLE token = nullptr) const {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
        if (!CreatePipe(&outRead, &outWrite, &inherit, 0) || !CreatePipe(&errRead, &errWrite, &inherit, 0))
            throw std::runtime_error("no pipe");
        const common::UniqueKernelHandle outReader(outRead), errReader(errRead);
        SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
        const common::UniqueKernelHandle child =
            testsupport::StartChild(L"\"" + Program() + L"\" " + arguments,
                                    {nullptr, outWrite, errWrite, folder_.Path(), token});
        // The child's ends go, so that reading ends when the child does.
        CloseHandle(outWrite);
        CloseHandle(errWrite);
        if (!child) throw std::runtime_error("cannot start orvane.exe");
        Result run;
        std::thread errors([&] { run.err = ReadAll(errRead); });
        run.out = ReadAll(outRead);
        errors.join();
        WaitForSingleObject(child.get(), 60000);
        GetExitCodeProcess(child.get(), &run.exitCode);
        run.json = engine::ParseJson(run.out);
        return run;
    }

private:
    TempDir folder_;
};

const cJSON* Item(const cJSON* object, const char* name) { return cJSON_GetObjectItemCaseSensitive(object, name); }

double NumberOf(const cJSON* object, const char* name) {
    const cJSON* item = Item(object, name);
    return cJSON_IsNumber(item) ? item->valuedouble : -1;
}

std::string TextOf(const cJSON* object, const char* name) {
    const cJSON* item = Item(object, name);
    return cJSON_IsString(item) ? item->valuestring : "";
}

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
    ASSERT_EQ(cJSON_GetArraySize(categories), 20);
    EXPECT_EQ(TextOf(categories->child, "id"), "junk.temp");
    EXPECT_EQ(TextOf(categories->child, "name"), "Temporary Files");
    EXPECT_EQ(NumberOf(run.json.get(), "exitCode"), 0);
    // Without --json, the last line is the summary.
    EXPECT_EQ(LastLine(orvane(L"list").out), "20 categories");
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

// A file in use stays and counts as failed, not removed; the bytes are those
// the clean freed.
TEST(Orvane, AFileInUseCountsAsFailedAndFreesNothing) {
    const SeededTemp temp;
    const Orvane orvane;
    const Result scan = orvane(L"scan --json junk.temp");
    const cJSON* found = CategoryOf(scan, "junk.temp");
    ASSERT_TRUE(found) << scan.out;
    const common::UniqueFile held(CreateFileW((temp.Folder() / L"old.tmp").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    const Result run = orvane(L"clean --json junk.temp");
    EXPECT_EQ(run.exitCode, 1u) << run.out << run.err;
    const cJSON* category = CategoryOf(run, "junk.temp");
    ASSERT_TRUE(category) << run.out;
    EXPECT_EQ(NumberOf(category, "failed"), 1);
    EXPECT_EQ(NumberOf(category, "removed"), NumberOf(found, "count") - 1);
    EXPECT_EQ(NumberOf(category, "bytes"), NumberOf(found, "bytes") - 12);
    EXPECT_EQ(NumberOf(run.json.get(), "bytes"), NumberOf(category, "bytes"));
    EXPECT_TRUE(Exists(temp.Folder() / L"old.tmp"));
    EXPECT_FALSE(Exists(temp.Folder() / L"sub\\left.log"));
}

// The keep list through orvane: stored once whatever the letter case, a
// registry root abbreviation written out, a relative path made absolute; a
// kept file stays through "clean junk.temp" until it is taken off the list.
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
    EXPECT_EQ(engine::WideFromUtf8(kept), temp.Folder() / L"OLD.TMP");
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
    EXPECT_EQ(backup.rfind(orvane.Folder() / L"Backups\\", 0), 0u);
    const std::string saved = testsupport::ReadFile(backup);
    // The file is regedit's UTF-16 text.
    const std::wstring text(reinterpret_cast<const wchar_t*>(saved.data()), saved.size() / sizeof(wchar_t));
    EXPECT_NE(text.find(L"[HKEY_CURRENT_USER\\Software\\QoCliEmptyKey]"), std::wstring::npos);
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\QoCliEmptyKey", 0, KEY_READ, &key), ERROR_SUCCESS);
}

TEST(Orvane, StartupEntriesSwitchOffAndBackExactly) {
    const wchar_t* kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    testsupport::ScopedUserValue value{kRun, L"QoCliTool"};
    value.Set(L"\"C:\\windows\\system32\\notepad.exe\" /quiet");
    const Orvane orvane;
    const Result list = orvane(L"startup list --json");
    ASSERT_EQ(list.exitCode, 0u) << list.err;
    int number = 0;
    for (const cJSON* entry = Item(list.json.get(), "entries")->child; entry; entry = entry->next)
        if (TextOf(entry, "name") == "QoCliTool") number = static_cast<int>(NumberOf(entry, "number"));
    ASSERT_GT(number, 0) << list.out;

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
    // The record the window's service log restores from, beside the program.
    const testsupport::SqlRows rows = testsupport::RunSql(
        orvane.Folder() / L"mydatabase.db",
        "select oldStatus, newStatus from tbl_serversOperation where servrName = 'QoCliService'");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"3", "4"}));

    EXPECT_EQ(orvane(L"services set QoCliService sometimes").exitCode, 2u);
    EXPECT_EQ(services.StartType(L"QoCliService"), static_cast<int>(SERVICE_DISABLED));
}

std::string ChangeId(const Result& list, const char* kind) {
    for (const cJSON* change = Item(list.json.get(), "changes") ? Item(list.json.get(), "changes")->child : nullptr;
         change; change = change->next)
        if (TextOf(change, "kind") == kind) return TextOf(change, "id");
    return {};
}

// A registry clean and a service change, listed newest first and undone
// once each; a second restore is refused and changes nothing.
TEST(Orvane, UndoRestoresARegistryCleanAndAServiceChangeOnce) {
    CreateUserKey(L"Software\\QoCliUndone");
    testsupport::TestServices services;
    services.Create(
        {L"QoCliUndoService", L"Qo undo service", L"C:\\windows\\system32\\notepad.exe", SERVICE_DEMAND_START, L""});
    const Orvane orvane;
    ASSERT_EQ(orvane(L"clean registry.software").exitCode, 0u);
    ASSERT_EQ(orvane(L"services set QoCliUndoService disabled").exitCode, 0u);
    HKEY key = nullptr;
    ASSERT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\QoCliUndone", 0, KEY_READ, &key), ERROR_SUCCESS);

    const Result list = orvane(L"undo list --json");
    ASSERT_EQ(list.exitCode, 0u) << list.err;
    const std::string clean = ChangeId(list, "registry");
    const std::string service = ChangeId(list, "service");
    ASSERT_FALSE(clean.empty()) << list.out;
    ASSERT_FALSE(service.empty()) << list.out;

    const Result restored = orvane(L"undo restore " + engine::WideFromUtf8(clean) + L" --json");
    EXPECT_EQ(restored.exitCode, 0u) << restored.out << restored.err;
    EXPECT_EQ(TextOf(restored.json.get(), "status"), "restored");
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\QoCliUndone", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QoCliUndone");
    const Result twice = orvane(L"undo restore " + engine::WideFromUtf8(clean) + L" --json");
    EXPECT_EQ(twice.exitCode, 1u);
    EXPECT_EQ(TextOf(twice.json.get(), "status"), "already restored");
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\QoCliUndone", 0, KEY_READ, &key), ERROR_SUCCESS);

    EXPECT_EQ(orvane(L"undo restore " + engine::WideFromUtf8(service)).exitCode, 0u);
    EXPECT_EQ(services.StartType(L"QoCliUndoService"), static_cast<int>(SERVICE_DEMAND_START));
    EXPECT_EQ(orvane(L"undo restore " + engine::WideFromUtf8(service)).exitCode, 2u);
    EXPECT_EQ(orvane(L"undo restore registry-999").exitCode, 2u);
}

// The window and the command line never work at once: whoever holds the
// operation lock makes the other busy.
TEST(Orvane, BusyWhileAnotherHoldsTheOperationLock) {
    const SeededTemp temp;
    const Orvane orvane;
    {
        app::OperationLock held;
        ASSERT_TRUE(held.Take(0));
        const Result run = orvane(L"clean junk.temp");
        EXPECT_EQ(run.exitCode, 3u);
        EXPECT_NE(run.err.find("busy"), std::string::npos);
        EXPECT_TRUE(Exists(temp.Folder() / L"old.tmp"));
        // Listing changes nothing and is never busy.
        EXPECT_EQ(orvane(L"list").exitCode, 0u);
        // The window's tasks are refused the same way.
        EXPECT_EQ(app::StartTask(app::Task::SystemDiskScan, {}, [] {}), static_cast<int>(app::kHeldByCommandLine));
        held.Release();
    }
    EXPECT_EQ(orvane(L"scan junk.temp").exitCode, 0u);
}

// The token of this (elevated) process's account without elevation, as a
// standard user's orvane runs: Wine hands it out as the linked token.
common::UniqueKernelHandle UnelevatedToken() {
    common::UniqueKernelHandle own;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, own.put())) return {};
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    if (!GetTokenInformation(own.get(), TokenLinkedToken, &linked, sizeof linked, &size)) return {};
    common::UniqueKernelHandle token(linked.LinkedToken);
    TOKEN_ELEVATION elevation{};
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) ||
        elevation.TokenIsElevated)
        return {};
    return token;
}

// An orvane without elevation may not open the machine's lock and never
// tries: it works under its account's own lock, whoever holds the machine's.
TEST(Orvane, WithoutElevationItTakesItsAccountsLockNeverTheMachines) {
    const common::UniqueKernelHandle token = UnelevatedToken();
    if (!token) GTEST_SKIP() << "no token without elevation to run orvane.exe with";
    const SeededTemp temp;
    const Orvane orvane;
    app::OperationLock machine;
    ASSERT_TRUE(machine.Take(0));
    const Result run = orvane(L"scan junk.temp", token.get());
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    // While it runs under its account's lock, another of its kind is busy.
    app::OperationLock account(app::LockScope::Account);
    ASSERT_TRUE(account.Take(0));
    const Result busy = orvane(L"scan junk.temp", token.get());
    EXPECT_EQ(busy.exitCode, 3u);
    EXPECT_NE(busy.err.find("busy"), std::string::npos);
    account.Release();
    machine.Release();
    // The machine's lock stayed this process's own meanwhile.
    EXPECT_TRUE(machine.Take(0));
}

}  // namespace
