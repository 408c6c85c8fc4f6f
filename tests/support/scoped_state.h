#pragma once
// Process and per-user state that a test changes and puts back: environment
// variables and registry values under HKEY_CURRENT_USER.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "core/policy.h"

namespace testsupport {

// Sets a process environment variable for the owner's lifetime.
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const std::wstring& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::wstring name_;
    std::optional<std::wstring> previous_;
};

// Remembers a value of HKEY_CURRENT_USER\`keyPath` and puts it back when the
// owner goes away; keys of the path that were missing are removed again.
class ScopedUserValue {
public:
    ScopedUserValue(const wchar_t* keyPath, const wchar_t* valueName);
    ~ScopedUserValue();
    ScopedUserValue(const ScopedUserValue&) = delete;
    ScopedUserValue& operator=(const ScopedUserValue&) = delete;

    // Writes the value as a terminated text of `type`, creating the key.
    void Set(const std::wstring& text, DWORD type = REG_SZ) const;
    void Remove() const;

private:
    std::wstring keyPath_;
    std::wstring valueName_;
    std::wstring createdKey_;  // the first missing key of the path, deleted again with all below it
    std::optional<std::vector<BYTE>> previous_;
    DWORD previousType_ = REG_SZ;
};

// The organisation's policy key of `root` (the machine's, or a user's copy
// that must count for nothing), written by a test and removed with all below
// it when the owner goes away.
class ScopedPolicy {
public:
    explicit ScopedPolicy(HKEY root = HKEY_LOCAL_MACHINE);
    ~ScopedPolicy();
    ScopedPolicy(const ScopedPolicy&) = delete;
    ScopedPolicy& operator=(const ScopedPolicy&) = delete;

    // DisabledCategories as a REG_MULTI_SZ of `words`.
    void Disable(const std::vector<std::wstring>& words) const;
    // A value of the KeepList subkey.
    void Keep(const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) const;
    void UpdateNotice(DWORD value) const;

private:
    HKEY root_;
};

// The policy key read as one that exists but cannot be read (the registry
// answered `status` opening it), which no test prefix can make, since every
// Wine process holds an elevated token: the registry's reader comes back when
// the owner goes away.
class UnreadablePolicy {
public:
    explicit UnreadablePolicy(long status = ERROR_ACCESS_DENIED);
    ~UnreadablePolicy();
    UnreadablePolicy(const UnreadablePolicy&) = delete;
    UnreadablePolicy& operator=(const UnreadablePolicy&) = delete;

private:
    core::PolicyKeyReader previous_;
};

}  // namespace testsupport
