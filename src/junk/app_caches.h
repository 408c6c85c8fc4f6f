#pragma once
// The group "Browsers and applications" of the junk categories (13 to 20):
// the browsers' caches, the graphics drivers' shader caches and the crash
// dumps. A browser's cache folders are found from its own layout inside the
// account's AppData folders, and only the cache folders named here are
// taken: never a profile's cookies, history, passwords, sessions,
// bookmarks, extensions or site storage, so that a user whose cache is
// cleaned stays signed in and loses nothing but time.
#include <string>
#include <string_view>
#include <vector>

#include "junk/junk_categories.h"

namespace junk {

inline constexpr int kChromeCategory = 13;
inline constexpr int kEdgeCategory = 14;
inline constexpr int kBraveCategory = 15;
inline constexpr int kVivaldiCategory = 16;
inline constexpr int kOperaCategory = 17;
inline constexpr int kFirefoxCategory = 18;
inline constexpr int kShaderCacheCategory = 19;
inline constexpr int kCrashDumpsCategory = 20;

bool IsAppCategory(int category);

struct Browser {
    int category;
    const wchar_t* name;     // as the page names it
    const wchar_t* program;  // its process's file name
};
// The browser whose cache category `category` is; null for the others.
const Browser* BrowserOf(int category);

// Whether the folder `name` of a Chromium browser's User Data is a profile:
// "Default", "Profile <n>", or any folder that holds a "Preferences" file.
bool IsChromiumProfile(std::wstring_view name, bool holdsPreferences);

// Where the program of category `category` keeps its data for the account
// that `sources` describe (a browser's User Data, Firefox's profiles, the
// shader and crash-dump folders): the category is shown when one of them is
// there. Empty for the thirteen, which are always shown.
std::vector<std::wstring> ProgramFolders(int category, const CategorySources& sources);

// Whether the category is shown for the account: one of the thirteen, or its
// program's folder is there.
bool CategoryPresent(int category, const CategorySources& sources);

// The account's cache folders of category `category` (13 to 20) as the
// program's layout on disk names them (not yet checked: AccountOwnFolders
// keeps those inside the account's AppData folders). Folders of a User Data
// that are links are not looked into.
std::vector<std::wstring> AppCacheFolders(int category, const CategorySources& sources);

}  // namespace junk
