#include "startup/startup_icon.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "common/handles.h"
#include "common/icon_image.h"
#include "common/png_image.h"

namespace startup {

std::vector<std::wstring> IconFilesOf(const StartupItem& item) {
    std::vector<std::wstring> files;
    if (!item.iconPath.empty()) files.push_back(item.iconPath);
    const bool shortcut = item.uFilePathFlag == 0;
    if (shortcut && !item.strPath.empty() && item.strPath != item.iconPath) files.push_back(item.strPath);
    return files;
}

const StartupItem* EntryWithIconPath(const std::vector<StartupItem>& items, std::wstring_view file) {
    if (file.empty()) return nullptr;
    const auto found =
        std::find_if(items.begin(), items.end(), [file](const StartupItem& item) { return item.iconPath == file; });
    return found == items.end() ? nullptr : &*found;
}

std::optional<std::vector<std::uint8_t>> StartupIconPng(std::wstring_view file) {
    const StartupItem* entry = EntryWithIconPath(StartupItemList(), file);
    if (!entry) return std::nullopt;
    for (const std::wstring& candidate : IconFilesOf(*entry)) {
        // The shell's icon of the file: a program's own, a shortcut's (without
        // the shortcut arrow), a document's by its type. None for a file that
        // is not there.
        SHFILEINFOW info{};
        if (!SHGetFileInfoW(candidate.c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_LARGEICON)) continue;
        const common::UniqueIcon icon(info.hIcon);
        const std::optional<common::RgbaImage> image = common::IconImage(icon.get());
        if (!image) continue;
        std::vector<std::uint8_t> png = common::PngOfRgba(image->width, image->height, image->pixels);
        if (!png.empty()) return png;
    }
    return std::nullopt;
}

}  // namespace startup
