#include "core/policy.h"

#include <windows.h>
#include <userenv.h>

#include <algorithm>
#include <mutex>
#include <utility>

#include "common/handles.h"
#include "common/text.h"
#include "engine/wire_format.h"

namespace core {

namespace {

constexpr wchar_t kPolicyKey[] = L"SOFTWARE\\Policies\\Quillmark\\Orvane";

std::string GroupOf(std::string_view id) { return std::string(id.substr(0, id.find('.'))); }

// The UTF-16 text of a string value, up to its first zero.
std::wstring_view TextOf(const common::RegistryValue& value) {
    std::wstring_view text(reinterpret_cast<const wchar_t*>(value.data.data()), value.data.size() / sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

// The strings of a REG_MULTI_SZ, empty ones included, up to the list's end.
std::vector<std::wstring> StringsOf(const common::RegistryValue& value) {
    std::wstring_view rest(reinterpret_cast<const wchar_t*>(value.data.data()), value.data.size() / sizeof(wchar_t));
    std::vector<std::wstring> strings;
    while (!rest.empty()) {
        const std::size_t end = rest.find(L'\0');
        strings.emplace_back(rest.substr(0, end));
        if (end == std::wstring_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    // The list's own terminator leaves one empty string at its end.
    while (!strings.empty() && strings.back().empty()) strings.pop_back();
    return strings;
}

// `text` with every %name% replaced; nothing when a variable is undefined.
std::optional<std::wstring> Expanded(std::wstring_view text, const MachineVariable& machine) {
    std::wstring out;
    while (!text.empty()) {
        const std::size_t open = text.find(L'%');
        const std::size_t close = open == std::wstring_view::npos ? open : text.find(L'%', open + 1);
        if (close == std::wstring_view::npos) {
            out += text;
            break;
        }
        const std::optional<std::wstring> value = machine(std::wstring(text.substr(open + 1, close - open - 1)));
        if (!value) return std::nullopt;
        out.append(text.substr(0, open)).append(*value);
        text.remove_prefix(close + 1);
    }
    return out;
}

void ParseDisabled(const common::RegistryValue& value, const std::vector<std::string>& ids, Policy& policy) {
    if (value.type != REG_MULTI_SZ) {
        policy.ignored.push_back("DisabledCategories: not a REG_MULTI_SZ");
        return;
    }
    for (const std::wstring& string : StringsOf(value)) {
        if (string.empty()) continue;
        std::string word = common::AsciiLowerCase(engine::Utf8FromWide(string));
        if (word.size() > 2 && word.ends_with(".*")) word.resize(word.size() - 2);
        const bool known = std::any_of(ids.begin(), ids.end(),
                                       [&](const std::string& id) { return id == word || GroupOf(id) == word; });
        if (!known) {
            policy.ignored.push_back("DisabledCategories: unknown category " + engine::Utf8FromWide(string));
            continue;
        }
        if (std::find(policy.disabled.begin(), policy.disabled.end(), word) == policy.disabled.end())
            policy.disabled.push_back(std::move(word));
    }
}

void ParseKeep(const std::wstring& name, const common::RegistryValue& value, const MachineVariable& machine,
               Policy& policy) {
    const std::string where = "KeepList\\" + engine::Utf8FromWide(name) + ": ";
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) {
        policy.ignored.push_back(where + "not a REG_SZ or REG_EXPAND_SZ");
        return;
    }
    std::optional<std::wstring> text(TextOf(value));
    if (value.type == REG_EXPAND_SZ) text = Expanded(*text, machine);
    if (!text) {
        policy.ignored.push_back(where + "names a variable the machine does not define");
        return;
    }
    if (!text->empty()) policy.keep.push_back(std::move(*text));
}

// A status of a read that fails closed: anything but a missing key or value.
bool Unreadable(LSTATUS status) { return status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND; }

std::string ErrorText(const char* what, LSTATUS status) {
    return std::string("the organisation's policy (") + what + ") cannot be read: error " + std::to_string(status);
}

}  // namespace

Policy ParsePolicy(const PolicyValues& values, const std::vector<std::string>& ids, const MachineVariable& machine) {
    Policy policy;
    if (values.disabledCategories) ParseDisabled(*values.disabledCategories, ids, policy);
    for (const auto& [name, value] : values.keepList) ParseKeep(name, value, machine, policy);
    if (const std::optional<common::RegistryValue>& notice = values.updateNotice) {
        if (notice->type == REG_DWORD && notice->data.size() == sizeof(DWORD))
            policy.updateNotice = *reinterpret_cast<const DWORD*>(notice->data.data()) != 0;
        else
            policy.ignored.push_back("UpdateNotice: not a REG_DWORD");
    }
    return policy;
}

bool PolicyDisables(const Policy& policy, std::string_view id) {
    const std::string group = GroupOf(id);
    return std::any_of(policy.disabled.begin(), policy.disabled.end(),
                       [&](const std::string& word) { return word == id || word == group; });
}

std::optional<std::wstring> MachineEnvironmentVariable(const std::wstring& name) {
    // Without a token: the system's variables alone, none of any user's.
    void* block = nullptr;
    if (!CreateEnvironmentBlock(&block, nullptr, FALSE)) return std::nullopt;
    std::optional<std::wstring> found;
    for (const wchar_t* entry = static_cast<const wchar_t*>(block); *entry; entry += wcslen(entry) + 1) {
        const std::wstring_view text(entry);
        const std::size_t equals = text.find(L'=', 1);
        if (equals == std::wstring_view::npos || equals != name.size()) continue;
        if (CompareStringOrdinal(entry, static_cast<int>(equals), name.c_str(), static_cast<int>(name.size()), TRUE) ==
            CSTR_EQUAL) {
            found = std::wstring(text.substr(equals + 1));
            break;
        }
    }
    DestroyEnvironmentBlock(block);
    return found;
}

namespace {

PolicyKeyRead ReadPolicyKey() {
    PolicyKeyRead read;
    const auto failed = [&](const char* what, LSTATUS status) {
        read.status = status;
        read.failedAt = what;
        return read;
    };
    HKEY raw = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_READ | KEY_WOW64_64KEY, &raw);
    if (status != ERROR_SUCCESS) return failed(kPolicyKeyItself, status);
    const common::UniqueRegKey key(raw);
    PolicyValues& values = read.values;
    common::RegistryValue value;
    if (status = common::ReadRegistryValue(key.get(), L"DisabledCategories", value); Unreadable(status))
        return failed("DisabledCategories", status);
    if (status == ERROR_SUCCESS) values.disabledCategories = value;
    if (status = common::ReadRegistryValue(key.get(), L"UpdateNotice", value); Unreadable(status))
        return failed("UpdateNotice", status);
    if (status == ERROR_SUCCESS) values.updateNotice = value;
    raw = nullptr;
    status = RegOpenKeyExW(key.get(), L"KeepList", 0, KEY_READ | KEY_WOW64_64KEY, &raw);
    if (Unreadable(status)) return failed("KeepList", status);
    if (status == ERROR_SUCCESS) {
        const common::UniqueRegKey keep(raw);
        for (DWORD index = 0;; ++index) {
            wchar_t name[16384];
            DWORD length = static_cast<DWORD>(std::size(name));
            status = RegEnumValueW(keep.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) break;
            if (status != ERROR_SUCCESS) return failed("KeepList", status);
            const std::wstring valueName(name, length);
            if (status = common::ReadRegistryValue(keep.get(), valueName, value); status != ERROR_SUCCESS)
                return failed("KeepList", status);
            values.keepList.emplace_back(valueName, value);
        }
    }
    return read;
}

// Workers read the policy (through the keep list) while a test may swap the
// reader: the swap and each use of it take the lock.
std::mutex readerLock;
PolicyKeyReader keyReader;

}  // namespace

PolicyRead PolicyOfKey(const PolicyKeyRead& key, const std::vector<std::string>& ids, const MachineVariable& machine) {
    PolicyRead read;
    if (key.status == ERROR_FILE_NOT_FOUND && key.failedAt == kPolicyKeyItself) return read;
    if (key.status != ERROR_SUCCESS) {
        read.state = PolicyState::Unreadable;
        read.error = ErrorText(key.failedAt.c_str(), static_cast<LSTATUS>(key.status));
        return read;
    }
    read.state = PolicyState::Read;
    read.policy = ParsePolicy(key.values, ids, machine);
    return read;
}

PolicyKeyReader ReplacePolicyKeyReader(PolicyKeyReader reader) {
    const std::lock_guard guard(readerLock);
    return std::exchange(keyReader, std::move(reader));
}

PolicyRead ReadPolicy(const std::vector<std::string>& ids) {
    PolicyKeyReader reader;
    {
        const std::lock_guard guard(readerLock);
        reader = keyReader;
    }
    return PolicyOfKey(reader ? reader() : ReadPolicyKey(), ids, MachineEnvironmentVariable);
}

}  // namespace core
