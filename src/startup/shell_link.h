#pragma once
// Shortcut files (.lnk) through the shell's link object.
#include <optional>
#include <string>

namespace startup {

// The target of the shortcut at `path` (empty for a link without a file-system
// target); nothing when the file is not a shortcut.
std::optional<std::wstring> ReadShortcutTarget(const std::wstring& path);

// Writes a shortcut to `target` at `path`.
bool WriteShortcut(const std::wstring& path, const std::wstring& target, const std::wstring& workingFolder,
                   const std::wstring& description);

}  // namespace startup
