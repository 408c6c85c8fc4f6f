#pragma once
// Writing below a folder only through that folder. An elevated program that
// makes folders and files where an unelevated one can write must not be led
// elsewhere by a junction or link put in on the way (into System32, say).
// So a folder is opened once and checked: it is a folder, no link, and its
// final path is the path expected, letter case aside (so no folder above it
// is a link either). It is held open without sharing deletion, so that it
// cannot be renamed or replaced while held, and every folder and file below
// it is made relative to that handle by its single name (NtCreateFile with
// the handle as RootDirectory): nothing resolves the path above it again.
// What was made is checked the same way once it exists.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/handles.h"

namespace common {

class VerifiedFolder {
public:
    // Opens the existing folder `path` ("C:\..." or "\\server\share\...") and
    // checks it; nothing when it is missing, no folder, a link, or not where
    // its path says.
    static std::optional<VerifiedFolder> Open(const std::wstring& path);

    const std::wstring& Path() const { return path_; }
    HANDLE Handle() const { return handle_.get(); }

    // The folder `name` here, made when missing (`created` says whether it
    // was), opened and checked as above. Nothing for a name that is not one
    // plain component.
    std::optional<VerifiedFolder> Child(const std::wstring& name, bool* created = nullptr) const;

    // Makes the new file `name` here, opened for writing, renaming and
    // deleting and shared with nobody. Empty when something has that name
    // already, or when what was made is not at its expected path (it is
    // then deleted again).
    UniqueFile NewFile(const std::wstring& name) const;

    // Renames the open `file` (opened with DELETE) to `name` here, never over
    // anything that has the name; true when it arrived at its expected path.
    bool MoveHere(HANDLE file, const std::wstring& name) const;

    // Path() followed by `name`.
    std::wstring PathOf(std::wstring_view name) const;

private:
    VerifiedFolder(UniqueFile handle, std::wstring path) : handle_(std::move(handle)), path_(std::move(path)) {}

    UniqueFile handle_;
    std::wstring path_;
};

// Opens the folder `path`, making each missing folder down from the deepest
// one that exists, every one opened and checked as above and made relative
// to the one holding it. The folders made are appended to `created`,
// outermost first. Nothing when a folder on the way fails its check or
// cannot be made.
std::optional<VerifiedFolder> MakeVerifiedFolder(const std::wstring& path,
                                                 std::vector<std::wstring>* created = nullptr);

}  // namespace common
