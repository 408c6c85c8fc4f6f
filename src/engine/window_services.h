#pragma once
// What a page may ask of its window besides the native functions: the
// browser window's state, an address in the default browser, a folder in the
// file explorer, the folder dialog and a folder's listing. The decisions are
// plain functions; the rest are thin calls.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

enum class WindowState { Hidden, Minimized, Shown };
// "hidden", "minimized" or "shown"; anything else is no state.
std::optional<WindowState> ParseWindowState(std::wstring_view text);

// Only http and https addresses leave the program, and none with a control
// character or a quote (which would end the address in a command line).
// Addresses and folders open without the program's rights (shell_launch.h).
bool IsWebAddress(std::wstring_view address);
bool OpenWebAddress(const std::wstring& address);

// The explorer's command-line argument for `folder`: the folder quoted, or
// nothing for an empty folder or one with a quote or a control character.
std::optional<std::wstring> ExplorerArgument(std::wstring_view folder);
// Shows an existing folder in explorer.exe; false when it does not exist or
// cannot be shown.
bool ShowFolder(const std::wstring& folder);

// One entry of a folder listing: its name and its Windows file attributes
// (FILE_ATTRIBUTE_DIRECTORY marks a folder).
struct FolderEntry {
    std::wstring name;
    std::uint32_t attributes;
};
// The entries that `pattern` matches ("C:\Users\U\Downloads/*.*"; forward
// slashes are read as backslashes), in the order the file system lists them,
// "." and ".." included as it gives them. Nothing when the folder cannot be
// listed.
std::vector<FolderEntry> ListFolder(std::wstring pattern);

// A folder as the page names it: "file:///C:/Some%20Folder"; a path that is
// not absolute gives nothing.
std::optional<std::wstring> FileUrlOf(std::wstring_view path);
// The folder dialog (on the UI thread; it waits for the user): the chosen
// folder, or nothing when the user cancels.
std::optional<std::wstring> ChooseFolder();

}  // namespace engine
