#pragma once
// A caller's MAX_PATH text buffer followed by guard units that an exported
// function must never touch.
#include <windows.h>

#include <algorithm>
#include <array>
#include <string>

namespace testsupport {

struct GuardedBuffer {
    static constexpr wchar_t kGuard = 0xBEEF;
    std::array<wchar_t, MAX_PATH + 8> units;

    explicit GuardedBuffer(const std::wstring& text) {
        units.fill(kGuard);
        std::copy(text.begin(), text.end(), units.begin());
        units[text.size()] = L'\0';
    }
    wchar_t* data() { return units.data(); }
    std::wstring Text() const { return units.data(); }
    bool GuardIntact() const {
        return std::all_of(units.begin() + MAX_PATH, units.end(), [](wchar_t c) { return c == kGuard; });
    }
};

}  // namespace testsupport
