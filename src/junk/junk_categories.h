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
};

// A drive path ("C:\...") or a share ("\\server\..."): not relative to
// the current drive or folder, as a path built from an undefined variable
// or an empty text would be.
bool IsAbsoluteFolder(const std::wstring& path);

// The folders of category `category` (0 to 12). A folder that is not an
// absolute path (an undefined variable or an empty text would make it
// relative to the current drive's root) is left out.
CategoryPlan PlanFor(int category, const CategorySources& sources);

// The sources as this process sees them.
CategorySources SystemSources();

// Health points that cleaning a non-empty category earns.
int CategoryWeight(int category);

}  // namespace junk
