#pragma once
// The registry cleaner's findings: one list of invalid entries per category,
// alive for the whole process.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/keep_match.h"

namespace registry {

struct RegistryIssue {
    // The predefined key as its 32-bit handle value (0x80000000 for
    // HKEY_CLASSES_ROOT, 0x80000001 HKEY_CURRENT_USER, 0x80000002
    // HKEY_LOCAL_MACHINE).
    std::uint32_t root = 0;
    std::wstring keyPath;  // parent key, ending with a backslash, or empty
    std::wstring keyName;  // key below keyPath, or empty
    // Not empty: the issue is this value of keyPath + keyName; empty: the
    // issue is the key keyPath + keyName itself.
    std::wstring valueName;

    bool IsValueIssue() const { return !valueName.empty(); }
    bool operator==(const RegistryIssue&) const = default;
};

// The issue as the keep list names it: "HKEY_CURRENT_USER\<key>", a value as
// "<key>\<value name>".
std::wstring KeepTextOf(const RegistryIssue& issue);

// "HKEY_LOCAL_MACHINE" and the like; empty for a root without a name.
const wchar_t* RootName(std::uint32_t root);

using RegistryIssueList = std::vector<RegistryIssue>;

// Removes from `list` every issue that the keep list keeps.
void RemoveKept(RegistryIssueList& list, const common::KeptItems& kept);

inline constexpr int kRegistryCategoryCount = 7;

// The seven lists, indexed by category.
std::array<RegistryIssueList, kRegistryCategoryCount>& RegistryIssueLists();

}  // namespace registry
