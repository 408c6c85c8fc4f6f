#pragma once
// The path decisions of the download-folder move: which targets are usable,
// which folders a path needs, where each file goes, and which old folders
// may be tidied away afterwards.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace disk {

// The target folder as the move uses it, forward slashes turned into
// backslashes. Nothing unless it names a folder from a drive's root ("D:\..."):
// an empty text, one without the drive colon, or one relative to a drive's
// current folder ("D:", "D:dl") is refused.
std::optional<std::wstring> MoveTargetPath(std::wstring_view text);

// The folders that must exist before `path` can be created, from the drive
// down: the text before each backslash, the path's own name excluded
// ("D:\a\b.txt" needs "D:" and "D:\a"). Empty when the path holds no
// backslash after its first character.
std::vector<std::wstring> FoldersAbove(std::wstring_view path);

// Where the move puts `file`: `target` followed by the file's place below the
// first old folder that holds it (exact, case-sensitive comparison of whole
// folder names). Old folders of one character or less are skipped. Nothing
// when no old folder holds the file.
std::optional<std::wstring> MoveDestination(std::wstring_view file, const std::vector<std::wstring>& oldFolders,
                                            std::wstring_view target);

// True when `path` is `folder` or lies below it, compared without regard to
// letter case as Windows compares file names.
bool IsAtOrBelow(std::wstring_view path, std::wstring_view folder);

// Whether the target lies at or below one of the sources, or a source below
// the target: such a move would copy into what it copies from.
bool IsNestedMove(const std::vector<std::wstring>& sources, std::wstring_view target);

// The folders a move may remove once they are empty, starting at `folder`
// and going up: those at or below an old folder (of more than one
// character) that neither are the target nor hold it. The first folder
// that is not removed ends the tidying.
std::vector<std::wstring> FoldersToTidy(std::wstring_view folder, const std::vector<std::wstring>& oldFolders,
                                        std::wstring_view target);

}  // namespace disk
