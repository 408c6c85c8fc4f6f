#include "junk/common_stand_ins.h"

#include <windows.h>

namespace common {

std::wstring MakeFileSize(std::uint64_t bytes) {
    struct Unit {
        std::uint64_t limit;
        std::uint64_t divisor;
        const wchar_t* suffix;
    };
    static constexpr Unit kUnits[] = {
        {1024, 1, L" B"},
        {1024ull * 1024, 1024, L" KB"},
        {1024ull * 1024 * 1024, 1024ull * 1024, L" MB"},
        {1024ull * 1024 * 1024 * 1024, 1024ull * 1024 * 1024, L" GB"},
    };
    for (const Unit& unit : kUnits)
        if (bytes <= unit.limit) return std::to_wstring(static_cast<int>(bytes / unit.divisor)) + unit.suffix;
    return {};
}

std::wstring ReadEnvironmentVariable(const std::wstring& name) {
    const DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name.c_str(), value.data(), size));
    return value;
}

bool ExpandEnvironmentPath(std::wstring_view path, std::wstring& expanded, std::wstring& alternative) {
    expanded.assign(path);
    alternative.clear();
    const std::size_t open = path.find(L'%');
    const std::size_t close = open == std::wstring_view::npos ? open : path.find(L'%', open + 1);
    if (close == std::wstring_view::npos) return false;
    const std::wstring name(path.substr(open + 1, close - open - 1));
    const std::wstring token(path.substr(open, close - open + 1));
    const std::wstring value = ReadEnvironmentVariable(name);
    std::wstring result;
    std::size_t from = 0;
    for (std::size_t at; (at = expanded.find(token, from)) != std::wstring::npos; from = at + token.size())
        result.append(expanded, from, at - from).append(value);
    expanded = result.append(expanded, from);
    return true;
}

}  // namespace common
