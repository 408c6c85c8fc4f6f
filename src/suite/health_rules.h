#pragma once
// The rules of the health display: the score of a one-click scan, the status
// class of a stored status text, and the time since the last scan.
#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "junk/junk_lists.h"
#include "registry/registry_issue.h"

namespace suite {

// 100 less the weight of every category that found something (a junk
// category weighs what cleaning it earns back).
int HealthScore(const std::array<bool, registry::kRegistryCategoryCount>& registryFound,
                const std::array<bool, junk::kJunkCategoryCount>& junkFound);

// 0 to 3 by quarters of 0..100, 6 for exactly 1000, 255 otherwise (also for
// a missing or unreadable value).
int HealthStatusClass(std::optional<std::wstring_view> storedStatus);

// "YYYY-MM-DD HH:MM:SS" read at its fixed positions and checked; empty when a
// field is out of range.
std::optional<std::tm> ParseOneClickTime(std::wstring_view text);

// "<n> 1" minutes below 3660 seconds (negative included), "<n> 2" hours
// below a day, "<n> 3" days.
std::wstring ElapsedText(std::int64_t seconds);

inline constexpr wchar_t kNeverScanned[] = L"You have not maked an overall scanning!";

}  // namespace suite
