#pragma once
// The organisation's policy over `orvane scan|clean`: a category it turns
// off is neither scanned nor cleaned. Named on the command line, the run is
// refused (not permitted, "turned off by policy"); taken by default (no ids),
// it is left out.
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "core/policy.h"

namespace cli {

// `command` as policy lets it run (the default selection written out
// without what policy turns off), or the refusal.
struct PolicyChecked {
    Command command;
    std::optional<Outcome> refused;
};
PolicyChecked CheckPolicy(const Command& command, const core::PolicyRead& policy);

}  // namespace cli
