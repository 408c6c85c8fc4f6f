#pragma once
// The registry cleaner's findings: one list of invalid entries per category,
// alive for the whole process.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/keep_match.h"

namespace registry {

// What an issue deletes: the key itself, or one value of it.
enum class IssueKind { Key, Value };

struct RegistryIssue {
    IssueKind kind = IssueKind::Key;
    // The predefined key as its 32-bit handle value (0x80000000 for
    // HKEY_CLASSES_ROOT, 0x80000001 HKEY_CURRENT_USER, 0x80000002
    // HKEY_LOCAL_MACHINE).
    std::uint32_t root = 0;
    std::wstring keyPath;  // parent key, ending with a backslash, or empty
    std::wstring keyName;  // key below keyPath, or empty
    // A value issue's value of keyPath + keyName; empty names the key's
    // default value. Empty for a key issue.
    std::wstring valueName;

    bool IsValueIssue() const { return kind == IssueKind::Value; }
    bool operator==(const RegistryIssue&) const = default;
};

// The key keyPath + keyName itself.
RegistryIssue KeyIssue(std::uint32_t root, std::wstring keyPath, std::wstring keyName);
// The value `valueName` ("" for the default value) of keyPath + keyName.
RegistryIssue ValueIssue(std::uint32_t root, std::wstring keyPath, std::wstring keyName, std::wstring valueName);

// A value's name as people read it: the default value as regedit shows it,
// "(Default)".
std::wstring ShownValueName(const std::wstring& valueName);

// The issue as the keep list names it: "HKEY_CURRENT_USER\<key>", a value as
// "<key>\<value name>", the default value as "<key>\(Default)" (so keeping
// it never keeps the whole key; a value really named "(Default)" shares the
// text, and keeping either keeps both).
std::wstring KeepTextOf(const RegistryIssue& issue);

// "HKEY_LOCAL_MACHINE" and the like; empty for a root without a name.
const wchar_t* RootName(std::uint32_t root);

using RegistryIssueList = std::vector<RegistryIssue>;

// Removes from `list` every issue that the keep list keeps.
void RemoveKept(RegistryIssueList& list, const common::KeptItems& kept);

inline constexpr int kRegistryCategoryCount = 7;
// Health points that repairing a registry category whole earns, and that a
// category with issues costs the score.
inline constexpr int kRegistryCategoryWeight = 5;

// The seven lists, indexed by category.
std::array<RegistryIssueList, kRegistryCategoryCount>& RegistryIssueLists();

}  // namespace registry
