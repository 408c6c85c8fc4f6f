#include "core/settings_store.h"

#include "common/handles.h"
#include "core/settings_store_values.h"

namespace core {

namespace {

constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;  // 0x2001F

common::UniqueRegKey OpenKey(const wchar_t* path, REGSAM access) {
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, access, key.put()) != ERROR_SUCCESS) key.release();
    return key;
}

common::UniqueRegKey CreateKey(const wchar_t* path, REGSAM access) {
    common::UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS)
        key.release();
    return key;
}

void WriteEmptyText(HKEY key, const wchar_t* name) { RegSetValueExW(key, name, 0, REG_SZ, nullptr, 0); }

DWORD ReadDword(HKEY key, const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return 0;
    return value;
}

}  // namespace

void EnsureOneClickValue(const wchar_t* name) {
    common::UniqueRegKey key = OpenKey(kOneClickKey, KEY_ALL_ACCESS);
    if (!key) {
        key = CreateKey(kOneClickKey, KEY_ALL_ACCESS);
        if (key) WriteEmptyText(key.get(), name);
        return;
    }
    BYTE buffer[260];
    DWORD size = sizeof(buffer);
    if (RegQueryValueExW(key.get(), name, nullptr, nullptr, buffer, &size) != ERROR_SUCCESS)
        WriteEmptyText(key.get(), name);
}

namespace {

// The OneClick Cleaner texts are stored without a terminating zero; the
// reader accepts both.
void WriteOneClickText(const wchar_t* name, const std::wstring& text) {
    EnsureOneClickValue(name);
    const common::UniqueRegKey key = OpenKey(kOneClickKey, KEY_ALL_ACCESS);
    if (!key) return;
    RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                   static_cast<DWORD>(text.size() * sizeof(wchar_t)));
}

std::optional<std::wstring> ReadOneClickText(const wchar_t* name) {
    EnsureOneClickValue(name);
    const common::UniqueRegKey key = OpenKey(kOneClickKey, KEY_ALL_ACCESS);
    if (!key) return std::nullopt;
    wchar_t buffer[260] = {};  // 520 bytes, of which at most 260 are read: always terminated
    DWORD size = 260;
    if (RegQueryValueExW(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return std::wstring();
    return std::wstring(buffer);
}

}  // namespace

void WriteWaitCleanSize(std::int64_t bytes) { WriteOneClickText(L"WaitCleanSize", std::to_wstring(bytes)); }

std::wstring ReadWaitCleanSize() { return ReadOneClickText(L"WaitCleanSize").value_or(std::wstring()); }

void WriteLastOneClickTime(const std::wstring& text) { WriteOneClickText(L"LastOneClickTime", text); }

std::optional<std::wstring> ReadLastOneClickTime() { return ReadOneClickText(L"LastOneClickTime"); }

std::optional<std::wstring> ReadProductText(const wchar_t* name) {
    const common::UniqueRegKey key = OpenKey(kProductKey, kReadWrite);
    if (!key) return std::nullopt;
    BYTE data[260 * sizeof(wchar_t)];
    DWORD size = sizeof(data);
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key.get(), name, nullptr, &type, data, &size) != ERROR_SUCCESS) return std::nullopt;
    return TerminatedRegistryText(type, std::span<const BYTE>(data, size));
}

DWORD ReadHealthScore() {
    const common::UniqueRegKey key = OpenKey(kProductKey, KEY_ALL_ACCESS);
    if (!key) {
        CreateKey(kProductKey, KEY_ALL_ACCESS);
        return 0;
    }
    return ReadDword(key.get(), L"SyatemStatus");
}

void WriteHealthScore(DWORD score) {
    const common::UniqueRegKey key = OpenKey(kProductKey, kReadWrite);
    if (key)
        RegSetValueExW(key.get(), L"SyatemStatus", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&score), sizeof(score));
}

DWORD ReadRegistryIssueCount() {
    const common::UniqueRegKey key = OpenKey(kOneClickKey, kReadWrite);
    return key ? ReadDword(key.get(), L"RegNoDelete") : 0;
}

void WriteRegistryIssueCount(DWORD count) {
    EnsureOneClickValue(L"RegNoDelete");
    const common::UniqueRegKey key = OpenKey(kOneClickKey, KEY_ALL_ACCESS);
    if (key)
        RegSetValueExW(key.get(), L"RegNoDelete", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof(count));
}

}  // namespace core
