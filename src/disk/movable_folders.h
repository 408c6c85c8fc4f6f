#pragma once
// Which places a Downloads move may take from or write into, and so which
// Downloads settings the system disk page offers: never a drive's root, the
// profile root, the Desktop or another of the users' data folders, the
// system's folders or another account's profile (junk::IsUnmovableFolder).
// The settings are HKEY_CURRENT_USER values any unelevated program writes,
// and the elevated move empties and removes its sources.
#include <string>
#include <vector>

#include "disk/download_folders.h"
#include "junk/protected_folders.h"

namespace disk {

// Whether the folder or file at `path` may be a move's source (or the
// target, before it is made): its text, and where it leads (the final path
// of the nearest place at or above it that exists, links followed, with
// the rest of the text), pass the rule.
bool IsMovablePath(const std::wstring& path, const junk::ProtectedFolders& folders);

// Whether the target folder `path`, made already, may be written into: a
// folder that is no link, movable as above.
bool IsMovableTarget(const std::wstring& path, const junk::ProtectedFolders& folders);

// `settings` with the path of each one that may not be moved emptied, so
// that the page leaves it out.
std::vector<DownloadFolder> MovableDownloadFolders(std::vector<DownloadFolder> settings,
                                                   const junk::ProtectedFolders& folders);

}  // namespace disk
