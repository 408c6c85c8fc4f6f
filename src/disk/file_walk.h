#pragma once
// The files of a path, for the size calculation and the download-folder
// move. A walk never enters, counts or reports a junction, a symbolic link
// or any other reparse point, the path itself included: a link back to a
// parent folder cannot make it endless, and nothing behind a link is
// measured or moved.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace disk {

// `path` is the file's full path, valid during the call only.
using FileVisitor = std::function<void(std::wstring_view path, std::uint64_t size)>;

// Visits `path` itself when it is a file, or every file below it when it is
// a folder (listed with "*.*", sub-folders descended). A path that does not
// exist visits nothing.
void ForEachFile(const std::wstring& path, const FileVisitor& visit);

}  // namespace disk
