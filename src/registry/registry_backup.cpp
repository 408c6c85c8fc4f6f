#include "registry/registry_backup.h"

#include <algorithm>
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

// A text the file can carry on one line.
bool FitsOneLine(std::wstring_view text) { return text.find_first_of(L"\r\n") == std::wstring_view::npos; }

}  // namespace

std::wstring BackupKeyPath(std::uint32_t root, std::wstring_view path, REGSAM view, bool wow64) {
    std::wstring physical(common::WithoutTrailingBackslashes(path));
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

std::optional<BackupValue> ReadValue(HKEY key, const std::wstring& name) {
    BackupValue value{name, REG_NONE, {}};
    // The value may grow between asking its size and reading it: a few tries.
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD size = 0;
        if (RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) break;
        value.data.resize(size);
        const LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.data.data(), &size);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) break;
        value.data.resize(size);
        return value;
    }
    return std::nullopt;
}

std::optional<std::vector<BackupValue>> ReadAllValues(HKEY key) {
    DWORD subKeys = 0, values = 0, longestName = 0, longestData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, &longestName,
                         &longestData, nullptr, nullptr) != ERROR_SUCCESS ||
        subKeys != 0)
        return std::nullopt;
    std::vector<BackupValue> all;
    std::vector<wchar_t> name(longestName + 1);
    // Room to spare: without a data buffer the call would answer the size alone.
    const DWORD room = longestData + 2;
    for (DWORD index = 0;; ++index) {
        BackupValue value{L"", REG_NONE, std::vector<BYTE>(room)};
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD size = room;
        const LSTATUS status = RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &value.type,
                                             value.data.data(), &size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        // A value that grew or was added since the count: the key is changing.
        if (status != ERROR_SUCCESS) return std::nullopt;
        value.name.assign(name.data(), nameLength);
        value.data.resize(size);
        all.push_back(std::move(value));
    }
    if (all.size() != values) return std::nullopt;
    return all;
}

bool SameValues(std::vector<BackupValue> a, std::vector<BackupValue> b) {
    const auto byName = [](const BackupValue& x, const BackupValue& y) { return x.name < y.name; };
    std::ranges::sort(a, byName);
    std::ranges::sort(b, byName);
    return a == b;
}

std::vector<CapturedIssue> CaptureIssues(const RegistryIssueList& issues) {
    // A 32-bit view of its own exists on any 64-bit Windows: under WOW64 for
    // this 32-bit program, and for a 64-bit build of it.
    const bool wow64 = sizeof(void*) == 8 || common::RunsUnderWow64();
    std::vector<CapturedIssue> captured;
    for (std::size_t index = 0; index < issues.size(); ++index) {
        const RegistryIssue& issue = issues[index];
        CapturedIssue entry{index, 0, {}};
        const std::wstring path = issue.keyPath + issue.keyName;
        if (!FitsOneLine(path)) continue;
        if (issue.IsValueIssue()) {
            // The value's key, in the view where the repair will find it.
            const common::UniqueRegKey key = OpenKeyInEitherView(RootKey(issue.root), path, &entry.view);
            if (!key || !FitsOneLine(issue.valueName)) continue;
            std::optional<BackupValue> value = ReadValue(key.get(), issue.valueName);
            if (!value) continue;
            entry.key.values.push_back(std::move(*value));
        } else {
            // The key itself, in the view that holds it (its parent may be in
            // both), where the repair deletes it through that parent.
            if (issue.keyName.empty()) continue;
            const common::UniqueRegKey key = OpenKeyInEitherView(RootKey(issue.root), path, &entry.view);
            std::optional<std::vector<BackupValue>> values;
            if (key) values = ReadAllValues(key.get());
            if (!values || !std::ranges::all_of(*values, [](const BackupValue& v) { return FitsOneLine(v.name); }))
                continue;
            entry.key.values = std::move(*values);
        }
        entry.key.path = BackupKeyPath(issue.root, path, entry.view, wow64);
        captured.push_back(std::move(entry));
    }
    return captured;
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

bool RegistryBackup::Append(const std::vector<CapturedIssue>& issues) {
    std::wstring text;
    if (!created_) text = L"\xFEFFWindows Registry Editor Version 5.00\r\n";
    for (const CapturedIssue& issue : issues) text += FormatBackupKey(issue.key);
    const common::UniqueFile file(CreateFileW(path_.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | DELETE,
                                              FILE_SHARE_READ, nullptr, created_ ? OPEN_EXISTING : CREATE_NEW,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER before{};
    GetFileSizeEx(file.get(), &before);
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD written = 0;
    if (WriteFile(file.get(), text.data(), bytes, &written, nullptr) && written == bytes &&
        FlushFileBuffers(file.get())) {
        created_ = true;
        return true;
    }
    // What was written in part goes again, so that the file stays one that
    // regedit reads; a file made by this call goes altogether.
    if (!created_) {
        FILE_DISPOSITION_INFO disposition{TRUE};
        SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof(disposition));
    } else {
        FILE_END_OF_FILE_INFO end{};
        end.EndOfFile = before;
        SetFileInformationByHandle(file.get(), FileEndOfFileInfo, &end, sizeof(end));
    }
    return false;
}

}  // namespace registry
