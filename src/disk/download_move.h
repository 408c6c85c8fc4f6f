#pragma once
// The download-folder move, which cannot leave the user worse off: every
// selected file is copied first (under a part name beside its destination,
// renamed once complete, never over a file there); only when every one has
// arrived are the settings pointed at the target, all three or none; only
// then are the sources deleted, each one only while it is still the file
// that was copied; last the emptied old folders go. A copy that fails, or
// settings that cannot be written, take the move back: the copies made go
// again and the sources and settings stay as they were.
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

// The worker, with the move counters (GetCopyNumber) updated as it goes.
// Every file of `sources` counts in the total: it is copied, or its copy
// fails (also when it lies in none of the old folders or its destination
// folder cannot be made), except a file that is already where it would go.
// A move taken back ends with every file counted as a failed copy, or with
// -1 failures when the settings could not be written.
void RunDownloadMove(const std::vector<std::wstring>& sources, const std::wstring& target,
                     DownloadSettings& settings);

// Starts the move of the array of source paths into the target folder (as
// the folder dialog gives it; created when missing): 0, -3 when the target
// is not a usable folder or lies inside a source (or a source inside it),
// or it or a source is a place no move may take part in (movable_folders.h),
// or the busy word while a move runs.
engine::Value GetCopyMoveDiskPath(app::BridgeArgs args);

}  // namespace disk
