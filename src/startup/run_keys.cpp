#include "startup/run_keys.h"

#include <cstring>
#include <cwchar>

#include "startup/command_line.h"
#include "startup/startup_key.h"
#include "startup/version_strings.h"

namespace startup {

std::span<const RunKey> RunKeys() {
    static const RunKey keys[] = {
        {HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
        {HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
        {HKEY_CURRENT_USER, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
        {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
        {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"},
        {HKEY_CURRENT_USER, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"},
    };
    return keys;
}

std::optional<std::wstring> RunValueText(DWORD type, std::span<const BYTE> data) {
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    if (data.empty()) return std::wstring();
    if (data.size() % sizeof(wchar_t) != 0) return std::nullopt;
    std::wstring units(data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(units.data(), data.data(), data.size());
    if (units.back() != L'\0') return std::nullopt;
    units.resize(std::wcslen(units.c_str()));
    return units;
}

void ReadRunKey(const RunKey& key, std::vector<StartupItem>& items) {
    const common::UniqueRegKey opened = OpenStartupKey(key.root, key.path);
    if (!opened) return;
    DWORD valueCount = 0;
    if (RegQueryInfoKeyW(opened.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0; index < valueCount; ++index) {
        wchar_t name[MAX_PATH] = {};
        DWORD nameLength = MAX_PATH;
        if (RegEnumValueW(opened.get(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        BYTE data[kRunValueBytes] = {};
        DWORD type = 0;
        DWORD size = sizeof data;
        if (RegQueryValueExW(opened.get(), name, nullptr, &type, data, &size) != ERROR_SUCCESS) continue;
        const std::optional<std::wstring> commandLine = RunValueText(type, std::span<const BYTE>(data, size));
        if (!commandLine || nameLength == 0) continue;
        StartupItem item;
        item.iconPath = CommandLineToProgramPath(*commandLine);
        item.strPath = key.path;
        item.hKey = key.root;
        item.uFilePathFlag = 1;
        item.strName = name;
        ReadVersionStrings(item.iconPath, item);
        items.push_back(std::move(item));
    }
}

}  // namespace startup
