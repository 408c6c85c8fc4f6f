#include "support/scoped_state.h"

#include <stdexcept>
#include <utility>

#include "support/temp_dir.h"

namespace testsupport {

ScopedVariable::ScopedVariable(const wchar_t* name, const std::wstring& value) : name_(name) {
    if (GetEnvironmentVariableW(name, nullptr, 0)) previous_ = Environment(name);
    SetEnvironmentVariableW(name, value.c_str());
}

ScopedVariable::~ScopedVariable() {
    SetEnvironmentVariableW(name_.c_str(), previous_ ? previous_->c_str() : nullptr);
}

ScopedUserValue::ScopedUserValue(const wchar_t* keyPath, const wchar_t* valueName)
    : keyPath_(keyPath), valueName_(valueName) {
    // The first key of the path that does not exist yet: what Set creates.
    for (std::size_t end = 0; end != std::wstring::npos && createdKey_.empty();) {
        end = keyPath_.find(L'\\', end + 1);
        const std::wstring prefix = keyPath_.substr(0, end);
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, prefix.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS)
            RegCloseKey(key);
        else
            createdKey_ = prefix;
    }
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, keyPath, valueName, RRF_RT_ANY | RRF_NOEXPAND, &previousType_, nullptr,
                     &size) == ERROR_SUCCESS) {
        previous_.emplace(size);
        RegGetValueW(HKEY_CURRENT_USER, keyPath, valueName, RRF_RT_ANY | RRF_NOEXPAND, &previousType_,
                     previous_->data(), &size);
    }
}

ScopedUserValue::~ScopedUserValue() {
    if (previous_)
        RegSetKeyValueW(HKEY_CURRENT_USER, keyPath_.c_str(), valueName_.c_str(), previousType_, previous_->data(),
                        static_cast<DWORD>(previous_->size()));
    else
        Remove();
    if (!createdKey_.empty()) RegDeleteTreeW(HKEY_CURRENT_USER, createdKey_.c_str());
}

void ScopedUserValue::Set(const std::wstring& text, DWORD type) const {
    RegSetKeyValueW(HKEY_CURRENT_USER, keyPath_.c_str(), valueName_.c_str(), type, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void ScopedUserValue::Remove() const { RegDeleteKeyValueW(HKEY_CURRENT_USER, keyPath_.c_str(), valueName_.c_str()); }

namespace {

constexpr wchar_t kMakerPolicyPath[] = L"SOFTWARE\\Policies\\Quillmark";
constexpr wchar_t kPolicyPath[] = L"SOFTWARE\\Policies\\Quillmark\\Orvane";

void WritePolicyValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type, const void* data,
                      std::size_t bytes) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        throw std::runtime_error("the policy key cannot be written");
    const LSTATUS status = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(bytes));
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) throw std::runtime_error("the policy value cannot be written");
}

}  // namespace

// The maker's key under Policies goes whole: nothing else writes there.
ScopedPolicy::ScopedPolicy(HKEY root) : root_(root) { RegDeleteTreeW(root_, kMakerPolicyPath); }

ScopedPolicy::~ScopedPolicy() { RegDeleteTreeW(root_, kMakerPolicyPath); }

void ScopedPolicy::Disable(const std::vector<std::wstring>& words) const {
    std::wstring multi;
    for (const std::wstring& word : words) multi += word + L'\0';
    multi += L'\0';
    WritePolicyValue(root_, kPolicyPath, L"DisabledCategories", REG_MULTI_SZ, multi.data(), multi.size() * sizeof(wchar_t));
}

void ScopedPolicy::Keep(const wchar_t* name, const std::wstring& text, DWORD type) const {
    WritePolicyValue(root_, std::wstring(kPolicyPath) + L"\\KeepList", name, type, text.c_str(),
                     (text.size() + 1) * sizeof(wchar_t));
}

void ScopedPolicy::UpdateNotice(DWORD value) const {
    WritePolicyValue(root_, kPolicyPath, L"UpdateNotice", REG_DWORD, &value, sizeof(value));
}

UnreadablePolicy::UnreadablePolicy(long status)
    : previous_(core::ReplacePolicyKeyReader([status] { return core::PolicyKeyRead{status, core::kPolicyKeyItself, {}}; })) {}

UnreadablePolicy::~UnreadablePolicy() { core::ReplacePolicyKeyReader(std::move(previous_)); }

}  // namespace testsupport
