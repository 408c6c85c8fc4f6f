#include "registry/registry_backup.h"

#include <cwchar>

#include "common/handles.h"
#include "common/text.h"
#include "common/wow64.h"
#include "registry/registry_access.h"

namespace registry {

namespace {

std::wstring Quoted(std::wstring_view text) {
    std::wstring out = L"\"";
    for (const wchar_t c : text) {
        if (c == L'\\' || c == L'"') out += L'\\';
        out += c;
    }
    return out + L"\"";
}

std::wstring HexBytes(const std::vector<BYTE>& data) {
    std::wstring out;
    for (std::size_t i = 0; i < data.size(); ++i) {
        wchar_t byte[4];
        std::swprintf(byte, 4, L"%02x", data[i]);
        if (i) out += L',';
        out += byte;
    }
    return out;
}

// A REG_SZ that regedit's quoted form carries exactly: terminated, and no
// line breaks inside.
bool IsPlainString(const std::vector<BYTE>& data) {
    if (data.size() < 2 || data.size() % 2) return false;
    const auto* chars = reinterpret_cast<const wchar_t*>(data.data());
    const std::size_t count = data.size() / 2;
    if (chars[count - 1] != L'\0') return false;
    for (std::size_t i = 0; i + 1 < count; ++i)
        if (chars[i] == L'\0' || chars[i] == L'\r' || chars[i] == L'\n') return false;
    return true;
}

std::wstring FormatValue(const BackupValue& value) {
    std::wstring line = value.name.empty() ? L"@" : Quoted(value.name);
    line += L'=';
    if (value.type == REG_SZ && IsPlainString(value.data)) {
        line += Quoted(std::wstring_view(reinterpret_cast<const wchar_t*>(value.data.data()), value.data.size() / 2 - 1));
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        wchar_t number[16];
        std::swprintf(number, 16, L"dword:%08lx",
                      static_cast<unsigned long>(value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                                 (static_cast<DWORD>(value.data[3]) << 24)));
        line += number;
    } else if (value.type == REG_BINARY) {
        line += L"hex:" + HexBytes(value.data);
    } else {
        wchar_t prefix[24];
        std::swprintf(prefix, 24, L"hex(%lx):", static_cast<unsigned long>(value.type));
        line += prefix + HexBytes(value.data);
    }
    return line + L"\r\n";
}

std::vector<BackupValue> ReadValues(HKEY key, const std::vector<std::wstring>& names) {
    std::vector<BackupValue> values;
    for (const std::wstring& name : names) {
        BackupValue value{name, REG_NONE, {}};
        DWORD size = 0;
        if (RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) continue;
        value.data.resize(size);
        if (RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.data.data(), &size) != ERROR_SUCCESS)
            continue;
        value.data.resize(size);
        values.push_back(std::move(value));
    }
    return values;
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

}  // namespace

std::wstring BackupKeyPath(std::uint32_t root, std::wstring_view path, REGSAM view, bool wow64) {
    std::wstring physical = WithoutTrailingBackslash(std::wstring(path));
    const std::wstring lowered = common::LowerCase(physical);
    if (wow64 && view == KEY_WOW64_32KEY && root == 0x80000002 && lowered.starts_with(L"software\\") &&
        !lowered.starts_with(L"software\\wow6432node\\") && lowered != L"software\\classes" &&
        !lowered.starts_with(L"software\\classes\\"))
        physical.insert(9, L"WOW6432Node\\");
    return physical.empty() ? RootName(root) : std::wstring(RootName(root)) + L"\\" + physical;
}

std::wstring FormatBackupKey(const BackupKey& key) {
    std::wstring text = L"\r\n[" + key.path + L"]\r\n";
    for (const BackupValue& value : key.values) text += FormatValue(value);
    return text;
}

std::vector<BackupKey> CaptureIssues(const RegistryIssueList& issues) {
    const bool wow64 = common::RunsUnderWow64();
    std::vector<BackupKey> keys;
    for (const RegistryIssue& issue : issues) {
        // The key that holds what the repair deletes: the value's key, or the
        // key itself (whose parent the repair opens).
        const std::wstring path = issue.keyPath + issue.keyName;
        if (!issue.IsValueIssue() && issue.keyName.empty()) continue;
        REGSAM view = 0;
        const common::UniqueRegKey key = OpenKeyInEitherView(RootKey(issue.root), path, &view);
        if (!key) continue;
        std::vector<std::wstring> names;
        if (issue.IsValueIssue())
            names.push_back(issue.valueName);
        else
            names = ValueNames(key.get());
        std::vector<BackupValue> values = ReadValues(key.get(), names);
        if (issue.IsValueIssue() && values.empty()) continue;
        keys.push_back({BackupKeyPath(issue.root, path, view, wow64), std::move(values)});
    }
    return keys;
}

RegistryBackup RegistryBackup::InFolder(const std::wstring& folder) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t name[64];
    std::swprintf(name, 64, L"%04u-%02u-%02u_%02u%02u%02u_%03u.reg", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond, now.wMilliseconds);
    CreateDirectoryW(folder.c_str(), nullptr);
    return RegistryBackup(folder + L"\\" + name);
}

bool RegistryBackup::Append(const std::vector<BackupKey>& keys) {
    std::wstring text;
    if (!created_) text = L"\xFEFFWindows Registry Editor Version 5.00\r\n";
    for (const BackupKey& key : keys) text += FormatBackupKey(key);
    const common::UniqueFile file(CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                              created_ ? OPEN_EXISTING : CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD written = 0;
    if (!WriteFile(file.get(), text.data(), bytes, &written, nullptr) || written != bytes ||
        !FlushFileBuffers(file.get()))
        return false;
    created_ = true;
    return true;
}

}  // namespace registry
