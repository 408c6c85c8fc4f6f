#pragma once
// The download-folder move, which cannot leave the user worse off: every
// selected file is copied first (under a part name in the target, renamed
// into place once complete, never over a file there); only when every one
// has arrived are the settings pointed at the target, all three or none;
// only then are the sources deleted, each one only while it is still the
// file that was copied; last the emptied old folders go. A copy that fails,
// or settings that cannot be written, take the move back: the copies made go
// again and the sources and settings stay as they were.
//
// The move writes only through folders it has checked and holds open
// (common/verified_folder.*): the target, and each folder below it, made
// relative to the one holding it; a folder that is a link, or not where its
// path says, refuses the move. It reads each source through the handle that
// shows it is the listed file, and records in the journal what it makes
// before it is in place (disk/move_journal.*), so that the next start takes
// back or finishes a move that was cut short (disk/move_recovery.*).
#include <cstdint>
#include <string>
#include <vector>

#include "core/script_bridge.h"
#include "disk/download_folders.h"

namespace disk {

// The download-folder settings a move reads and rewrites.
class DownloadSettings {
public:
    virtual ~DownloadSettings() = default;
    virtual std::vector<DownloadFolder> Read() = 0;
    // `underway`: the journal record of the move that writes them.
    virtual bool Write(const std::wstring& target, std::int64_t underway) = 0;
};
// The user's settings in the registry.
DownloadSettings& SystemDownloadSettings();

// The worker, with the move counters (GetCopyNumber) updated as it goes.
// Every file of `sources` counts in the total: it is copied, or its copy
// fails (also when it lies in none of the old folders or its destination
// folder cannot be made), except a file that is already where it would go.
// A move taken back ends with every file counted as a failed copy, or with
// -1 failures when the settings could not be written, or when the move was
// refused before its first copy (its target no longer the checked folder,
// or its journal record not written).
void RunDownloadMove(const std::vector<std::wstring>& sources, const std::wstring& target,
                     DownloadSettings& settings);

// Starts the move of the array of source paths into the target folder (as
// the folder dialog gives it; created when missing): 0, -3 when the target
// is not a usable folder or lies inside a source (or a source inside it),
// or it or a source is a place no move may take part in (movable_folders.h),
// or the busy word while a move runs.
engine::Value GetCopyMoveDiskPath(core::BridgeArgs args);

}  // namespace disk
