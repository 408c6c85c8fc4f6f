// Each risky act killed the hard way at a chosen point (common::CrashPoint:
// TerminateProcess, as a power cut or a killed process would end it), then
// the program started again from the same folder. What must hold: nothing
// the user had is lost (values compared by type and data, files byte for
// byte), every change that was made is listed for undo, no part file is left
// under a real name, the operation lock is free again, and nothing is
// refused for ever: every change listed can be undone, and the operation and
// its undo can be made again. Every row runs twice.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/crash_point.h"
#include "core/operation_lock.h"
#include "disk/download_folders.h"
#include "services/test_services.h"
#include "startup/startup_sandbox.h"
#include "support/earlier_database.h"
#include "support/fresh_stores.h"
#include "support/scoped_state.h"
#include "support/scratch_program.h"

namespace {

using testsupport::Bytes;
using testsupport::JsonItem;
using testsupport::JsonText;
using testsupport::ProgramRun;
using testsupport::ScratchProgram;

// What the user has, exactly, and how the program lists it: one line each,
// so that a difference shows as text.
using State = std::vector<std::string>;

std::string Hex(const BYTE* data, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) text += {kDigits[data[i] >> 4], kDigits[data[i] & 15]};
    return text;
}

// A value in the 64-bit view: its type and data, or "absent".
std::string ValueLine(HKEY root, const std::wstring& path, const std::wstring& name) {
    HKEY key = nullptr;
    std::string line = engine::Utf8FromWide(name) + ": ";
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return line + "absent";
    DWORD type = 0, size = 0;
    Bytes data;
    LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        data.resize(size);
        status = RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return line + "absent";
    return line + "type " + std::to_string(type) + " data " + Hex(data.data(), size);
}

std::string FileLine(const std::wstring& path) {
    if (!testsupport::Exists(path)) return engine::Utf8FromWide(path) + ": absent";
    const std::string bytes = testsupport::ReadFile(path);
    return engine::Utf8FromWide(path) + ": " + Hex(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
}

// The changes `undo list` names whose ids start with `kind` and that are not
// restored, newest first.
std::vector<std::string> Unrestored(const ScratchProgram& program, const char* kind) {
    const ProgramRun list = program(L"undo list --json");
    EXPECT_EQ(list.exitCode, 0u) << list.out << list.err;
    std::vector<std::string> ids;
    const cJSON* changes = JsonItem(list.json.get(), "changes");
    for (const cJSON* change = changes ? changes->child : nullptr; change; change = change->next)
        if (JsonText(change, "id").starts_with(kind) && !cJSON_IsTrue(JsonItem(change, "restored")))
            ids.push_back(JsonText(change, "id"));
    return ids;
}

// Undoes one change: it must be restored, never refused.
void Undo(const ScratchProgram& program, const std::string& id) {
    const ProgramRun run = program(L"undo restore " + engine::WideFromUtf8(id) + L" --json");
    // 1: restored, with entries that exist again kept as they are.
    EXPECT_LE(run.exitCode, 1u) << id << run.out << run.err;
    EXPECT_EQ(JsonText(run.json.get(), "status"), "restored") << id << run.out << run.err;
}

// What runs an act: orvane, or the helper that runs a Downloads move as
// the window's worker does (support/download_move_main.cpp).
enum class Executable { Orvane, DownloadMove };

struct Command {
    Executable executable;
    std::wstring arguments;
};

// What a row works on, made for the row and removed after it.
class Subject {
public:
    virtual ~Subject() = default;
    // The program's file name: the Windows generation it runs as.
    virtual std::wstring ProgramName() const { return L"orvane.exe"; }
    // How `undo list` names its changes: "registry-", "startup-", ...
    virtual const char* Kind() const = 0;
    // The change it undergoes.
    virtual Command Operation() const = 0;
    virtual State Now(const ScratchProgram& program) const = 0;
    // Now() after the operation made from the start.
    virtual State Changed() const = 0;
    // Folders where the act writes files besides the program's.
    virtual std::vector<std::wstring> Folders() const { return {}; }
    // The arguments with the subject's own marks replaced ("{on}", "{off}":
    // the number of its startup entry that is on or off; "{move}": a
    // Downloads move's target and sources).
    virtual std::wstring Resolve(const ScratchProgram&, const std::wstring& arguments) const { return arguments; }
};

// Entries of the MUI cache whose programs are gone: a registry clean removes
// them. Of every type, so that exactness shows.
class MuiValues final : public Subject {
public:
    MuiValues() {
        for (const Value& value : Values()) {
            HKEY key = nullptr;
            if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key,
                                nullptr) != ERROR_SUCCESS)
                throw std::runtime_error("cannot create the MUI cache key");
            RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                           static_cast<DWORD>(value.data.size()));
            RegCloseKey(key);
        }
    }
    ~MuiValues() override {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return;
        for (const Value& value : Values()) RegDeleteValueW(key, value.name.c_str());
        RegCloseKey(key);
    }
    const char* Kind() const override { return "registry-"; }
    Command Operation() const override { return {Executable::Orvane, L"clean registry.mui_cache"}; }
    State Now(const ScratchProgram&) const override {
        State state;
        for (const Value& value : Values()) state.push_back(ValueLine(HKEY_CURRENT_USER, kKey, value.name));
        return state;
    }
    State Changed() const override {
        State state;
        for (const Value& value : Values()) state.push_back(engine::Utf8FromWide(value.name) + ": absent");
        return state;
    }

