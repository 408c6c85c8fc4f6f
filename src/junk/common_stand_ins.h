#pragma once
// Stand-ins for two shared helpers that the common folder is about to
// provide (common/size_text.h and common/env_path.h). Same names and
// signatures, so that replacing this header by those two is the whole merge.
#include <cstdint>
#include <string>
#include <string_view>

namespace common {

// The display text of a byte count ("<n> B", "<n> KB", "<n> MB", "<n> GB",
// truncated); empty above 2^40 bytes.
std::wstring MakeFileSize(std::uint64_t bytes);

// A variable's value by name; an undefined variable has the empty value.
std::wstring ReadEnvironmentVariable(const std::wstring& name);

// Expands the first "%name%" token of `path` into `expanded` (every
// occurrence of it); false, with `expanded` the path unchanged, when there is
// none. `alternative` is left empty here.
bool ExpandEnvironmentPath(std::wstring_view path, std::wstring& expanded, std::wstring& alternative);

}  // namespace common
