#pragma once
// Who may do what in the program's data stores, as plain values: the entries
// a store folder's DACL is given, and whether an object found there already
// may be used. An elevated program must not use a folder or file that another
// account made or may change: whoever can write there can feed it what it
// reads or swap what it writes. The Win32 layer (data_stores.*) reads and
// writes the security descriptors; SIDs are their string forms ("S-1-5-18").
#include <windows.h>

#include <string>
#include <vector>

namespace core {

inline constexpr wchar_t kSystemSid[] = L"S-1-5-18";
inline constexpr wchar_t kAdministratorsSid[] = L"S-1-5-32-544";
inline constexpr wchar_t kUsersSid[] = L"S-1-5-32-545";
inline constexpr wchar_t kTrustedInstallerSid[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
inline constexpr wchar_t kCreatorOwnerSid[] = L"S-1-3-0";

// Full control, and read & execute, of a file or folder.
inline constexpr ACCESS_MASK kFullControl = FILE_ALL_ACCESS;
inline constexpr ACCESS_MASK kReadAndExecute = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;

// One entry of a DACL.
struct AccessEntry {
    enum class Kind { Allow, Deny, Other } kind = Kind::Allow;  // Other: callback, object, ... entries
    std::wstring sid;
    ACCESS_MASK mask = 0;
    BYTE flags = 0;  // inheritance: OBJECT_INHERIT_ACE, CONTAINER_INHERIT_ACE, INHERIT_ONLY_ACE, INHERITED_ACE
    bool operator==(const AccessEntry&) const = default;
};

// The owner and DACL of an object as read back.
struct ObjectSecurity {
    std::wstring owner;
    bool hasDacl = true;     // false: a null DACL, which grants everyone everything
    bool isProtected = false;  // SE_DACL_PROTECTED: nothing inherited from the parent
    std::vector<AccessEntry> entries;
};

// Who a store's object belongs to.
struct StoreRule {
    std::wstring owner;                     // of what is made
    std::vector<std::wstring> controllers;  // full control; one of them must own the object
    std::vector<std::wstring> readers;      // read & execute
};

// The machine store's folders: SYSTEM and Administrators, and Users to read
// where `usersRead` (never in a folder of backups).
StoreRule MachineRule(bool usersRead);
// A user store's folders: the account `accountSid`, SYSTEM and Administrators.
StoreRule AccountRule(const std::wstring& accountSid);

// The entries a store object's protected DACL holds: full control for each
// controller, read & execute for each reader, inherited by the files and
// folders made inside.
std::vector<AccessEntry> StoreEntries(const StoreRule& rule);

// `mask` with its generic rights turned into the file rights they stand for.
ACCESS_MASK FileRights(ACCESS_MASK mask);

enum class Verdict {
    Use,        // as it is
    Rewrite,    // trusted, but its DACL is not the rule's: give it the rule's entries
    Untrusted,  // another account made it or may change it: never use it
};

// Whether an existing object may be used: owned by a controller, with a
// DACL in which nobody else is allowed more than `othersMay` (read & execute
// for folders, nothing for the lock file). Entries that are not plain allow
// or deny entries cannot be judged and count against it.
Verdict Judge(const ObjectSecurity& found, const StoreRule& rule, ACCESS_MASK othersMay);

// A folder a package installed the program into, as Program Files' own
// folders are: SYSTEM, Administrators and TrustedInstaller control it.
StoreRule InstallFolderRule();

// Whether the elevated program may read what lies in such a folder: owned by
// one of `rule`'s controllers, nobody else allowed more than read & execute
// (Judge; the program reads it and never rewrites its DACL). An inherit-only
// CREATOR OWNER entry, which Program Files hands down, is left aside: it
// gives rights only to whoever makes something inside, and only a
// controller may.
bool InstallFolderTrusted(const ObjectSecurity& found, const StoreRule& rule);

}  // namespace core
