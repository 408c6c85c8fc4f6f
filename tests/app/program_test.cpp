// The program as a process: started headless the way automation starts it,
// driven through its page address as a page would.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <functional>
#include <regex>

#include "app/bridge_table.h"
#include "common/handles.h"
#include "core/script_bridge.h"
#include "core/settings_store.h"
#include "db/scratch_database.h"
#include "support/fresh_stores.h"
#include "support/page_client.h"
#include "support/scratch_program.h"
#include "support/temp_dir.h"

namespace {

using engine::Value;

// The program started headless from a folder of its own, so that what it
// writes beside itself (log, configuration, database) stays out of the build.
// It runs in that folder unless another working folder is given; `prepare`
// may put files beside it first.
class RunningProgram {
public:
    explicit RunningProgram(const std::wstring& arguments = L"", const std::wstring& workingFolder = L"",
                            const std::function<void(const testsupport::TempDir&)>& prepare = {}) {
        const std::wstring program = folder_ / L"QuillmarkOrvane.exe";
        if (!CopyFileW(testsupport::Environment(L"QO_PROGRAM").c_str(), program.c_str(), FALSE))
            throw std::runtime_error("cannot copy the program");
        if (prepare) prepare(folder_);
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE readEnd = nullptr;
        HANDLE writeEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) throw std::runtime_error("no pipe");
        output_.reset(readEnd);
        const common::UniqueKernelHandle childEnd(writeEnd);
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = writeEnd;
        std::wstring commandLine = L"\"" + program + L"\" --headless " + arguments;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                            (workingFolder.empty() ? folder_.Path() : workingFolder).c_str(), &startup, &process))
            throw std::runtime_error("the program did not start");
        CloseHandle(process.hThread);
        process_.reset(process.hProcess);
    }
    ~RunningProgram() {
        if (WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.get(), 1);
            WaitForSingleObject(process_.get(), 10000);
        }
    }

    // The first line of standard output; empty when the program ended first.
    std::string FirstLine() {
        std::string line;
        char c = 0;
        DWORD read = 0;
        while (ReadFile(output_.get(), &c, 1, &read, nullptr) && read == 1 && c != '\n') line += c;
        return line;
    }
    const testsupport::TempDir& Folder() const { return folder_; }
    std::optional<DWORD> ExitCode(DWORD waitMilliseconds = 30000) {
        if (WaitForSingleObject(process_.get(), waitMilliseconds) != WAIT_OBJECT_0) return std::nullopt;
        DWORD code = 0;
        GetExitCodeProcess(process_.get(), &code);
        return code;
    }

private:
    testsupport::TempDir folder_;
    common::UniqueKernelHandle process_;
    common::UniqueKernelHandle output_;
};

// A port that nothing listens on now.
int FreePort() {
    const SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    closesocket(probe);
    return ntohs(address.sin_port);
}

TEST(Program, HeadlessPrintsThePageAddressAndServesTheMainDocument) {
    RunningProgram program;
    const std::string address = program.FirstLine();
    EXPECT_TRUE(std::regex_match(address, std::regex(R"(http://127\.0\.0\.1:\d+/app/index\.html\?t=[0-9a-f]{32})")))
        << address;
    testsupport::PageClient page(address);
    const httplib::Result index = page.LoadDocument();
    ASSERT_TRUE(index);
    EXPECT_EQ(index->status, 200);
    EXPECT_EQ(index->body,
              testsupport::ReadFile(testsupport::FromUnixPath(testsupport::Environment(L"QO_UI_SOURCE")) + L"\\index.html"));
    EXPECT_EQ(page.Call("GetPopupZoneBit"), Value(0));
    EXPECT_EQ(page.Call("GetPopupZoneBit", {Value(1)}), std::nullopt);
    // The log says that a page is served and where, never with the key or
    // the address's token.
    const std::string log = testsupport::ReadFile(testsupport::MachineStorePath() + L"\\Orvane.log");
    EXPECT_NE(log.find("Headless page served on port " + std::to_string(page.Port())), std::string::npos) << log;
    EXPECT_EQ(log.find(page.Cookie().substr(page.Cookie().find('=') + 1)), std::string::npos) << log;
    EXPECT_EQ(log.find(address.substr(address.find("?t=") + 3)), std::string::npos) << log;
    page.Close();
    EXPECT_EQ(program.ExitCode(), 0u);
}

