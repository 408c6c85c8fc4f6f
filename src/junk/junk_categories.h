#pragma once
// JunkCategory: the thirteen fixed places where Windows leaves removable
// files. A category's index is its identity everywhere (lists, reports,
// rows, selections); the display names live in the documents.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace junk {

enum class Walker { Folder, RecycleBin, Extension };

// What to walk for one category, in order.
struct CategoryPlan {
    Walker walker = Walker::Folder;
    std::vector<std::wstring> folders;
    std::vector<std::wstring> extensions;  // with their leading dot
};

// Where the folders come from.
struct CategorySources {
    // The accepted "TEMP" text of HKEY_CURRENT_USER\Environment, if any.
    std::optional<std::wstring> userTemp;
    std::function<std::wstring(const wchar_t* name)> variable;  // "" when undefined
    std::wstring systemDirectory;
    std::function<std::wstring(const std::wstring& path)> expand;  // first %token% expanded
    // Plain folders that no junk folder may be or hold (protected_folders.h).
    std::vector<std::wstring> protectedFolders;
};

// The folders among `folders` that may be walked, written plainly: not an
// absolute path (an undefined variable or an empty text would make it
// relative to the current drive's root), a protected folder, or one reached
// before (or lying inside another) are left out.
std::vector<std::wstring> UsableFolders(const std::vector<std::wstring>& folders, const CategorySources& sources);

// The folders of category `category` (0 to 12), as UsableFolders leaves them.
CategoryPlan PlanFor(int category, const CategorySources& sources);

// The folders the walks are given: each usable folder's final path (links
// above it resolved; a folder that is itself a link, or missing, is left
// out), unless that is protected or reached before.
std::vector<std::wstring> WalkRoots(const std::vector<std::wstring>& folders,
                                    const std::vector<std::wstring>& protectedFolders);

// The sources as this process sees them.
CategorySources SystemSources();

// Health points that cleaning a non-empty category earns.
int CategoryWeight(int category);

}  // namespace junk
