#include "disk/drive_figures.h"

#include <cstdio>

#include "core/settings_store_values.h"
#include "junk/json_text.h"

namespace disk {

std::optional<std::wstring> SystemDriveOf(std::wstring_view systemDirectory) {
    const std::size_t backslash = systemDirectory.find(L'\\');
    // Nothing before the backslash would ask for the current directory's drive.
    if (backslash == std::wstring_view::npos || backslash == 0) return std::nullopt;
    return std::wstring(systemDirectory.substr(0, backslash));
}

std::vector<std::wstring> DriveRoots(DWORD mask) {
    std::vector<std::wstring> roots;
    for (int drive = 0; drive < 26; ++drive)
        if (mask & (1u << drive)) roots.push_back({static_cast<wchar_t>(L'A' + drive), L':', L'\\'});
    return roots;
}

std::wstring DriveSizeText(std::uint64_t bytes) {
    constexpr std::uint64_t kGigabyte = 1073741824;
    constexpr double kMegabyte = 1048576;
    wchar_t text[64];
    if (bytes >= kGigabyte)
        std::swprintf(text, std::size(text), L"%.1f GB", static_cast<double>(bytes) / kGigabyte);
    else
        std::swprintf(text, std::size(text), L"%.1f MB", static_cast<double>(bytes) / kMegabyte);
    return text;
}

std::wstring DrivesInfoText(const std::vector<DriveFigures>& drives) {
    const junk::Json array(cJSON_CreateArray());
    for (const DriveFigures& drive : drives) {
        cJSON* entry = cJSON_CreateObject();
        junk::AddTextMember(entry, "first", drive.root);
        junk::AddTextMember(entry, "second", DriveSizeText(drive.totalBytes));
        junk::AddTextMember(entry, "three", DriveSizeText(drive.freeBytes));
        cJSON_AddItemToArray(array.get(), entry);
    }
    return junk::PrintJson(array.get());
}

engine::Value GetDiskSize(core::BridgeArgs) {
    wchar_t systemDirectory[MAX_PATH] = {};
    GetSystemDirectoryW(systemDirectory, MAX_PATH);
    const std::optional<std::wstring> drive = SystemDriveOf(systemDirectory);
    if (!drive) return {};
    ULARGE_INTEGER available{}, total{};
    if (!GetDiskFreeSpaceExW(drive->c_str(), &available, &total, nullptr)) return {};
    return engine::Value::Array({*drive, core::DecimalText(static_cast<std::int64_t>(available.QuadPart)),
                                 core::DecimalText(static_cast<std::int64_t>(total.QuadPart))});
}

engine::Value GetDrivesInfo(core::BridgeArgs) {
    std::vector<DriveFigures> drives;
    for (const std::wstring& root : DriveRoots(GetLogicalDrives())) {
        if (GetDriveTypeW(root.c_str()) != DRIVE_FIXED) continue;
        ULARGE_INTEGER total{}, free{};
        if (!GetDiskFreeSpaceExW(root.c_str(), nullptr, &total, &free)) continue;
        drives.push_back({root, total.QuadPart, free.QuadPart});
    }
    return DrivesInfoText(drives);
}

}  // namespace disk
