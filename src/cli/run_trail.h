#pragma once
// The trail of one orvane run: a run of a command that changes something
// writes one event at its end (core/event_trail.h), whatever its exit code;
// a run that only reads (list, scan, the lists, help) writes none.
#include <cstdint>
#include <optional>
#include <string>

#include "cli/arguments.h"
#include "core/event_trail.h"
#include "engine/wire_format.h"

namespace cli {

struct RunEvent {
    core::TrailKind kind;
    std::wstring what;  // "orvane clean junk.temp registry.software"
    std::uint64_t items = 0;
    std::uint64_t bytes = 0;
    bool operator==(const RunEvent&) const = default;
};

// The event of a run of `command` whose JSON document is `document` (null
// when the run gave none); nothing for a command that changes nothing.
std::optional<RunEvent> RunEventOf(const Command& command, const cJSON* document);

// Writes the run's event when it goes out of scope: with the exit code it
// was told, else 1, how a run that threw ends.
class RunTrail {
public:
    explicit RunTrail(const Command& command);
    RunTrail(const RunTrail&) = delete;
    RunTrail& operator=(const RunTrail&) = delete;
    ~RunTrail();

    // Records how the run ended and answers `exitCode`.
    int Ended(int exitCode, const cJSON* document = nullptr);

private:
    const Command command_;
    std::optional<RunEvent> event_;
    int exitCode_ = 1;
};

}  // namespace cli
