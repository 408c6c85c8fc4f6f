#include "common/size_text.h"

namespace common {

std::wstring MakeFileSize(std::uint64_t bytes) {
    struct Unit {
        std::uint64_t upTo;  // the largest count shown in this unit
        std::uint64_t size;
        const wchar_t* name;
    };
    // A count equal to the next unit's size still shows in the smaller unit:
    // 1024 bytes is "1024 B".
    static constexpr Unit kUnits[] = {
        {1ull << 10, 1, L" B"},
        {1ull << 20, 1ull << 10, L" KB"},
        {1ull << 30, 1ull << 20, L" MB"},
        {1ull << 40, 1ull << 30, L" GB"},
    };
    for (const Unit& unit : kUnits)
        if (bytes <= unit.upTo) return std::to_wstring(bytes / unit.size) + unit.name;
    return {};
}

}  // namespace common
