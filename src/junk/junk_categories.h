#pragma once
// JunkCategory: the thirteen fixed places where Windows leaves removable
// files, then the browsers' and applications' caches (junk/app_caches.h). A
// category's index is its identity everywhere (lists, reports, rows,
// selections); the display names live in the documents.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "junk/protected_folders.h"

namespace junk {

enum class Walker { Folder, RecycleBin, Extension };

// What to walk for one category, in order.
struct CategoryPlan {
    Walker walker = Walker::Folder;
    std::vector<std::wstring> folders;
    std::vector<std::wstring> extensions;  // with their leading dot
    // Single files listed when each is a plain file in a plain folder (the
    // machine's memory dump), as absolute paths.
    std::vector<std::wstring> files;
};

// Where the folders come from.
struct CategorySources {
    // The accepted "TEMP" text of HKEY_CURRENT_USER\Environment, if any.
    std::optional<std::wstring> userTemp;
    std::function<std::wstring(const wchar_t* name)> variable;  // "" when undefined
    std::wstring systemDirectory;
    std::function<std::wstring(const std::wstring& path)> expand;  // first %token% expanded
    // This account's local AppData folder: its profile root as the
    // machine's list of profiles names it, + "\AppData\Local" (plain), and
    // where that lies, the profile root's final path + "\AppData\Local".
    // Empty when the profile is not known.
    std::wstring localAppData;
    std::wstring localAppDataFinal;
    // The roaming AppData folder, the same way (a browser keeps profiles there).
    std::wstring roamingAppData;
    std::wstring roamingAppDataFinal;
    ProtectedFolders protectedFolders;
};

// The account's temporary-files folder: the user's TEMP (expanded, plain)
// when it lies inside the account's local AppData and is not protected,
// else the account's default, "<local AppData>\Temp" (empty when the local
// AppData is not known). Any unelevated program can write TEMP, and the
// elevated cleaner deletes everything in this folder.
struct UserTempChoice {
    std::wstring folder;
    std::string refusal;  // why the user's TEMP was not taken; empty when it was, or there is none
};
UserTempChoice ChooseUserTemp(const CategorySources& sources);

// The usable folders among `folders` that lie inside the account's local
// AppData: the account's own caches and temporary files are looked for
// there only, wherever the environment says its profile is.
std::vector<std::wstring> AccountFolders(const std::vector<std::wstring>& folders, const CategorySources& sources);

// The folders among `folders` that may be walked, written plainly: not an
// absolute path (an undefined variable or an empty text would make it
// relative to the current drive's root), a protected folder, or one reached
// before (or lying inside another) are left out.
std::vector<std::wstring> UsableFolders(const std::vector<std::wstring>& folders, const CategorySources& sources);

// Whether each account has its own share of category `category` (its
// temporary files, caches and recycle bin) besides the machine's.
bool IsPerUserCategory(int category);

// The folders of category `category` that belong to the account the sources
// describe (inside its local AppData; the recycle bin's are not folders of
// the profile): temporary files, the remote desktop cache, the thumbnails.
std::vector<std::wstring> AccountOwnFolders(int category, const CategorySources& sources);

// The folders of category `category`, as UsableFolders leaves them.
CategoryPlan PlanFor(int category, const CategorySources& sources);

// The folders of category `category` that are the machine's, not the
// account's (the Windows temporary folder of the temporary files), as
// PlanFor gives them.
std::vector<std::wstring> MachineFoldersOf(int category, const CategorySources& sources);

// The folders the walks are given: each usable folder's final path (links
// above it resolved; a folder that is itself a link, or missing, is left
// out), unless that is protected or reached before. A folder inside the
// account's local (roaming) AppData must still lie inside it once links are
// resolved.
std::vector<std::wstring> WalkRoots(const std::vector<std::wstring>& folders, const CategorySources& sources);

// The sources as this process sees them: the AppData folders are the
// known folders' answers when those lie inside the account's profile root,
// else the default places in it. A refused TEMP is logged with the reason.
CategorySources SystemSources();

// Health points that cleaning a non-empty category earns.
int CategoryWeight(int category);

}  // namespace junk
