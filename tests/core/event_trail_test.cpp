// The trail in the Application log: the event a change makes, the message
// table both programs carry, and whether the log gives the event back.
#include "core/event_trail.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "common/handles.h"
#include "support/recorded_trail.h"

namespace {

using core::TrailKind;

TEST(TrailEvent, LevelFollowsTheExitCodeAndTheStringsKeepTheirOrder) {
    struct Case {
        int exitCode;
        WORD type;
    };
    const core::TrailAccount account{L"HOST\\admin", L"S-1-5-21-1-2-3-1001"};
    for (const Case& c : {Case{0, EVENTLOG_INFORMATION_TYPE}, Case{1, EVENTLOG_WARNING_TYPE},
                          Case{2, EVENTLOG_ERROR_TYPE}, Case{3, EVENTLOG_ERROR_TYPE}, Case{4, EVENTLOG_ERROR_TYPE},
                          Case{-1, EVENTLOG_ERROR_TYPE}}) {
        const core::TrailEvent event =
            core::ComposeTrailEvent(TrailKind::Clean, L"orvane clean junk.temp", 12, 18446744073709551615ull,
                                    c.exitCode, account);
        EXPECT_EQ(event.type, c.type) << c.exitCode;
        EXPECT_EQ(event.id, 1001u);
        EXPECT_EQ(event.strings, (std::vector<std::wstring>{L"orvane clean junk.temp", L"12", L"18446744073709551615",
                                                             L"HOST\\admin", L"S-1-5-21-1-2-3-1001",
                                                             std::to_wstring(c.exitCode)}))
            << c.exitCode;
    }
}

// The account is this process's: the name the system gives its token's user
// and that user's SID.
TEST(TrailEvent, WrittenAsThisProcessAccount) {
    const testsupport::RecordedTrail trail;
    core::WriteTrail(TrailKind::KeepList, L"keep add C:\\kept", 1, 0, 0);
    const std::vector<core::TrailEvent> events = trail.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].id, 1007u);
    EXPECT_EQ(events[0].type, EVENTLOG_INFORMATION_TYPE);
    ASSERT_EQ(events[0].strings.size(), 6u);
    wchar_t user[256];
    DWORD size = 256;
    ASSERT_TRUE(GetUserNameW(user, &size));
    EXPECT_TRUE(events[0].strings[3].ends_with(L"\\" + std::wstring(user))) << events[0].strings[3];
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof sid;
    wchar_t domain[256];
    DWORD domainSize = 256;
    SID_NAME_USE use;
    ASSERT_TRUE(LookupAccountNameW(nullptr, events[0].strings[3].c_str(), sid, &sidSize, domain, &domainSize, &use));
    PSID written = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(events[0].strings[4].c_str(), &written)) << events[0].strings[4];
    EXPECT_TRUE(EqualSid(sid, written));
    LocalFree(written);
}

// A trail that cannot be written is no failure of the change: nothing is
// thrown, and the next event goes where it should.
TEST(TrailEvent, ASinkThatFailsOrThrowsChangesNothing) {
    const testsupport::RecordedTrail trail;
    for (const core::TrailSink& failing :
         {core::TrailSink([](const core::TrailEvent&) { return false; }),
          core::TrailSink([](const core::TrailEvent&) -> bool { throw std::runtime_error("no log"); })}) {
        core::TrailSink recording = core::ReplaceTrailSink(failing);
        EXPECT_NO_THROW(core::WriteTrail(TrailKind::Clean, L"orvane clean junk.temp", 1, 2, 0));
        core::ReplaceTrailSink(std::move(recording));
    }
    EXPECT_TRUE(trail.Events().empty());
    core::WriteTrail(TrailKind::Clean, L"orvane clean junk.temp", 1, 2, 0);
    EXPECT_EQ(trail.Events().size(), 1u);
}

