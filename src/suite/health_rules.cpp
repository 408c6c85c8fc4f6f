#include "suite/health_rules.h"

#include <cwchar>

#include "junk/junk_categories.h"
#include <string>

namespace suite {

namespace {

// The number that `text` starts with, read as atoi reads it (leading blanks,
// a sign, digits); 0 when it starts with none.
long long LeadingNumber(std::wstring_view text) {
    const std::wstring copy(text);
    return std::wcstoll(copy.c_str(), nullptr, 10);
}

long long Field(std::wstring_view text, std::size_t position, std::size_t length) {
    return position < text.size() ? LeadingNumber(text.substr(position, length)) : 0;
}

}  // namespace

int HealthScore(const std::array<bool, registry::kRegistryCategoryCount>& registryFound,
                const std::array<bool, junk::kJunkCategoryCount>& junkFound) {
    int score = 100;
    for (const bool found : registryFound)
        if (found) score -= registry::kRegistryCategoryWeight;
    for (int category = 0; category < junk::kJunkCategoryCount; ++category)
        if (junkFound[category]) score -= junk::CategoryWeight(category);
    return score;
}

int HealthStatusClass(std::optional<std::wstring_view> storedStatus) {
    if (!storedStatus) return 255;
    const long long value = LeadingNumber(*storedStatus);
    if (value < 0) return 255;
    if (value <= 25) return 0;
    if (value <= 50) return 1;
    if (value <= 75) return 2;
    if (value <= 100) return 3;
    if (value == 1000) return 6;
    return 255;
}

std::optional<std::tm> ParseOneClickTime(std::wstring_view text) {
    std::tm time{};
    const long long year = Field(text, 0, 4), month = Field(text, 5, 2), day = Field(text, 8, 2);
    const long long hour = Field(text, 11, 2), minute = Field(text, 14, 2), second = Field(text, 17, 2);
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59)
        return std::nullopt;
    time.tm_year = static_cast<int>(year - 1900);
    time.tm_mon = static_cast<int>(month - 1);
    time.tm_mday = static_cast<int>(day);
    time.tm_hour = static_cast<int>(hour);
    time.tm_min = static_cast<int>(minute);
    time.tm_sec = static_cast<int>(second);
    time.tm_isdst = -1;
    return time;
}

std::wstring ElapsedText(std::int64_t seconds) {
    wchar_t text[32];
    if (seconds < 3660)
        std::swprintf(text, 32, L"%d 1", static_cast<int>(seconds / 60));
    else if (seconds / 3600 < 24)
        std::swprintf(text, 32, L"%d 2", static_cast<int>(seconds / 3600));
    else
        std::swprintf(text, 32, L"%d 3", static_cast<int>(seconds / 86400));
    return text;
}

}  // namespace suite
