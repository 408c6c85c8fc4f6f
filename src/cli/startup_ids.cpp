#include "cli/startup_ids.h"

#include <windows.h>

namespace cli {

namespace {

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// The Run keys' places by their path below the hive.
std::wstring RunPlace(const std::wstring& path) {
    static const struct {
        const wchar_t* path;
        const wchar_t* place;
    } kPlaces[] = {
        {L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"run"},
        {L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", L"runonce"},
        {L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", L"run32"},
        {L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce", L"runonce32"},
    };
    for (const auto& known : kPlaces)
        if (SameText(path, known.path)) return known.place;
    return L"run";
}

}  // namespace

std::wstring StartupId(const startup::StartupItem& item) {
    if (item.uFilePathFlag != 0)
        return std::wstring(item.hKey == HKEY_LOCAL_MACHINE ? L"hklm-" : L"hkcu-") + RunPlace(item.strPath) + L":" +
               item.strName;
    return std::wstring(item.folderHive == HKEY_LOCAL_MACHINE ? L"common-startup-folder:" : L"startup-folder:") +
           item.strName;
}

std::optional<std::size_t> FindStartupEntry(const std::vector<startup::StartupItem>& items, const std::wstring& word) {
    if (!word.empty() && word.size() < 9 && word.find_first_not_of(L"0123456789") == std::wstring::npos) {
        const unsigned long number = std::stoul(word);
        if (number == 0 || number > items.size()) return std::nullopt;
        return number - 1;
    }
    for (std::size_t i = 0; i < items.size(); ++i)
        if (SameText(StartupId(items[i]), word)) return i;
    return std::nullopt;
}

}  // namespace cli
