#pragma once
// Byte counts as the documents show them: "<n> B", "<n> KB", "<n> MB" or
// "<n> GB", truncated to whole units.
#include <cstdint>
#include <string>

namespace common {

// The display text of a byte count; empty above 2^40 bytes, which has no unit.
std::wstring MakeFileSize(std::uint64_t bytes);

}  // namespace common