private:
    static constexpr wchar_t kKey[] = L"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache";
    struct Value {
        std::wstring name;
        DWORD type;
        Bytes data;
    };
    static std::vector<Value> Values() {
        Bytes expandable = testsupport::TextBytes(L"%windir%\\QoKill\\gone.exe");
        const Bytes tail = testsupport::TextBytes(L"left over");
        expandable.insert(expandable.end(), tail.begin(), tail.end());
        return {
            {L"C:\\QoKill\\gone.exe.FriendlyAppName", REG_SZ, testsupport::TextBytes(L"Gone tool")},
            {L"C:\\QoKill\\gone.exe.ApplicationCompany", REG_EXPAND_SZ, expandable},
            {L"C:\\QoKill\\old.dll.Data", REG_BINARY, {0x00, 0x01, 0xfe, 0xff, 0x0d, 0x0a}},
            {L"C:\\QoKill\\list.exe.Names", REG_MULTI_SZ, testsupport::TextBytes(std::wstring(L"one\0two\0", 8))},
            {L"C:\\QoKill\\count.exe.Runs", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
        };
    }
};

// A startup entry of the user's: a Run value or a Startup-folder shortcut,
// switched by a program that runs as Windows 10 or as Windows 7.
class StartupEntry final : public Subject {
public:
    enum class Where { RunValue, Shortcut };
    StartupEntry(Where where, int generation) : where_(where), generation_(generation) {
        if (generation_ == 7) windows7_.Set(L"win7");
        if (where_ == Where::RunValue) {
            sandbox_.SetValue(HKEY_CURRENT_USER, testsupport::kRunKey, Name(), REG_EXPAND_SZ, RunData());
        } else {
            link_ = sandbox_.MakeShortcut(Folder(), Name(), L"C:\\windows\\system32\\notepad.exe");
            linkBytes_ = FileLine(link_);
        }
    }
    std::wstring ProgramName() const override { return generation_ == 7 ? kWindows7Program : L"orvane.exe"; }
    const char* Kind() const override { return "startup-"; }
    Command Operation() const override { return {Executable::Orvane, L"startup disable {on}"}; }
    std::vector<std::wstring> Folders() const override { return {Folder()}; }

