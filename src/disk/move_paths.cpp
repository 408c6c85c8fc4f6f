#include "disk/move_paths.h"

#include <algorithm>
#include <cwctype>

#include "common/text.h"

namespace disk {

namespace {

// `path` starts with the folder `base` (given without its trailing
// backslash) followed by a backslash.
bool StartsWithFolder(std::wstring_view path, std::wstring_view base) {
    return path.size() > base.size() && path.starts_with(base) && path[base.size()] == L'\\';
}

}  // namespace

std::optional<std::wstring> MoveTargetPath(std::wstring_view text) {
    std::wstring path(text);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    if (path.size() < 3 || !std::iswalpha(path[0]) || path[1] != L':' || path[2] != L'\\') return std::nullopt;
    return path;
}

std::vector<std::wstring> FoldersAbove(std::wstring_view path) {
    std::vector<std::wstring> folders;
    const std::size_t last = path.rfind(L'\\');
    if (last == std::wstring_view::npos || last == 0) return folders;
    for (std::size_t end = path.find(L'\\'); end <= last; end = path.find(L'\\', end + 1))
        if (end > 0 && path[end - 1] != L'\\') folders.emplace_back(path.substr(0, end));
    return folders;
}

std::optional<std::wstring> MoveDestination(std::wstring_view file, const std::vector<std::wstring>& oldFolders,
                                            std::wstring_view target) {
    for (const std::wstring& folder : oldFolders) {
        if (folder.size() <= 1) continue;
        const std::wstring_view base = common::WithoutTrailingBackslashes(folder);
        if (StartsWithFolder(file, base))
            return std::wstring(common::WithoutTrailingBackslashes(target)) + std::wstring(file.substr(base.size()));
    }
    return std::nullopt;
}

bool IsAtOrBelow(std::wstring_view path, std::wstring_view folder) {
    const std::wstring lowerPath = common::LowerCase(common::WithoutTrailingBackslashes(path));
    const std::wstring lowerFolder = common::LowerCase(common::WithoutTrailingBackslashes(folder));
    return lowerPath == lowerFolder || StartsWithFolder(lowerPath, lowerFolder);
}

bool IsNestedMove(const std::vector<std::wstring>& sources, std::wstring_view target) {
    return std::any_of(sources.begin(), sources.end(), [target](const std::wstring& source) {
        return IsAtOrBelow(target, source) || IsAtOrBelow(source, target);
    });
}

std::vector<std::wstring> FoldersToTidy(std::wstring_view folder, const std::vector<std::wstring>& oldFolders,
                                        std::wstring_view target) {
    const auto held = [&oldFolders](std::wstring_view path) {
        return std::any_of(oldFolders.begin(), oldFolders.end(), [path](const std::wstring& old) {
            return old.size() > 1 && IsAtOrBelow(path, old);
        });
    };
    std::vector<std::wstring> folders;
    // A drive without its backslash ("D:") names the drive's current folder.
    for (std::wstring_view current = common::WithoutTrailingBackslashes(folder);
         current.find(L'\\') != std::wstring_view::npos && held(current) && !IsAtOrBelow(target, current);
         current = current.substr(0, current.rfind(L'\\')))
        folders.emplace_back(current);
    return folders;
}

}  // namespace disk
