#pragma once
// What the organisation set through Group Policy under
// HKLM\SOFTWARE\Policies\Quillmark\Orvane (the 64-bit view, where policy is
// written): categories turned off (`DisabledCategories`), paths and registry
// keys kept on every account (subkey `KeepList`) and whether the window
// announces updates (`UpdateNotice`). Only the machine's hive counts: a user
// may write HKEY_CURRENT_USER's Policies key of their own.
//
// The parsing is plain functions over the values read; a thin reader makes
// the registry calls. A policy key that exists but cannot be read makes the
// read Unreadable, and the callers fail closed as with an unreadable keep
// list. The reader can be swapped (ReplacePolicyKeyReader), since no test
// prefix can deny the read: the tests show the refusals through it.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/registry_value.h"

namespace core {

// The key's values as read.
struct PolicyValues {
    std::optional<common::RegistryValue> disabledCategories;
    std::vector<std::pair<std::wstring, common::RegistryValue>> keepList;  // name, value
    std::optional<common::RegistryValue> updateNotice;
};

struct Policy {
    // Ids ("junk.temp") and groups ("junk", "registry", "disk"), lower case.
    std::vector<std::string> disabled;
    // Keep texts as set, variables expanded with the machine's environment.
    std::vector<std::wstring> keep;
    bool updateNotice = true;
    // What was ignored and why, one line each.
    std::vector<std::string> ignored;
    bool operator==(const Policy&) const = default;
};

// A variable's value by name; nothing when it is not defined.
using MachineVariable = std::function<std::optional<std::wstring>(const std::wstring& name)>;

// The category words a policy may name: each id of `ids` ("junk.temp"), the
// group before its dot ("junk", also written "junk.*"), and `groups`.
// Empty strings are skipped; any letter case; unknown words are ignored and
// reported. Keep values other than REG_SZ and REG_EXPAND_SZ, texts with an
// undefined variable and values of a wrong type are ignored and reported.
Policy ParsePolicy(const PolicyValues& values, const std::vector<std::string>& ids, const MachineVariable& machine);

// Whether `policy` turns off the category `id` (its id or its group).
bool PolicyDisables(const Policy& policy, std::string_view id);

enum class PolicyState { Absent, Read, Unreadable };
struct PolicyRead {
    PolicyState state = PolicyState::Absent;
    Policy policy;            // the defaults unless Read
    std::string error;        // when Unreadable
};

// What reading the key gave: the registry's status (ERROR_SUCCESS, else the
// failure's) and what was being read when it failed (kPolicyKeyItself,
// "DisabledCategories", "KeepList", ...); the values when it succeeded.
inline constexpr char kPolicyKeyItself[] = "its key";
struct PolicyKeyRead {
    long status = 0;
    std::string failedAt;
    PolicyValues values;
};
// The policy of a key read: Absent when the key itself is not found,
// Unreadable (with the reason) for any other failure (a value listed and
// gone before it was read included), else the values parsed.
PolicyRead PolicyOfKey(const PolicyKeyRead& key, const std::vector<std::string>& ids, const MachineVariable& machine);

// Reads the machine's policy key. Swappable for the tests; an empty function
// puts the registry's reader back. Answers the reader it replaces.
using PolicyKeyReader = std::function<PolicyKeyRead()>;
PolicyKeyReader ReplacePolicyKeyReader(PolicyKeyReader reader);

// Reads the machine's policy key against the category ids.
PolicyRead ReadPolicy(const std::vector<std::string>& ids);

// The machine's environment (never the user's) for expanding policy texts.
std::optional<std::wstring> MachineEnvironmentVariable(const std::wstring& name);

// The reason given for a category the policy turns off.
inline constexpr const char kTurnedOffByPolicy[] = "turned off by policy";

}  // namespace core