    State Now(const ScratchProgram& program) const override {
        State state{Place()};
        for (const auto& [number, on] : Listed(program)) state.push_back(on ? "listed on" : "listed off");
        const testsupport::SqlRows kept = testsupport::RunSql(
            testsupport::StoreDatabase(db::Store::User),
            ("select count(*) from tbl_startupkept where strName = '" + engine::Utf8FromWide(Name()) + "'").c_str());
        state.push_back("kept rows " + kept.at(0).at(0));
        return state;
    }
    // Windows 10: the approval value says off, the entry stays. Windows 7:
    // the entry is in the program's keeping.
    State Changed() const override {
        const std::string gone = engine::Utf8FromWide(where_ == Where::RunValue ? Name() : link_) + ": absent";
        if (generation_ == 7) return {gone, "listed off", "kept rows 1"};
        return {Original(), "listed off", "kept rows 0"};
    }

    std::wstring Resolve(const ScratchProgram& program, const std::wstring& arguments) const override {
        std::wstring resolved = arguments;
        for (const auto& [number, on] : Listed(program)) {
            const std::wstring mark = on ? L"{on}" : L"{off}";
            if (const std::size_t at = resolved.find(mark); at != std::wstring::npos)
                resolved.replace(at, mark.size(), std::to_wstring(number));
        }
        return resolved;
    }

private:
    static constexpr wchar_t kWindows7Program[] = L"orvane7.exe";

    std::wstring Name() const { return where_ == Where::RunValue ? L"QoKill tool" : L"QoKill tool.lnk"; }
    static std::wstring Folder() { return testsupport::StartupFolder(CSIDL_STARTUP); }
    static Bytes RunData() {
        Bytes data = testsupport::TextBytes(L"\"C:\\windows\\system32\\notepad.exe\" /autostart");
        const Bytes tail = testsupport::TextBytes(L"left over");
        data.insert(data.end(), tail.begin(), tail.end());
        return data;
    }
    std::string Place() const {
        return where_ == Where::RunValue ? ValueLine(HKEY_CURRENT_USER, testsupport::kRunKey, Name()) : FileLine(link_);
    }
    std::string Original() const {
        return where_ == Where::RunValue
                   ? engine::Utf8FromWide(Name()) + ": type " + std::to_string(REG_EXPAND_SZ) + " data " +
                         Hex(RunData().data(), RunData().size())
                   : linkBytes_;
    }
    // The listed entries of its name: their numbers and whether each is on.
    std::vector<std::pair<int, bool>> Listed(const ScratchProgram& program) const {
        const ProgramRun list = program(L"startup list --json");
        EXPECT_EQ(list.exitCode, 0u) << list.err;
        std::vector<std::pair<int, bool>> listed;
        const cJSON* entries = JsonItem(list.json.get(), "entries");
        for (const cJSON* entry = entries ? entries->child : nullptr; entry; entry = entry->next)
            if (JsonText(entry, "name") == engine::Utf8FromWide(Name()))
                listed.emplace_back(static_cast<int>(testsupport::JsonNumber(entry, "number")),
                                    cJSON_IsTrue(JsonItem(entry, "enabled")));
        return listed;
    }

    Where where_;
    int generation_;
    // Wine runs a program under this name as Windows 7.
    testsupport::ScopedUserValue windows7_{
        (std::wstring(L"Software\\Wine\\AppDefaults\\") + kWindows7Program).c_str(), L"Version"};
    testsupport::StartupSandbox sandbox_;
    std::wstring link_;
    std::string linkBytes_;
};

class Service final : public Subject {
public:
    Service() {
        services_.Create({kName, L"Qo kill test service", L"C:\\windows\\system32\\notepad.exe", SERVICE_DEMAND_START,
                          L""});
    }
    const char* Kind() const override { return "service-"; }
    Command Operation() const override {
        return {Executable::Orvane, std::wstring(L"services set ") + kName + L" disabled"};
    }
    State Now(const ScratchProgram&) const override {
        return {"start type " + std::to_string(services_.StartType(kName))};
    }
    State Changed() const override { return {"start type " + std::to_string(SERVICE_DISABLED)}; }

private:
    static constexpr wchar_t kName[] = L"QoKillService";
    testsupport::TestServices services_;
};