TEST(Program, ASecondInstanceLearnsThatTheFirstRuns) {
    RunningProgram first;
    testsupport::PageClient firstPage(first.FirstLine());
    firstPage.LoadDocument();
    EXPECT_EQ(firstPage.Call("getHaveRunshow"), Value(0));
    // The page loaded anew (a reload) asks again and is not told to close.
    EXPECT_EQ(firstPage.Call("getHaveRunshow"), Value(0));

    RunningProgram second;
    testsupport::PageClient secondPage(second.FirstLine());
    secondPage.LoadDocument();
    EXPECT_EQ(secondPage.Call("getHaveRunshow"), Value(1));
    EXPECT_EQ(app::NativeFunctions().Call("getHaveRunshow", {}), Value(1));

    secondPage.Close();
    EXPECT_EQ(second.ExitCode(), 0u);
    firstPage.Close();
    EXPECT_EQ(first.ExitCode(), 0u);
}

TEST(Program, TakesThePortItIsGivenAndEndsWithMinusOneWhenItIsTaken) {
    httplib::Server holder;
    const int taken = holder.bind_to_any_port("127.0.0.1");
    ASSERT_GT(taken, 0);
    RunningProgram refused(L"--port " + std::to_wstring(taken));
    EXPECT_EQ(refused.FirstLine(), "");
    EXPECT_EQ(refused.ExitCode(), static_cast<DWORD>(-1));

    const int free = FreePort();
    RunningProgram given(L"--port " + std::to_wstring(free));
    testsupport::PageClient page(given.FirstLine());
    EXPECT_EQ(page.Port(), free);
    page.Close();
    EXPECT_EQ(given.ExitCode(), 0u);
}

// Closing while "Scan All" runs: the scan stops at its next unit, as after
// Stop, and the program ends normally; nothing of the scan is stored.
TEST(Program, ClosingWhileAScanRunsStopsItAndEndsNormally) {
    core::WriteLastOneClickTime(L"2001-02-03 04:05:06");
    RunningProgram program;
    testsupport::PageClient page(program.FirstLine());
    page.LoadDocument();
    const HANDLE reported = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // The page answers its first report late: the scan is still running
    // when the program closes.
    page.Define("SetErrorNumAndSize", [reported](const std::vector<Value>&) {
        if (WaitForSingleObject(reported, 0) == WAIT_TIMEOUT) {
            SetEvent(reported);
            Sleep(2000);
        }
        return true;
    });
    page.Listen();
    ASSERT_EQ(page.Call("HomeScan"), Value(0));
    ASSERT_EQ(WaitForSingleObject(reported, 30000), WAIT_OBJECT_0);
    page.Close();
    EXPECT_EQ(program.ExitCode(), 0u);
    page.StopListening();
    EXPECT_EQ(core::ReadLastOneClickTime(), std::wstring(L"2001-02-03 04:05:06"));
    CloseHandle(reported);
}

