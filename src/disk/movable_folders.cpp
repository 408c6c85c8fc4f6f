#include "disk/movable_folders.h"

#include <optional>

#include "common/listed_delete.h"

namespace disk {

namespace {

// Where `plain` leads: the final path of the nearest file or folder at or
// above it that can be opened, followed by the rest of `plain`. Nothing
// when not even its root can be opened.
std::optional<std::wstring> FinalPlace(const std::wstring& plain) {
    std::wstring rest;
    for (std::wstring place = plain;;) {
        if (const std::optional<std::wstring> final = junk::FinalPathOf(place))
            return junk::PlainFolder(*final + L"\\" + rest);
        const std::size_t cut = place.find_last_of(L'\\', place.size() - 2);
        if (place.size() < 2 || cut == std::wstring::npos || cut < 2) return std::nullopt;
        rest = place.substr(cut + 1) + (rest.empty() ? L"" : L"\\") + rest;
        place.resize(place[cut - 1] == L':' ? cut + 1 : cut);  // "C:\" keeps its backslash
    }
}

}  // namespace

bool IsMovablePath(const std::wstring& path, const junk::ProtectedFolders& folders) {
    const std::optional<std::wstring> plain = junk::PlainFolder(path);
    if (!plain || junk::IsUnmovableFolder(*plain, folders)) return false;
    const std::optional<std::wstring> final = FinalPlace(*plain);
    return !final || !junk::IsUnmovableFolder(*final, folders);
}

bool IsMovableTarget(const std::wstring& path, const junk::ProtectedFolders& folders) {
    return common::ResolvedFolder(path) && IsMovablePath(path, folders);
}

std::vector<DownloadFolder> MovableDownloadFolders(std::vector<DownloadFolder> settings,
                                                   const junk::ProtectedFolders& folders) {
    for (DownloadFolder& setting : settings)
        if (!setting.path.empty() && !IsMovablePath(setting.path, folders)) setting.path.clear();
    return settings;
}

}  // namespace disk
