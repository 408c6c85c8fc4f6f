#pragma once
// `orvane scan|clean --all-users`: the per-user file categories (temporary
// files, caches, the recycle bin) of every local user's profile, for an
// agent running as SYSTEM or an administrator; and the refusal of those
// categories for SYSTEM's own profile without it.
#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "junk/category_ids.h"

namespace cli {

// Why `category` is not scanned or cleaned for the account `accountSid`
// alone: a per-user category run as SYSTEM, whose own profile, recycle bin
// and registry hold no user's junk (a file category answers "run with
// --all-users"). Empty when it may be.
std::string OwnAccountRefusal(const junk::CategoryId& category, const std::wstring& accountSid);

// Why `category` is not done with --all-users: only the per-user file
// categories are. Empty when it is done.
std::string AllUsersRefusal(const junk::CategoryId& category);

// Runs a scan or clean with --all-users.
Outcome RunForAllUsers(const Command& command);

}  // namespace cli