// The user's Downloads folder, which the settings name, with a small tree;
// moved by the helper into a new folder. A move leaves the files it moved
// where they went, also when it is undone: each file counts as kept when
// it is whole in the old folder or the new one (both, between copy and
// deletion), and the settings must be exactly what they were.
class Downloads final : public Subject {
public:
    Downloads() {
        shell_.Set(Old());
        third_.Set(Old());
        edge_.Remove();
        testsupport::MakeFolder(Old() + L"\\sub");
        for (const auto& [name, content] : Files()) testsupport::WriteFile(Old() + L"\\" + name, content);
    }
    const char* Kind() const override { return "downloads-"; }
    Command Operation() const override { return {Executable::DownloadMove, L"{move}"}; }
    State Now(const ScratchProgram&) const override { return Look(std::nullopt); }
    State Changed() const override { return Look(New()); }
    std::vector<std::wstring> Folders() const override { return {root_.Path()}; }
    std::wstring Resolve(const ScratchProgram&, const std::wstring& arguments) const override {
        std::wstring resolved = arguments;
        if (const std::size_t at = resolved.find(L"{move}"); at != std::wstring::npos)
            resolved.replace(at, 6, L"\"" + New() + L"\" \"" + Old() + L"\"");
        return resolved;
    }

private:
    std::wstring Old() const { return root_ / L"Downloads"; }
    std::wstring New() const { return root_ / L"Moved"; }
    static std::vector<std::pair<std::wstring, std::string>> Files() {
        return {{L"report.txt", "the user's report"}, {L"sub\\data.bin", std::string("\0\1\2 binary\r\n", 12)}};
    }
    // Each file: whole, or "lost" or "damaged" when no place or one place
    // holds other bytes; then the three settings, as they are now or (with
    // `settingsAt`) as a finished move leaves them.
    State Look(const std::optional<std::wstring>& settingsAt) const {
        State state;
        for (const auto& [name, content] : Files()) {
            int whole = 0, damaged = 0;
            for (const std::wstring& folder : {Old(), New()}) {
                const std::wstring path = folder + L"\\" + name;
                if (!testsupport::Exists(path)) continue;
                (testsupport::ReadFile(path) == content ? whole : damaged) += 1;
            }
            state.push_back(engine::Utf8FromWide(name) + (damaged ? ": damaged" : whole ? ": whole" : ": lost"));
        }
        // A finished move writes the target as REG_SZ, into Edge's setting
        // only when its key exists.
        const Bytes target = settingsAt ? testsupport::TextBytes(*settingsAt) : Bytes();
        const auto setting = [&](const wchar_t* key, const wchar_t* value, bool written) {
            return written ? engine::Utf8FromWide(value) + ": type " + std::to_string(REG_SZ) + " data " +
                                 Hex(target.data(), target.size())
                           : ValueLine(HKEY_CURRENT_USER, key, value);
        };
        HKEY edge = nullptr;
        const bool edgeKey = RegOpenKeyExW(HKEY_CURRENT_USER, disk::kEdgeDownloadKey, 0, KEY_READ, &edge) == ERROR_SUCCESS;
        if (edgeKey) RegCloseKey(edge);
        state.push_back(setting(disk::kShellFoldersKey, disk::kShellDownloadValue, settingsAt.has_value()));
        state.push_back(setting(disk::kShellFoldersKey, disk::kShellDownloadThirdValue, settingsAt.has_value()));
        state.push_back(setting(disk::kEdgeDownloadKey, disk::kEdgeDownloadValue, settingsAt && edgeKey));
        return state;
    }

    testsupport::TempDir root_;
    testsupport::ScopedUserValue shell_{disk::kShellFoldersKey, disk::kShellDownloadValue};
    testsupport::ScopedUserValue third_{disk::kShellFoldersKey, disk::kShellDownloadThirdValue};
    testsupport::ScopedUserValue edge_{disk::kEdgeDownloadKey, disk::kEdgeDownloadValue};
};