// Every event id has its text, in English and Chinese, in both programs:
// the Event Viewer formats an event with the registered program's table.
TEST(TrailMessages, EveryKindHasItsTextInBothProgramsAndLanguages) {
    struct Case {
        TrailKind kind;
        const wchar_t* english;
        const wchar_t* chinese;
    };
    const Case cases[] = {
        {TrailKind::Clean, L"Clean: ", L"清理："},
        {TrailKind::SystemDiskClean, L"System disk clean: ", L"系统盘清理："},
        {TrailKind::StartupSwitch, L"Startup entries switched: ", L"切换启动项："},
        {TrailKind::ServiceStartType, L"Service start type changed: ", L"更改服务启动类型："},
        {TrailKind::DownloadMove, L"Downloads folder moved: ", L"移动下载文件夹："},
        {TrailKind::UndoRestore, L"Change undone: ", L"撤销更改："},
        {TrailKind::KeepList, L"Keep list changed: ", L"更改保留列表："},
    };
    const std::wstring what = L"orvane what-marker";
    const wchar_t* strings[] = {what.c_str(), L"17", L"4096", L"HOST\\admin", L"S-1-5-21-9", L"3"};
    for (const char* variable : {"QO_ORVANE", "QO_PROGRAM"}) {
        const char* name = std::getenv(variable);
        ASSERT_TRUE(name) << variable;
        const common::UniqueModule program(LoadLibraryExA(name, nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(program) << name;
        for (const Case& c : cases) {
            for (const auto& [language, start] : {std::pair{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), c.english},
                                                  std::pair{MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), c.chinese}}) {
                wchar_t* text = nullptr;
                const DWORD length = FormatMessageW(
                    FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                    program.get(), static_cast<DWORD>(c.kind), language, reinterpret_cast<wchar_t*>(&text), 0,
                    reinterpret_cast<va_list*>(const_cast<wchar_t**>(strings)));
                ASSERT_NE(length, 0u) << name << " " << static_cast<int>(c.kind) << " " << language;
                const std::wstring message(text, length);
                LocalFree(text);
                EXPECT_TRUE(message.starts_with(std::wstring(start) + what)) << name << " " << static_cast<int>(c.kind);
                for (const wchar_t* inserted : strings)
                    EXPECT_NE(message.find(inserted), std::wstring::npos) << name << " " << static_cast<int>(c.kind);
            }
        }
    }
}

// The event written to the Application log is there to read, with its id,
// level, source and strings. Wine 8 keeps no events: its ReportEventW only
// traces the strings and its ReadEventLogW answers ERROR_HANDLE_EOF, so
// there the read-back is skipped and the seam above carries the tests.
TEST(TrailEventLog, AWrittenEventReadsBack) {
    const std::wstring marker = L"trail read-back " + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                std::to_wstring(GetTickCount64());
    core::WriteTrail(TrailKind::UndoRestore, marker, 2, 0, 1);
    const HANDLE log = OpenEventLogW(nullptr, L"Application");
    ASSERT_TRUE(log) << GetLastError();
    std::vector<BYTE> buffer(0x10000);
    bool found = false;
    bool readAny = false;
    DWORD error = ERROR_SUCCESS;
    while (!found) {
        DWORD read = 0, needed = 0;
        if (!ReadEventLogW(log, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_BACKWARDS_READ, 0, buffer.data(),
                           static_cast<DWORD>(buffer.size()), &read, &needed)) {
            error = GetLastError();
            if (error == ERROR_INSUFFICIENT_BUFFER) {
                buffer.resize(needed);
                continue;
            }
            break;
        }
        readAny = true;
        for (DWORD offset = 0; offset < read && !found;) {
            const auto* record = reinterpret_cast<const EVENTLOGRECORD*>(buffer.data() + offset);
            const auto* source = reinterpret_cast<const wchar_t*>(record + 1);
            if ((record->EventID & 0xFFFF) == 1006 && std::wstring(source) == L"Quillmark Orvane" &&
                record->NumStrings == 6 &&
                std::wstring(reinterpret_cast<const wchar_t*>(reinterpret_cast<const BYTE*>(record) +
                                                               record->StringOffset)) == marker) {
                found = true;
                EXPECT_EQ(record->EventType, EVENTLOG_WARNING_TYPE);
            }
            offset += record->Length;
        }
    }
    CloseEventLog(log);
    if (!found && !readAny && error == ERROR_HANDLE_EOF)
        GTEST_SKIP() << "this system keeps no events to read back (Wine 8: ReadEventLogW answers ERROR_HANDLE_EOF "
                        "for every log); the events are tested through the trail's sink";
    EXPECT_TRUE(found) << "read error " << error;
}

}  // namespace
