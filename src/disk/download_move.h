#pragma once
// The download-folder move: the settings are pointed at the target first,
// then the selected files are copied and deleted one by one, then the
// emptied old folders go. Nothing is ever lost: a source file is deleted
// only once its copy exists at the destination with the size the file was
// listed with, a file already at the destination is never overwritten, and
// a source that cannot be deleted stays beside its copy.
#include <string>
#include <vector>

#include "app/script_bridge.h"
#include "disk/download_folders.h"

namespace disk {

// The download-folder settings a move reads and rewrites.
class DownloadSettings {
public:
    virtual ~DownloadSettings() = default;
    virtual std::vector<DownloadFolder> Read() = 0;
    virtual bool Write(const std::wstring& target) = 0;
};
// The user's settings in the registry.
DownloadSettings& SystemDownloadSettings();

// Creates `folder` and every missing folder above it; true when it is a
// folder afterwards.
bool MakeFolder(const std::wstring& folder);

// The worker, with the move counters (GetCopyNumber) updated as it goes;
// afterwards the folders it emptied are removed.
// Every file of `sources` counts in the total: it is copied, or its copy
// fails (also when it lies in none of the old folders or its destination
// folder cannot be made), except a file that is already where it would go.
void RunDownloadMove(const std::vector<std::wstring>& sources, const std::wstring& target,
                     DownloadSettings& settings);

// Starts the move of the array of source paths into the target folder (as
// the folder dialog gives it; created when missing): 0, -3 when the target
// is not a usable folder, or the busy word while a move runs.
engine::Value GetCopyMoveDiskPath(app::BridgeArgs args);

}  // namespace disk
