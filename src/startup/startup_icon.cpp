#include "startup/startup_icon.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <climits>

#include "common/handles.h"
#include "common/icon_image.h"
#include "common/png_image.h"

namespace startup {

std::vector<std::wstring> IconFilesOf(const StartupItem& item) {
    std::vector<std::wstring> files;
    // Wine's shell draws every shortcut as a bare shortcut arrow: the target
    // goes first, as Windows draws a shortcut without an icon of its own.
    const bool shortcut = item.uFilePathFlag == 0;
    if (shortcut && !item.strPath.empty()) files.push_back(item.strPath);
    if (!item.iconPath.empty() && item.iconPath != item.strPath) files.push_back(item.iconPath);
    return files;
}

const StartupItem* EntryWithIconPath(const std::vector<StartupItem>& items, std::wstring_view file) {
    if (file.empty()) return nullptr;
    const auto found =
        std::find_if(items.begin(), items.end(), [file](const StartupItem& item) { return item.iconPath == file; });
    return found == items.end() ? nullptr : &*found;
}

namespace {

// The file's own icon (the first of a program or an icon file), else the
// shell's icon for its type (a document's, a program without one). None for a
// file that is not there. Wine's shell gives every program the one generic
// program icon; a program's own is read from its resources.
common::UniqueIcon FileIcon(const std::wstring& file) {
    HICON own = nullptr;
    const UINT extracted = ExtractIconExW(file.c_str(), 0, &own, nullptr, 1);
    if (extracted != 0 && extracted != UINT_MAX && own) return common::UniqueIcon(own);
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(file.c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_LARGEICON)) return {};
    return common::UniqueIcon(info.hIcon);
}

}  // namespace

std::optional<std::vector<std::uint8_t>> StartupIconPng(std::wstring_view file) {
    const StartupItem* entry = EntryWithIconPath(StartupItemList(), file);
    if (!entry) return std::nullopt;
    for (const std::wstring& candidate : IconFilesOf(*entry)) {
        const common::UniqueIcon icon = FileIcon(candidate);
        if (!icon) continue;
        const std::optional<common::RgbaImage> image = common::IconImage(icon.get());
        if (!image) continue;
        std::vector<std::uint8_t> png = common::PngOfRgba(image->width, image->height, image->pixels);
        if (!png.empty()) return png;
    }
    return std::nullopt;
}

}  // namespace startup
