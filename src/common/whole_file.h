#pragma once
// Files that appear whole or not at all. A new file is written under a name
// of its own beside its destination and renamed onto the destination only
// once complete, never over a file that exists; a failure on the way leaves
// nothing behind, so an interrupted write never blocks the next attempt.
#include <functional>
#include <span>
#include <string>

#include <windows.h>

namespace common {

// The part file's name for `destination`: beside it, distinct for each call.
std::wstring PartFileName(const std::wstring& destination, unsigned number);

// Makes a new, empty part file of this process beside `destination`, lets
// `write` fill it (through its path) and renames it to `destination`. False
// when the destination exists, `write` fails or the rename fails; the part
// file is then removed.
bool CreateFileWhole(const std::wstring& destination, const std::function<bool(const std::wstring& part)>& write);

// CreateFileWhole with `bytes` as the content.
bool CreateFileWithBytes(const std::wstring& destination, std::span<const BYTE> bytes);

}  // namespace common
