#pragma once
// Removing one file that was listed, and nothing else: the file is opened,
// checked to be the listed file itself (no link on the way to it), and
// deleted through that same handle, so its path is never resolved twice.
#include <windows.h>

#include <string>
#include <string_view>

#include "common/handles.h"

namespace common {

// Whether the final path the system answers for an opened file ("\\?\C:\...")
// names `path`, compared without regard to letter case.
bool NamesSameFile(std::wstring_view finalPath, std::wstring_view path);

// Opens the file at `path` with `access` and DELETE, sharing only reading,
// when it is a plain file reached without a link; empty otherwise. What the
// handle shows of the file goes to `information` when given.
UniqueFile OpenListedFile(const std::wstring& path, DWORD access, BY_HANDLE_FILE_INFORMATION* information = nullptr);

// Deletes the file opened by OpenListedFile: it goes when the handle closes.
bool DeleteOpenedFile(HANDLE file);

}  // namespace common
