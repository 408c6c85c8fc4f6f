#include "registry/registry_restore.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "common/crash_point.h"
#include "common/handles.h"
#include "common/registry_value.h"
#include "registry/registry_access.h"
#include "registry/registry_issue.h"

namespace registry {

namespace {

constexpr std::wstring_view kHeader = L"Windows Registry Editor Version 5.00";

// A quoted text at the start of `line`, its escapes undone; what follows
// it goes to `rest`.
std::optional<std::wstring> Unquote(std::wstring_view line, std::wstring_view& rest) {
    if (line.empty() || line.front() != L'"') return std::nullopt;
    std::wstring text;
    for (std::size_t i = 1; i < line.size(); ++i) {
        const wchar_t c = line[i];
        if (c == L'"') {
            rest = line.substr(i + 1);
            return text;
        }
        if (c == L'\\') {
            if (++i == line.size()) return std::nullopt;
            text += line[i];
        } else {
            text += c;
        }
    }
    return std::nullopt;
}

std::optional<std::vector<BYTE>> HexBytes(std::wstring_view text) {
    std::vector<BYTE> bytes;
    std::size_t i = 0;
    while (i < text.size()) {
        if (i + 2 > text.size() || !std::iswxdigit(text[i]) || !std::iswxdigit(text[i + 1])) return std::nullopt;
        bytes.push_back(static_cast<BYTE>(std::wcstoul(std::wstring(text.substr(i, 2)).c_str(), nullptr, 16)));
        i += 2;
        if (i < text.size() && text[i++] != L',') return std::nullopt;
    }
    return bytes;
}

// One "name"=data line (or @=data).
std::optional<BackupValue> ParseValue(std::wstring_view line) {
    BackupValue value;
    std::wstring_view rest;
    if (line.starts_with(L"@")) {
        rest = line.substr(1);
    } else {
        std::optional<std::wstring> name = Unquote(line, rest);
        if (!name || name->empty()) return std::nullopt;
        value.name = std::move(*name);
    }
    if (!rest.starts_with(L"=")) return std::nullopt;
    rest.remove_prefix(1);
    if (rest.starts_with(L"\"")) {
        std::wstring_view after;
        const std::optional<std::wstring> text = Unquote(rest, after);
        if (!text || !after.empty()) return std::nullopt;
        common::RegistryValue stored = common::TextValue(*text);
        value.type = stored.type;
        value.data = std::move(stored.data);
        return value;
    }
    if (rest.starts_with(L"dword:")) {
        const std::wstring_view digits = rest.substr(6);
        if (digits.size() != 8 || !std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return std::iswxdigit(c); }))
            return std::nullopt;
        const DWORD number = std::wcstoul(std::wstring(digits).c_str(), nullptr, 16);
        value.type = REG_DWORD;
        const auto* bytes = reinterpret_cast<const BYTE*>(&number);
        value.data.assign(bytes, bytes + sizeof number);
        return value;
    }
    std::wstring_view hex;
    if (rest.starts_with(L"hex:")) {
        value.type = REG_BINARY;
        hex = rest.substr(4);
    } else if (rest.starts_with(L"hex(")) {
        const std::size_t close = rest.find(L"):");
        if (close == std::wstring_view::npos || close == 4) return std::nullopt;
        const std::wstring type(rest.substr(4, close - 4));
        if (!std::all_of(type.begin(), type.end(), [](wchar_t c) { return std::iswxdigit(c); })) return std::nullopt;
        value.type = std::wcstoul(type.c_str(), nullptr, 16);
        hex = rest.substr(close + 2);
    } else {
        return std::nullopt;
    }
    std::optional<std::vector<BYTE>> bytes = HexBytes(hex);
    if (!bytes) return std::nullopt;
    value.data = std::move(*bytes);
    return value;
}

// "HKEY_CURRENT_USER\Software\X" -> its root and the path below it.
std::optional<std::pair<std::uint32_t, std::wstring>> SplitKeyPath(const std::wstring& path) {
    const std::size_t slash = path.find(L'\\');
    const std::wstring_view rootName = std::wstring_view(path).substr(0, slash);
    for (const std::uint32_t root : {0x80000000u, 0x80000001u, 0x80000002u, 0x80000003u, 0x80000005u})
        if (rootName == RootName(root))
            return std::make_pair(root, slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1));
    return std::nullopt;
}

// Counts an entry back; the crash tests end a restore here, between
// entries.
void Restored(RestoreReport& report) {
    ++report.restored;
    common::CrashPoint("registry.restore");
}

}  // namespace

std::optional<std::vector<BackupKey>> ParseBackupText(std::wstring_view text) {
    std::vector<BackupKey> keys;
    bool header = false;
    while (!text.empty()) {
        const std::size_t end = text.find(L'\n');
        std::wstring_view line = text.substr(0, end);
        text = end == std::wstring_view::npos ? std::wstring_view() : text.substr(end + 1);
        if (line.ends_with(L'\r')) line.remove_suffix(1);
        if (line.empty()) continue;
        if (!header) {
            if (line != kHeader) return std::nullopt;
            header = true;
        } else if (line.front() == L'[') {
            if (line.back() != L']' || line.size() < 3) return std::nullopt;
            keys.push_back({std::wstring(line.substr(1, line.size() - 2)), {}});
        } else {
            std::optional<BackupValue> value = ParseValue(line);
            if (!value || keys.empty()) return std::nullopt;
            keys.back().values.push_back(std::move(*value));
        }
    }
    if (!header) return std::nullopt;
    return keys;
}

RestoreReport RestoreKeys(const std::vector<BackupKey>& keys) {
    RestoreReport report;
    for (const BackupKey& key : keys) {
        const auto split = SplitKeyPath(key.path);
        if (!split || split->second.empty()) {
            report.failed.push_back(key.path);
            continue;
        }
        HKEY made = nullptr;
        DWORD disposition = 0;
        // The path names the view itself (WOW6432Node for the 32-bit one).
        if (RegCreateKeyExW(RootKey(split->first), split->second.c_str(), 0, nullptr, 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &made,
                            &disposition) != ERROR_SUCCESS) {
            report.failed.push_back(key.path);
            continue;
        }
        const common::UniqueRegKey opened(made);
        if (key.values.empty()) {
            if (disposition == REG_CREATED_NEW_KEY)
                Restored(report);
            else
                report.existing.push_back(key.path);
            continue;
        }
        for (const BackupValue& value : key.values) {
            const std::wstring shown = key.path + L"\\" + (value.name.empty() ? L"@" : value.name);
            if (RegQueryValueExW(made, value.name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
                report.existing.push_back(shown);
            } else if (RegSetValueExW(made, value.name.c_str(), 0, value.type, value.data.data(),
                                      static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS) {
                Restored(report);
            } else {
                report.failed.push_back(shown);
            }
            common::CrashPoint("registry.restore");
        }
    }
    return report;
}

std::optional<std::vector<BackupKey>> ReadBackupFile(const std::wstring& path) {
    const common::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    return ReadBackupFrom(file.get());
}

std::optional<std::vector<BackupKey>> ReadBackupFrom(HANDLE file) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart > 64 * 1024 * 1024 || size.QuadPart % 2) return std::nullopt;
    std::wstring text(static_cast<std::size_t>(size.QuadPart) / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    if (!ReadFile(file, text.data(), static_cast<DWORD>(size.QuadPart), &read, nullptr) ||
        read != size.QuadPart)
        return std::nullopt;
    std::wstring_view view = text;
    if (view.starts_with(L'\xFEFF')) view.remove_prefix(1);
    return ParseBackupText(view);
}

}  // namespace registry
