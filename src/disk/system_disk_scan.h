#pragma once
// The system disk scan: four groups of disposable files on the system drive
// (the caches of Chrome, Firefox and the Windows Internet cache, and the
// temporary-file folders), walked on a worker and reported with running
// totals. The clean deletes what the last scan listed.
#include <string>
#include <vector>

#include "core/script_bridge.h"
#include "junk/junk_categories.h"
#include "junk/junk_lists.h"

namespace disk {

inline constexpr int kSystemDiskGroupCount = 4;
// The row kind of the groups in a clean's selection.
inline constexpr int kSystemDiskRows = 3;

// The process-wide list of group `group` (0 to 3).
junk::JunkFileList& SystemDiskList(int group);
void ResetSystemDiskLists();

// The folders of group `group`: below USERPROFILE for the three caches, the
// folders of the "Temporary Files" junk category for group 3. A folder that
// is not an absolute path (USERPROFILE undefined), is protected, or (a
// cache) lies outside the account's local AppData is left out.
std::vector<std::wstring> GroupFolders(int group, const junk::CategorySources& sources);

// The worker: each group walked (only files written before Windows last
// started), the undeletable files hidden, "SystemDiskCleanScanData" sent
// with the running count and size.
void RunSystemDiskScan();

// The organisation's policy names the page's groups all together by this
// word: 0 when the policy lets the page scan and clean, else the page's
// answer (core::kPolicyUnreadable; core::kPolicyTurnsOff when it turns
// "disk" off).
inline constexpr char kSystemDiskPolicyWord[] = "disk";
int SystemDiskPolicyRefusal();

// Starts the scan: 0, the busy word while a system disk scan or clean runs,
// or SystemDiskPolicyRefusal's answer.
engine::Value SetScandiskEntry(core::BridgeArgs args);

}  // namespace disk
