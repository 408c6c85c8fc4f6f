#include "core/event_trail.h"

#include <windows.h>
#include <sddl.h>

#include <mutex>

#include "common/account_sid.h"
#include "common/handles.h"
#include "core/log_file.h"
#include "engine/wire_format.h"

namespace core {

namespace {

constexpr wchar_t kSourceName[] = L"Quillmark Orvane";

// The Application log through the registered source. The SID goes with the
// event as its user, so that the Event Viewer shows the account too.
bool ReportToEventLog(const TrailEvent& event) {
    const common::UniqueEventSource source(RegisterEventSourceW(nullptr, kSourceName));
    if (!source) return false;
    std::vector<const wchar_t*> strings;
    for (const std::wstring& text : event.strings) strings.push_back(text.c_str());
    PSID sid = nullptr;
    if (event.strings.size() > 4 && !event.strings[4].empty()) ConvertStringSidToSidW(event.strings[4].c_str(), &sid);
    const BOOL written = ReportEventW(source.get(), event.type, 0, event.id, sid, static_cast<WORD>(strings.size()), 0,
                                      strings.data(), nullptr);
    if (sid) LocalFree(sid);
    return written != FALSE;
}

std::mutex& SinkLock() {
    static std::mutex lock;
    return lock;
}

TrailSink& Sink() {
    static TrailSink sink = ReportToEventLog;
    return sink;
}

// This process's account: its SID and the name the system gives it.
TrailAccount ProcessAccount() {
    TrailAccount account{{}, common::ProcessAccountSid()};
    PSID sid = nullptr;
    if (account.sid.empty() || !ConvertStringSidToSidW(account.sid.c_str(), &sid)) return account;
    wchar_t name[256], domain[256];
    DWORD nameSize = 256, domainSize = 256;
    SID_NAME_USE use;
    if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        account.name = domain[0] ? std::wstring(domain) + L"\\" + name : std::wstring(name);
    LocalFree(sid);
    return account;
}

}  // namespace

TrailEvent ComposeTrailEvent(TrailKind kind, std::wstring_view what, std::uint64_t items, std::uint64_t bytes,
                             int exitCode, const TrailAccount& account) {
    TrailEvent event;
    event.type = exitCode == 0   ? EVENTLOG_INFORMATION_TYPE
                 : exitCode == 1 ? EVENTLOG_WARNING_TYPE
                                 : EVENTLOG_ERROR_TYPE;
    event.id = static_cast<std::uint32_t>(kind);
    event.strings = {std::wstring(what), std::to_wstring(items), std::to_wstring(bytes),
                     account.name, account.sid, std::to_wstring(exitCode)};
    return event;
}

TrailSink ReplaceTrailSink(TrailSink sink) {
    const std::lock_guard<std::mutex> hold(SinkLock());
    Sink().swap(sink);
    return sink;
}

void WriteTrail(TrailKind kind, std::wstring_view what, std::uint64_t items, std::uint64_t bytes,
                int exitCode) noexcept {
    try {
        const TrailEvent event = ComposeTrailEvent(kind, what, items, bytes, exitCode, ProcessAccount());
        const std::lock_guard<std::mutex> hold(SinkLock());
        if (!Sink()(event))
            LogFile::Instance().Write("The event log trail could not be written (error " +
                                      std::to_string(GetLastError()) + "): " + engine::Utf8FromWide(what));
    } catch (...) {
        // The change itself is done; only its trail is missing.
        try {
            LogFile::Instance().Write("The event log trail could not be written");
        } catch (...) {
        }
    }
}

}  // namespace core
