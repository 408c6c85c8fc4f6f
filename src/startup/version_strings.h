#pragma once
// Description and company of a program, from its version resource.
#include <optional>
#include <string>
#include <string_view>

#include "startup/startup_item.h"

namespace startup {

// The text after the last backslash, when that backslash is at index 1 or later.
std::optional<std::wstring> FileNameOfPath(std::wstring_view path);

// Sets `fileDescription` and `companyName` of the item from the program at
// `path`. A program without a version resource, or not on a local fixed disk
// (common/local_drive_path.h: its file is then not read), is described by its
// file name; each translation of the resource overwrites what an earlier one
// set.
void ReadVersionStrings(const std::wstring& path, StartupItem& item);

}  // namespace startup
