#pragma once
// Running one `orvane` command over the same cleaners and managers as the
// window: its JSON document, its text lines (the last one the summary) and
// its exit code.
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/exit_code.h"
#include "core/keep_list.h"
#include "db/database_recovery.h"
#include "engine/wire_format.h"

namespace cli {

struct Outcome {
    int exitCode = kDone;
    engine::Json json;
    std::vector<std::string> lines;  // without --json; the last is the summary
    std::string error;               // for standard error, when the command could not run
};

// Whether the command changes or scans anything, and so must hold the
// operation lock.
bool NeedsOperationLock(const Command& command);

// Runs `command`; the stop flag (Ctrl+C) ends a scan or clean early.
Outcome RunCommand(const Command& command);

// The answer to a run that may not go on: not permitted, with the reason.
Outcome NotPermitted(std::string reason);

// Why nothing is deleted while the keep list stands as it does; empty when
// deleting may go on.
std::string KeepListRefusalText(core::KeepRefusal refusal);

// The one line that tells what the start recovered from a database it set
// aside.
std::string RecoveryLine(const db::DatabaseRecovery& recovery);

}  // namespace cli
