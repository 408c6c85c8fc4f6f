#pragma once
// The figures of the drives: the system drive's capacity and free space for
// the usage bar, and every fixed drive's sizes as display text.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/script_bridge.h"

namespace disk {

// The drive of the system folder, as its letter and colon ("C:"): the text
// before the first backslash. Nothing when there is no backslash or nothing
// before it.
std::optional<std::wstring> SystemDriveOf(std::wstring_view systemDirectory);

// The roots ("X:\") of the drives of a GetLogicalDrives mask, A first.
std::vector<std::wstring> DriveRoots(DWORD mask);

// "%.1f GB" from 2^30 bytes on, else "%.1f MB".
std::wstring DriveSizeText(std::uint64_t bytes);

struct DriveFigures {
    std::wstring root;
    std::uint64_t totalBytes;
    std::uint64_t freeBytes;
};
// [{"first":root,"second":total text,"three":free text}, ...]
std::wstring DrivesInfoText(const std::vector<DriveFigures>& drives);

// [system drive, bytes available to the caller, total bytes] as texts;
// undefined when the drive or its sizes cannot be read. The argument is not
// read.
engine::Value GetDiskSize(core::BridgeArgs args);
// The fixed drives' figures as JSON text.
engine::Value GetDrivesInfo(core::BridgeArgs args);

}  // namespace disk
