#pragma once
// The size calculation of files and folders that the download-folder tab
// shows: never refused, one worker at a time, each request reported once
// unless a later one replaced it while it waited.
#include <cstdint>
#include <string>
#include <vector>

#include "core/script_bridge.h"

namespace disk {

// The bytes of a file, or of every file below a folder; 0 for a path that
// does not exist. Links are neither entered nor counted.
std::uint64_t PathSize(const std::wstring& path);

// The worker: "SetFileOrDirSize" once with [[path, size text], ...] in the
// order of `paths`.
void RunPathSizes(const std::vector<std::wstring>& paths);

// Asks the size worker for the array of path texts (forward slashes become
// backslashes): started when none works, else the request waits for it, in
// place of any request already waiting. Answers 0.
engine::Value GetFileOrDirSize(core::BridgeArgs args);

}  // namespace disk
