#pragma once
// The trail: one event in the Application log (source "Quillmark Orvane")
// for each change orvane or the window makes, so that an administrator or a
// fleet's collector sees what was changed, how much, by which account and
// how it ended. The texts are the message table's (event_messages.mc),
// compiled into both programs; the package registers orvane.exe as the
// source's message file.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// What was changed: each kind is one event id of the message table.
enum class TrailKind : std::uint32_t {
    Clean = 1001,             // junk files and registry entries
    SystemDiskClean = 1002,
    StartupSwitch = 1003,
    ServiceStartType = 1004,
    DownloadMove = 1005,
    UndoRestore = 1006,
    KeepList = 1007,
};

// The window's changes end with the command line's codes where it has them.
inline constexpr int kTrailDone = 0;
inline constexpr int kTrailSomeLeft = 1;
inline constexpr int kTrailRefused = 4;

struct TrailAccount {
    std::wstring name;  // DOMAIN\user; empty when it cannot be looked up
    std::wstring sid;   // S-1-5-...; empty when the token cannot be read
};

struct TrailEvent {
    std::uint16_t type = 0;  // EVENTLOG_INFORMATION_TYPE, _WARNING_TYPE or _ERROR_TYPE
    std::uint32_t id = 0;
    // %1 what, %2 items, %3 bytes, %4 account, %5 its SID, %6 exit code.
    std::vector<std::wstring> strings;
    bool operator==(const TrailEvent&) const = default;
};

// The event of one change: information for exit code 0, a warning for 1, an
// error for any other.
TrailEvent ComposeTrailEvent(TrailKind kind, std::wstring_view what, std::uint64_t items, std::uint64_t bytes,
                             int exitCode, const TrailAccount& account);

// Where events go: true when the event was written. The default reports it
// to the Application log; tests put their own in its place.
using TrailSink = std::function<bool(const TrailEvent&)>;
// Puts `sink` in place and answers the one it replaces.
TrailSink ReplaceTrailSink(TrailSink sink);

// Writes the event of one change this process made, as this process's
// account. An event that cannot be written is logged in the program log and
// changes nothing else: this never throws.
void WriteTrail(TrailKind kind, std::wstring_view what, std::uint64_t items, std::uint64_t bytes,
                int exitCode) noexcept;

}  // namespace core
