#include "core/store_access.h"

#include <algorithm>
#include <tuple>

namespace core {

namespace {

constexpr BYTE kInheritedByChildren = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

bool Among(const std::vector<std::wstring>& sids, const std::wstring& sid) {
    return std::find(sids.begin(), sids.end(), sid) != sids.end();
}

// Entries compared as a set, generic rights mapped, an entry's place aside.
std::vector<AccessEntry> Normalised(std::vector<AccessEntry> entries) {
    for (AccessEntry& entry : entries) entry.mask = FileRights(entry.mask);
    std::sort(entries.begin(), entries.end(), [](const AccessEntry& a, const AccessEntry& b) {
        return std::tie(a.kind, a.sid, a.mask, a.flags) < std::tie(b.kind, b.sid, b.mask, b.flags);
    });
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    return entries;
}

}  // namespace

StoreRule MachineRule(bool usersRead) {
    StoreRule rule{kAdministratorsSid, {kSystemSid, kAdministratorsSid}, {}};
    if (usersRead) rule.readers.push_back(kUsersSid);
    return rule;
}

StoreRule AccountRule(const std::wstring& accountSid) {
    return {accountSid, {accountSid, kSystemSid, kAdministratorsSid}, {}};
}

std::vector<AccessEntry> StoreEntries(const StoreRule& rule) {
    std::vector<AccessEntry> entries;
    for (const std::wstring& sid : rule.controllers)
        entries.push_back({AccessEntry::Kind::Allow, sid, kFullControl, kInheritedByChildren});
    for (const std::wstring& sid : rule.readers)
        entries.push_back({AccessEntry::Kind::Allow, sid, kReadAndExecute, kInheritedByChildren});
    return entries;
}

ACCESS_MASK FileRights(ACCESS_MASK mask) {
    GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    MapGenericMask(&mask, &mapping);
    return mask;
}

Verdict Judge(const ObjectSecurity& found, const StoreRule& rule, ACCESS_MASK othersMay) {
    if (!Among(rule.controllers, found.owner) || !found.hasDacl) return Verdict::Untrusted;
    for (const AccessEntry& entry : found.entries) {
        if (entry.kind == AccessEntry::Kind::Other) return Verdict::Untrusted;
        // A deny entry only takes away; an inherit-only entry still hands its
        // rights to whatever is made inside, so it counts like any other.
        if (entry.kind == AccessEntry::Kind::Allow && !Among(rule.controllers, entry.sid) &&
            (FileRights(entry.mask) & ~othersMay) != 0)
            return Verdict::Untrusted;
    }
    if (!found.isProtected || Normalised(found.entries) != Normalised(StoreEntries(rule))) return Verdict::Rewrite;
    return Verdict::Use;
}

StoreRule InstallFolderRule() {
    return {kAdministratorsSid, {kSystemSid, kAdministratorsSid, kTrustedInstallerSid}, {}};
}

bool InstallFolderTrusted(const ObjectSecurity& found, const StoreRule& rule) {
    ObjectSecurity judged = found;
    std::erase_if(judged.entries, [](const AccessEntry& entry) {
        return entry.kind == AccessEntry::Kind::Allow && entry.sid == kCreatorOwnerSid &&
               (entry.flags & INHERIT_ONLY_ACE);
    });
    return Judge(judged, rule, kReadAndExecute) != Verdict::Untrusted;
}

}  // namespace core
