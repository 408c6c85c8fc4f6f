#pragma once
// Folders no junk folder may be: a junk folder taken from the environment or
// the registry (a user's TEMP value naming "C:\" or the profile) would
// otherwise offer the system's or the user's own files for deletion. The
// rules are plain functions of the texts; SystemProtectedFolders asks the
// machine which folders they protect.
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

// True for a plain folder that must not be walked: a drive's or a share's
// root, one of `protectedFolders` (plain folders), or a folder that holds
// one of them. Letter case aside.
bool IsProtectedFolder(std::wstring_view folder, const std::vector<std::wstring>& protectedFolders);

// `folders` (plain) without those that are the same as, or lie inside,
// another one kept: a folder reached twice is walked once, as part of the
// outer one. The order of the rest is kept.
std::vector<std::wstring> DistinctFolders(const std::vector<std::wstring>& folders);

// The Windows folder, System32 and SysWOW64, both Program Files folders,
// ProgramData, the folder of the users' profiles and every profile root, as
// the system, the environment and the registry name them; each plainly and,
// where it differs, as its final path.
std::vector<std::wstring> SystemProtectedFolders();

}  // namespace junk
