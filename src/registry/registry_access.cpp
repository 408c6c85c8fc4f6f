#include "registry/registry_access.h"

namespace registry {

namespace {
constexpr DWORD kNameCapacity = 260;
}

HKEY RootKey(std::uint32_t root) { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(root)); }

common::UniqueRegKey OpenKey(HKEY root, const std::wstring& path, REGSAM access) {
    common::UniqueRegKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, access, key.put()) != ERROR_SUCCESS) key.release();
    return key;
}

common::UniqueRegKey OpenKeyInEitherView(HKEY root, const std::wstring& path, REGSAM* view) {
    for (const REGSAM access : {kAll64, kAll32}) {
        if (common::UniqueRegKey key = OpenKey(root, path, access)) {
            if (view) *view = access & (KEY_WOW64_64KEY | KEY_WOW64_32KEY);
            return key;
        }
    }
    return {};
}

std::optional<KeyCounts> CountKeyContents(HKEY key) {
    KeyCounts counts;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &counts.subKeys, nullptr, nullptr, &counts.values, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return std::nullopt;
    return counts;
}

namespace {

// The names that `enumerate(index, buffer, length)` answers for indexes
// 0 .. count - 1; a name that does not fit or fails is skipped.
template <typename Enumerate>
std::vector<std::wstring> EnumerateNames(DWORD count, Enumerate enumerate) {
    std::vector<std::wstring> names;
    for (DWORD index = 0; index < count; ++index) {
        wchar_t name[kNameCapacity];
        DWORD length = kNameCapacity;
        if (enumerate(index, name, &length) == ERROR_SUCCESS) names.emplace_back(name, length);
    }
    return names;
}

}  // namespace

std::vector<std::wstring> ValueNames(HKEY key) {
    const std::optional<KeyCounts> counts = CountKeyContents(key);
    if (!counts) return {};
    return EnumerateNames(counts->values, [key](DWORD index, wchar_t* name, DWORD* length) {
        return RegEnumValueW(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
}

std::vector<std::wstring> SubKeyNames(HKEY key) {
    const std::optional<KeyCounts> counts = CountKeyContents(key);
    if (!counts) return {};
    return EnumerateNames(counts->subKeys, [key](DWORD index, wchar_t* name, DWORD* length) {
        return RegEnumKeyExW(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
}

std::optional<std::wstring> ReadStringValue(HKEY key, const std::wstring& name, DWORD maxBytes) {
    std::wstring data(maxBytes / sizeof(wchar_t), L'\0');
    DWORD type = 0;
    DWORD size = maxBytes;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    if (size == 0) return std::wstring();
    if (size % sizeof(wchar_t) != 0 || data[size / sizeof(wchar_t) - 1] != L'\0') return std::nullopt;
    data.resize(size / sizeof(wchar_t) - 1);
    return data;
}

}  // namespace registry