// Started from another folder (a shortcut's "Start in", a scheduler), the
// program still finds its database and configuration in the stores: what it
// listed before is listed again, and nothing lands where it runs.
TEST(Program, KeepsItsFilesInTheirPlacesWhateverFolderItRunsIn) {
    testsupport::TempDir elsewhere;
    const std::wstring shortcut = L"C:\\QoTest\\Beside.lnk";
    RunningProgram program(L"", elsewhere.Path(), [&](const testsupport::TempDir&) {
        testsupport::RemoveStores();
        ASSERT_TRUE(core::MachineStore());
        testsupport::RunSql(testsupport::StoreDatabase(db::Store::Machine),
                            ("create table tbl_startupinfo (\t\t\tid integer primary key,\t\t\t\t\t\t\t\t\t"
                             "iconPath TEXT,\t\t\t\tfileDescription TEXT,\t\t\tcompanyName TEXT,\t\t\tstrPath TEXT,"
                             "\t\t\tstrName TEXT,\t\t\thKey integer,\t\t\tuFilePathFlag integer,\t\t\tbStatus integer);"
                             "insert into tbl_startupinfo values (1, 'C:\\QoTest\\Beside.lnk', 'Beside', 'Maker', "
                             "'C:\\QoTest\\tool.exe', 'Beside.lnk', 0, 0, 1)"));
    });
    testsupport::PageClient page(program.FirstLine());
    page.LoadDocument();
    const std::optional<Value> list = page.Call("GetStartupInfo");
    ASSERT_TRUE(list && list->IsArray());
    const auto listed = std::find_if(list->Items().begin(), list->Items().end(), [&](const Value& entry) {
        return entry.Items().size() == 5 && entry.Items()[2] == Value(shortcut);
    });
    ASSERT_NE(listed, list->Items().end());
    EXPECT_EQ(listed->Items()[0], Value(L"Beside"));
    EXPECT_EQ(listed->Items()[3], Value(1));
    page.Close();
    EXPECT_EQ(program.ExitCode(), 0u);

    EXPECT_TRUE(testsupport::Exists(testsupport::UserStorePath() + L"\\config.ini"));
    EXPECT_TRUE(testsupport::Exists(testsupport::MachineStorePath() + L"\\Orvane.log"));
    for (const std::wstring& folder : {program.Folder().Path(), elsewhere.Path()})
        for (const wchar_t* name : {L"config.ini", L"Orvane.log", L"mydatabase.db"})
            EXPECT_FALSE(testsupport::Exists(folder + L"\\" + name)) << name;
    EXPECT_FALSE(testsupport::Exists(elsewhere / L"newupdate.db"));
}

// A program folder whose path is longer than MAX_PATH cannot be read whole:
// both programs stop with a message, exit with a failure, and open nothing in
// the folder they were started from. (How a path is judged is
// tests/common/app_directory_test.cpp's.)
TEST(Program, AProgramFolderThatCannotBeFoundStopsTheStart) {
    const testsupport::ScratchProgram scratch;
    const std::wstring top = L"\\\\?\\" + scratch.Folder().Path() + L"\\a-folder-name-that-makes-the-path-long";
    std::wstring deep = top;
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    while (deep.size() < MAX_PATH + 20) {
        deep += L"\\a-folder-name-that-makes-the-path-long";
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    }
    struct Case {
        const wchar_t* built;  // the environment variable naming the executable
        const wchar_t* arguments;
        DWORD exitCode;
        const char* message;  // the start of its first line
    };
    const Case cases[] = {
        {L"QO_ORVANE", L"list", 4, "orvane: the program's own folder cannot be found"},
        {L"QO_PROGRAM", L"--headless", 1, "Quillmark Orvane cannot find its own folder"},
    };
    std::optional<std::string> skipped;
    for (const Case& row : cases) {
        const std::wstring name = testsupport::Environment(row.built);
        const std::wstring executable = deep + L"\\" + name;
        ASSERT_TRUE(CopyFileW(name.c_str(), executable.c_str(), FALSE));
        testsupport::ProgramRun run;
        try {
            run = scratch.Run(executable, row.arguments, "");
        } catch (const std::runtime_error&) {
            skipped = "the system starts no program from a path longer than MAX_PATH (Wine 8 does not)";
            break;
        }
        EXPECT_EQ(run.exitCode, row.exitCode) << engine::Utf8FromWide(name);
        EXPECT_TRUE((run.err + run.out).starts_with(row.message)) << run.out << run.err;
        for (const wchar_t* file : {L"mydatabase.db", L"newupdate.db", L"config.ini", L"Orvane.log"})
            EXPECT_FALSE(testsupport::Exists(scratch.Folder() / file)) << engine::Utf8FromWide(file);
    }
    testsupport::RemoveTree(top);
    if (skipped) GTEST_SKIP() << *skipped;
}

}  // namespace