struct KillCase {
    const char* name;   // the test's name
    const char* point;  // QO_CRASH_AT
    std::function<std::unique_ptr<Subject>()> make;
    bool operationFirst = false;  // the subject's operation made whole before the act
    // The act killed: orvane's arguments ("{change}": the newest change of
    // the subject's kind not restored), or nullptr for the subject's operation.
    const wchar_t* command = nullptr;
};

void PrintTo(const KillCase& row, std::ostream* out) { *out << row.point; }

template <typename T, typename... Arguments>
std::function<std::unique_ptr<Subject>()> Make(Arguments... arguments) {
    return [=] { return std::make_unique<T>(arguments...); };
}
using Where = StartupEntry::Where;
constexpr bool kOperationFirst = true;

const KillCase kCases[] = {
    {"RegistryCleanAfterItsBackup", "registry.repair.backup", Make<MuiValues>()},
    {"RegistryCleanAfterTheSecondDeletion", "registry.repair.delete#2", Make<MuiValues>()},
    {"RegistryRestoreAfterTheSecondEntry", "registry.restore#2", Make<MuiValues>(), kOperationFirst,
     L"undo restore {change}"},
    {"StartupSwitchWindows10", "startup.switch", Make<StartupEntry>(Where::RunValue, 10)},
    {"StartupKeepRunValueWindows7", "startup.keep", Make<StartupEntry>(Where::RunValue, 7)},
    {"StartupKeepShortcutWindows7", "startup.keep", Make<StartupEntry>(Where::Shortcut, 7)},
    {"StartupPutBackWindows7", "startup.putback", Make<StartupEntry>(Where::RunValue, 7), kOperationFirst,
     L"startup enable {off}"},
    {"ServiceChange", "service.change", Make<Service>()},
};

// Runs `command` from the program's folder, its marks replaced; ends at the
// crash point `crashAt` when one is given.
ProgramRun Run(const ScratchProgram& program, const Subject& subject, const Command& command,
               const std::string& crashAt = "") {
    std::wstring arguments = subject.Resolve(program, command.arguments);
    if (const std::size_t at = arguments.find(L"{change}"); at != std::wstring::npos) {
        const std::vector<std::string> pending = Unrestored(program, subject.Kind());
        arguments.replace(at, 8, engine::WideFromUtf8(pending.empty() ? std::string("none") : pending.front()));
    }
    const std::wstring executable = command.executable == Executable::Orvane
                                        ? program.Program()
                                        : program.Folder() / testsupport::Environment(L"QO_DOWNLOAD_MOVE");
    return program.Run(executable, arguments, crashAt);
}

// Part files (common::PartFileName) anywhere below `folder`.
void CollectPartFiles(const std::wstring& folder, std::vector<std::wstring>& found) {
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CollectPartFiles(folder + L"\\" + name, found);
        else if (name.ends_with(L".part"))
            found.push_back(folder + L"\\" + name);
    } while (FindNextFileW(search, &data));
    FindClose(search);
}

void KillAndStartAgain(const KillCase& row) {
    const std::unique_ptr<Subject> subject = row.make();
    const ScratchProgram program(subject->ProgramName());
    program.Add(testsupport::Environment(L"QO_DOWNLOAD_MOVE"));
    const State original = subject->Now(program);
    if (row.operationFirst) {
        const ProgramRun prepared = Run(program, *subject, subject->Operation());
        ASSERT_EQ(prepared.exitCode, 0u) << prepared.out << prepared.err;
    }
    const State before = subject->Now(program);

    const Command act = row.command ? Command{Executable::Orvane, row.command} : subject->Operation();
    const ProgramRun killed = Run(program, *subject, act, row.point);
    ASSERT_EQ(killed.exitCode, common::kCrashExitCode) << "the act never reached its crash point\n"
                                                       << killed.out << killed.err;

    // A killed holder frees the operation lock.
    {
        core::OperationLock lock;
        EXPECT_TRUE(lock.Take(0));
        lock.Release();
    }
    std::vector<std::wstring> parts;
    CollectPartFiles(program.Folder().Path(), parts);
    for (const std::wstring& folder : subject->Folders()) CollectPartFiles(folder, parts);
    EXPECT_TRUE(parts.empty()) << engine::Utf8FromWide(parts.front());

    // Started again: a change that was made is listed for undo, and undoing
    // every change listed, newest first, gives back all the user had.
    const State afterKill = subject->Now(program);
    std::vector<std::string> pending = Unrestored(program, subject->Kind());
    if (afterKill != before) {
        EXPECT_FALSE(pending.empty()) << "a change was made and is not listed for undo";
    }
    for (const std::string& id : pending) Undo(program, id);
    EXPECT_EQ(subject->Now(program), original);

    // Nothing is refused for ever: the operation and its undo once more.
    const State start = subject->Now(program);
    const ProgramRun again = Run(program, *subject, subject->Operation());
    EXPECT_EQ(again.exitCode, 0u) << again.out << again.err;
    EXPECT_EQ(subject->Now(program), subject->Changed());
    pending = Unrestored(program, subject->Kind());
    ASSERT_FALSE(pending.empty());
    Undo(program, pending.front());
    EXPECT_EQ(subject->Now(program), start);
}

