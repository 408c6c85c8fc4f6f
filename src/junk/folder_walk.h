#pragma once
// The folder walks of the junk scans. A walk never enters a folder that is a
// junction, a symbolic link or any other reparse point, and never collects
// such an entry: what a link points to is not junk of this folder. A folder
// holding a link is therefore never empty. The folder a walk is given must
// not be a link either; the walk lists its entries under the folder's final
// path, which is what the clean later checks each opened file against.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "junk/junk_lists.h"

namespace junk {

// Mode 1 collects only files last written before Windows last started.
inline constexpr int kWalkAll = 0;
inline constexpr int kWalkSinceBoot = 1;

// Seconds since 1970 at which Windows last started, fixed when the program
// starts.
std::int64_t BootTime();

// Whole seconds since 1970 of a file time.
std::int64_t UnixSeconds(const FILETIME& time);
bool IsLink(DWORD attributes);
// True when the text from the name's last dot on equals one of `extensions`
// exactly (case-sensitive).
bool HasListedExtension(std::wstring_view name, const std::vector<std::wstring>& extensions);

// Collects the files below `folder` into `list` (system files excepted; in
// mode 1 also files written after BootTime) and appends every sub-folder
// whose whole subtree holds no file to `emptyFolders`, deepest first. True
// when the folder's subtree holds no file at all (or cannot be listed). In
// mode 0 the walk gives up, answering false, once the stop flag is set.
bool ScanJunkFolder(JunkFileList& list, JunkFileList& emptyFolders, const std::wstring& folder, int mode);

// Lists the file at `path` when it is a plain file (not a folder, not a
// link) in a folder that is not a link, under that folder's final path (the
// folder's own text being the walk's own folder, which no clean removes).
void ListSingleFile(JunkFileList& list, const std::wstring& path);

struct ExtensionRule {
    std::wstring folder;
    std::vector<std::wstring> extensions;
};
// Collects the files below the rule's folder whose extension is listed,
// except read-only and system files; file-free sub-folders go to
// `emptyFolders`. True when the subtree holds no file at all. The walk gives
// up, answering false, once the stop flag is set.
bool ScanFolderByExtension(JunkFileList& list, JunkFileList& emptyFolders, const ExtensionRule& rule);

}  // namespace junk
