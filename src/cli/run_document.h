#pragma once
// The JSON document of an `orvane --json` run, whatever its end: who ran it
// where and when, the command's own members, the error, and the exit code
// last, so that a collector always finds the same frame.
#include <windows.h>

#include <string>

#include "engine/wire_format.h"

namespace cli {

inline constexpr int kSchemaVersion = 1;

// What the frame tells of the run besides the command's own members.
struct RunFacts {
    std::string version;
    std::string computer;
    std::string accountName;  // DOMAIN\name; empty when it cannot be looked up
    std::string accountSid;
    bool elevated = false;
    std::string startedUtc;
    std::string endedUtc;
};

// `time` (UTC) as ISO 8601 with Z: "2026-12-11T09:30:05Z".
std::string UtcText(const SYSTEMTIME& time);

// A local time as the stores keep it ("YYYY-MM-DD hh:mm:ss") in UTC as ISO
// 8601 with Z; empty when it is no such time.
std::string UtcFromLocalText(const std::wstring& local);

// The document: the frame's members, then those of `members` (moved out of
// it; may be null), `error` when not empty, and `exitCode` last.
engine::Json RunDocument(const RunFacts& facts, cJSON* members, const std::string& error, int exitCode);

// The facts of this process: its version, computer and account, now as its
// start.
RunFacts CurrentRunFacts();

// The current time in UTC as UtcText.
std::string UtcNow();

}  // namespace cli