class Kill : public testing::TestWithParam<KillCase> {};

TEST_P(Kill, StartingAgainLosesNothingAndRefusesNothing) {
    for (const int pass : {1, 2}) {
        SCOPED_TRACE(testing::Message() << GetParam().point << ", pass " << pass);
        KillAndStartAgain(GetParam());
    }
}

INSTANTIATE_TEST_SUITE_P(Points, Kill, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<KillCase>& info) { return std::string(info.param.name); });

// The first start of this version killed while it moves an earlier
// install into the stores: before the copy commits, after it, and after the
// old file's rename. The next start lists every row once, the old file is
// kept once under its new name, and the start after changes nothing.
class MigrationKill : public testing::TestWithParam<const char*> {};

TEST_P(MigrationKill, TheNextStartMovesEveryRowOnce) {
    for (const int pass : {1, 2}) {
        SCOPED_TRACE(testing::Message() << GetParam() << ", pass " << pass);
        testsupport::RemoveStoreFolders();
        const testsupport::ScopedUserValue cleaned(testsupport::kCleanedKey, testsupport::kCleanedValue);
        const ScratchProgram program;
        testsupport::MakeEarlierInstall(program.Folder().Path());
        const ProgramRun killed = program.Run(program.Program(), L"undo list --json", GetParam());
        ASSERT_EQ(killed.exitCode, common::kCrashExitCode) << "the start never reached its crash point\n"
                                                           << killed.out << killed.err;
        {
            core::OperationLock lock;
            EXPECT_TRUE(lock.Take(0));
        }
        const ProgramRun next = program(L"undo list --json");
        ASSERT_EQ(next.exitCode, 0u) << next.out << next.err;
        EXPECT_EQ(testsupport::ChangesByKind(next), testsupport::kEarlierChanges) << next.out;
        const std::vector<std::wstring> files = testsupport::FilesIn(program.Folder().Path());
        EXPECT_EQ(testsupport::MigratedDatabases(files), 1u);
        EXPECT_EQ(std::count(files.begin(), files.end(), L"mydatabase.db"), 0);
        // The same changes (the documents differ only in their times).
        const ProgramRun after = program(L"undo list --json");
        const cJSON* changesAfter = testsupport::JsonItem(after.json.get(), "changes");
        const cJSON* changesNext = testsupport::JsonItem(next.json.get(), "changes");
        ASSERT_TRUE(changesAfter && changesNext) << after.out << next.out;
        EXPECT_EQ(engine::PrintJson(*changesAfter), engine::PrintJson(*changesNext));
        EXPECT_EQ(testsupport::FilesIn(program.Folder().Path()), files);
    }
}

INSTANTIATE_TEST_SUITE_P(Points, MigrationKill,
                         testing::Values("migration.copied", "migration.committed", "migration.renamed"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             name.erase(std::remove(name.begin(), name.end(), '.'), name.end());
                             return name;
                         });

}  // namespace
