#pragma once
// The program's two data stores, each a folder with an owner:
//   the machine store  %ProgramData%\Quillmark\Orvane   what belongs to the
//       machine (its database and backups, the operation lock); SYSTEM and
//       Administrators own it, Users may read where they need to, and a
//       folder of backups not even that;
//   a user store       %LOCALAPPDATA%\Quillmark\Orvane  what belongs to one
//       account (its database and backups); that account, SYSTEM and
//       Administrators, nobody else.
// Each folder on the way below the system's known folder is made with an
// explicit protected DACL (nothing inherited: ProgramData lets every user
// make files and folders). A folder found there already is used only when
// store_access.h's Judge trusts it; one that another account made or may
// change is renamed aside ("<name>.untrusted-<time>", its contents kept for
// an administrator to look at) and made afresh; a link or a file in its place,
// or one that cannot be moved, is refused with the reason.
#include <windows.h>

#include <optional>
#include <string>

#include "common/handles.h"
#include "core/store_access.h"

namespace core {

// A store folder made or checked: its path, or why it may not be used.
struct StoreFolder {
    std::wstring path;     // no trailing backslash; empty when refused
    std::wstring refusal;  // English, for the log and the command line
    explicit operator bool() const { return !path.empty(); }
};

// The machine store; `sub`, when given, a folder inside it with Users
// reading it only where `usersRead`.
StoreFolder MachineStore();
StoreFolder MachineStoreFolder(const std::wstring& sub, bool usersRead);
// The running account's store.
StoreFolder UserStore();
// Where the machine store lies, neither made nor checked: for a process
// without elevation, which may read it but never change it.
std::optional<std::wstring> MachineStorePath();

// The folder `name` inside the trusted folder `parent`, made by `rule` or
// found trusted (rewritten to the rule's entries where it is trusted but
// differs). What the two stores are made of; tests use it under a folder of
// their own.
StoreFolder EnsureStoreFolder(const std::wstring& parent, const std::wstring& name, const StoreRule& rule);

// The name an untrusted folder is renamed to: "<name>.untrusted-<yyyyMMdd-HHmmss-fff>".
std::wstring UntrustedName(const std::wstring& name, const SYSTEMTIME& time);

// The owner and DACL of an open file or folder (opened with READ_CONTROL).
std::optional<ObjectSecurity> ReadSecurity(HANDLE object);

// Whether what ReadSecurity shows is `rule`'s to use (Judge), as far as the
// system can show it. Wine 8 keeps no security descriptor for a file: it
// shows the Unix mode bits as entries for SYSTEM, the running account (always
// the owner) and Everyone. Every Wine process runs as that account, so there
// it counts as one of the rule's controllers; Everyone's entries still show
// what another Unix user may do.
Verdict JudgeShown(const ObjectSecurity& found, StoreRule rule, ACCESS_MASK othersMay);
// `rule` as far as the system can show it: under Wine, the running account
// among its controllers (as JudgeShown counts it).
StoreRule ShownRule(StoreRule rule);

// A security descriptor for a new object: the rule's owner and its entries,
// protected. For CreateFileW and CreateDirectoryW.
class NewObjectSecurity {
public:
    explicit NewObjectSecurity(const StoreRule& rule);
    ~NewObjectSecurity();
    NewObjectSecurity(const NewObjectSecurity&) = delete;
    NewObjectSecurity& operator=(const NewObjectSecurity&) = delete;

    // Null when the descriptor could not be made.
    SECURITY_ATTRIBUTES* Attributes() { return attributes_.lpSecurityDescriptor ? &attributes_ : nullptr; }
    // Its DACL, for giving an existing object the rule's entries.
    PACL Dacl() const;

private:
    SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};


}  // namespace core
