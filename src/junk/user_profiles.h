#pragma once
// Every local user's profile, for a clean run as SYSTEM or by an
// administrator for all users: which accounts count, where each profile's
// own folders lie, and its share of the per-user categories. Everything in
// a profile is written by its user, whom the elevated cleaner does not
// trust: its folders are found from the profile's own layout, checked to lie
// inside it, and what is listed there goes through the one checked deletion.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "junk/junk_categories.h"
#include "junk/junk_lists.h"

namespace junk {

// Whether the profile list's entry `sid` is a user's account: S-1-5-21-...
// (local and domain accounts). SYSTEM, LocalService, NetworkService and the
// ".bak" copies Windows leaves of a damaged profile are not.
bool IsUserProfileSid(std::wstring_view sid);

// The local AppData folder of the profile at `root` (plain): the value
// "Local AppData" of the user's User Shell Folders (`shellValue`, when the
// user's hive is loaded) expanded against the profile, when it lies inside
// the profile; otherwise "<root>\AppData\Local". A user may write anything
// into that value.
std::wstring ProfileLocalAppData(const std::wstring& root, const std::optional<std::wstring>& shellValue,
                                 const std::wstring& windowsFolder);

struct UserProfile {
    std::wstring sid;
    std::wstring root;        // plain, as the machine's list of profiles names it
    bool hiveLoaded = false;  // HKEY_USERS\<sid> is there: the user's registry may be read
    std::wstring localAppData;
    std::wstring roamingAppData;  // as localAppData, from the value "AppData"
    std::optional<std::wstring> userTemp;  // the loaded hive's Environment TEMP
};

// The user profiles of this machine's list of profiles (HKLM ProfileList),
// in its order. A user's registry is read only when its hive is loaded.
std::vector<UserProfile> LocalUserProfiles();

// What the category walks take for that profile: its local AppData, where
// that lies once links are resolved, its TEMP, and the machine's protected
// folders.
CategorySources ProfileSources(const UserProfile& profile, const ProtectedFolders& protectedFolders);

// The folders a walk of category `category` is given for the profile: its
// own folders of the category (AccountOwnFolders, then WalkRoots), or for
// the recycle bin each fixed drive's "$Recycle.Bin\<SID>" that is a plain
// folder reached without a link.
std::vector<std::wstring> ProfileWalkRoots(int category, const UserProfile& profile, const CategorySources& sources);

// Walks category `category` of the profile into `list` and `emptyFolders`
// (the walk of its folders, what the keep list keeps taken out). False when
// the stop flag ended it.
bool ScanProfileCategory(int category, const UserProfile& profile, const CategorySources& sources, JunkFileList& list,
                         JunkFileList& emptyFolders);

// Walks the machine's share of category `category` (MachineFoldersOf, as
// `sources` name it) into `list` and `emptyFolders`, as
// ScanProfileCategory does. False when the stop flag ended it.
bool ScanMachineShare(int category, const CategorySources& sources, JunkFileList& list, JunkFileList& emptyFolders);

}  // namespace junk
