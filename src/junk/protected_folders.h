#pragma once
// The one rule for which folders a cleaner may walk and a Downloads move may
// take or fill. A junk folder taken from the environment or the registry (a
// user's TEMP value naming "C:\", the profile or Documents), or a Downloads
// setting naming the profile or the Desktop, would otherwise hand the user's
// own or the system's files to the elevated program. The rules are plain
// functions of the texts; SystemProtectedFolders asks the machine which
// folders they protect.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace junk {

// The absolute folder `path` names, written plainly: '/' read as '\', "."
// and ".." parts resolved, repeated and trailing backslashes dropped (a
// drive's root keeps its own: "C:\"), the "\\?\" prefix removed. Nothing
// for a path that is not absolute ("\temp", "temp", "") or that climbs above
// its root.
std::optional<std::wstring> PlainFolder(std::wstring_view path);

// True when the plain folder `inner` lies inside `outer`, below it (not `outer`
// itself), letter case aside.
bool LiesInside(std::wstring_view inner, std::wstring_view outer);

// The protected folders, each plainly and, where it differs, as its final
// path. How far each kind reaches:
//                 cleaners' walks     Downloads move
//   data          with inside         with inside
//   downloads     with inside         -
//   system        as itself           with inside
//   profiles      as itself           with inside
//   account       as itself           as itself
// "As itself" refuses the folder and every folder holding it, "with inside"
// every folder inside it too. Every drive's and share's root is refused.
struct ProtectedFolders {
    // The users' data folders (Documents, Desktop, Pictures, Music, Videos,
    // Favorites, OneDrive; other accounts' Downloads), as the system names
    // them and at their default places in every profile, and both Program
    // Files folders.
    std::vector<std::wstring> data;
    // This account's Downloads, the folder a Downloads move works on.
    std::vector<std::wstring> downloads;
    // The Windows folder, System32, SysWOW64 and ProgramData: the cleaners
    // walk places inside them (Temp, Prefetch, ...).
    std::vector<std::wstring> system;
    // Every other profile root (service profiles hold caches the cleaners walk).
    std::vector<std::wstring> profiles;
    // The profiles' folder, this account's profile root and its AppData
    // folders: the account's caches and temporary files lie inside them.
    std::vector<std::wstring> account;
};

// True for a plain folder that no cleaner may walk.
bool IsProtectedFolder(std::wstring_view folder, const ProtectedFolders& folders);

// True for a plain folder that may be neither the source nor the target of
// a Downloads move: the move empties and removes its sources and writes
// into its target.
bool IsUnmovableFolder(std::wstring_view folder, const ProtectedFolders& folders);

// `folders` (plain) without those that are the same as, or lie inside,
// another one kept: a folder reached twice is walked once, as part of the
// outer one. The order of the rest is kept.
std::vector<std::wstring> DistinctFolders(const std::vector<std::wstring>& folders);

// The final path of the file or folder at `path` (links followed),
// plainly; nothing when it cannot be opened.
std::optional<std::wstring> FinalPathOf(const std::wstring& path);

// A profile's path text (its ProfileImagePath, one of its User Shell
// Folders values) expanded and written plainly: %SystemRoot%, %windir% and
// %SystemDrive% from `windowsFolder`, %USERPROFILE% as `profile` (when not
// empty). Nothing when another variable stands in it (the environment is the
// user's to change) or the result is not an absolute path.
std::optional<std::wstring> ExpandedProfileText(std::wstring_view text, const std::wstring& windowsFolder,
                                                const std::wstring& profile);

// A folder of the profile at `root` (plain): `shellValue` (the user's User
// Shell Folders value, or the known folder's answer) expanded against the
// profile, when it lies inside the profile; otherwise `root` + `defaultPart`
// ("\AppData\Local"). A user may write anything into that value.
std::wstring ProfileShellFolder(const std::wstring& root, const std::optional<std::wstring>& shellValue,
                                const std::wstring& windowsFolder, std::wstring_view defaultPart);

// The system's Windows folder ("C:\Windows"); empty when it cannot be read.
std::wstring SystemWindowsFolder();

// The profile root of the account `sid` as the machine's list of profiles
// names it, plainly; nothing when it is not known.
std::optional<std::wstring> ProfileRootOf(const std::wstring& sid);

// This account's profile root (ProfileRootOf the process's account). Not
// from the environment or HKEY_CURRENT_USER, which unelevated programs write.
std::optional<std::wstring> AccountProfile();

// The protected folders of this machine and account, as the system, the
// environment and the registry name them.
ProtectedFolders SystemProtectedFolders();

}  // namespace junk
