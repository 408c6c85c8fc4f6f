#include "startup/common_shim.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

namespace common {

namespace {

std::wstring ReplaceAll(std::wstring_view text, std::wstring_view token, std::wstring_view value) {
    std::wstring result;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(token, from)) != std::wstring_view::npos; from = at + token.size())
        result.append(text.substr(from, at - from)).append(value);
    return result.append(text.substr(from));
}

bool RunsUnderWow64() {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, BOOL*);
    auto isWow64 = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace

int GetWindowsGeneration() {
    using RtlGetNtVersionNumbersFn = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
        auto query = reinterpret_cast<RtlGetNtVersionNumbersFn>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetNtVersionNumbers")));
        if (query) {
            DWORD major = 0, minor = 0, build = 0;
            query(&major, &minor, &build);
            if (major == 6 && minor == 3) return 8;
            if (major == 10 && minor == 0) return 10;
        }
    }
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)) && version.dwMajorVersion == 6 &&
        version.dwMinorVersion == 1 && version.wProductType == VER_NT_WORKSTATION)
        return 7;
    return 0;
}

bool ExpandEnvironmentPath(std::wstring_view path, std::wstring& expanded, std::wstring& alternative) {
    expanded.assign(path);
    alternative.clear();
    const std::size_t open = path.find(L'%');
    const std::size_t close = open == std::wstring_view::npos ? open : path.find(L'%', open + 1);
    if (close == std::wstring_view::npos) return false;
    const std::wstring name(path.substr(open + 1, close - open - 1));
    const std::wstring_view token = path.substr(open, close - open + 1);
    std::wstring value(32767, L'\0');
    value.resize(GetEnvironmentVariableW(name.c_str(), value.data(), static_cast<DWORD>(value.size())));
    expanded = ReplaceAll(path, token, value);

    std::wstring lower = value;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](wchar_t c) { return std::towlower(c); });
    if (RunsUnderWow64()) {
        if (lower.find(L"program files (x86)") == 3) {
            lower.erase(16, 6);
            alternative = ReplaceAll(path, token, lower);
        }
        if (const std::size_t at = lower.find(L":\\windows\\system32"); at == 1) {
            lower.replace(11, 8, L"SysWOW64");
            alternative = ReplaceAll(path, token, lower);
        }
    }
    return true;
}

}  // namespace common
