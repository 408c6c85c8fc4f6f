#include "startup/startup_icon.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <mutex>

#include "common/icon_image.h"
#include "common/local_drive_path.h"
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

using Listed = std::shared_ptr<const std::vector<StartupItem>>;

std::mutex& ListedLock() {
    static std::mutex lock;
    return lock;
}

Listed& ListedEntries() {
    static Listed listed = std::make_shared<const std::vector<StartupItem>>();
    return listed;
}

Listed ListedNow() {
    const std::lock_guard guard(ListedLock());
    return ListedEntries();
}

// The first icon of `file` at the system's icon size. PrivateExtractIconsW
// reads an icon file, or a program's resources as data, and runs nothing.
common::UniqueIcon ResourceIcon(const wchar_t* file, int index) {
    const int size = GetSystemMetrics(SM_CXICON);
    HICON icon = nullptr;
    UINT id = 0;
    const UINT extracted = PrivateExtractIconsW(file, index, size, size, &icon, &id, 1, 0);
    if (extracted == 0 || extracted == UINT_MAX) return {};
    return common::UniqueIcon(icon);
}

}  // namespace

void PublishListedIcons(const std::vector<StartupItem>& items) {
    Listed listed = std::make_shared<const std::vector<StartupItem>>(items);
    const std::lock_guard guard(ListedLock());
    ListedEntries().swap(listed);
}

common::UniqueIcon ReadFileIcon(const std::wstring& file) {
    if (common::UniqueIcon own = ResourceIcon(file.c_str(), 0)) return own;
    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
    // Never SHGetFileInfoW on the file: it runs the icon handlers that the
    // file's type names, per-user ones (HKCU\Software\Classes) among them,
    // which would put code any user registers into the elevated program. The
    // stock icon is a resource of a system file, read as above (Wine's
    // SHGetStockIconInfo gives its place but no icon).
    SHSTOCKICONINFO stock{};
    stock.cbSize = sizeof stock;
    if (FAILED(SHGetStockIconInfo(SIID_APPLICATION, SHGSI_ICONLOCATION, &stock))) return {};
    return ResourceIcon(stock.szPath, stock.iIcon);
}

std::optional<std::vector<std::uint8_t>> StartupIconPng(std::wstring_view file, const IconReader& read) {
    const Listed listed = ListedNow();
    const StartupItem* entry = EntryWithIconPath(*listed, file);
    if (!entry) return std::nullopt;
    for (const std::wstring& candidate : IconFilesOf(*entry)) {
        if (!common::IsOnLocalFixedDrive(candidate)) continue;
        const common::UniqueIcon icon = read(candidate);
        if (!icon) continue;
        const std::optional<common::RgbaImage> image = common::IconImage(icon.get());
        if (!image) continue;
        std::vector<std::uint8_t> png = common::PngOfRgba(image->width, image->height, image->pixels);
        if (!png.empty()) return png;
    }
    return std::nullopt;
}

}  // namespace startup
