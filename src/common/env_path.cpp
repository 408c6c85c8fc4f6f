#include "common/env_path.h"

#include <windows.h>

#include "common/text.h"
#include "common/wow64.h"

namespace common {


std::optional<EnvironmentToken> FindEnvironmentToken(std::wstring_view text) {
    const std::size_t open = text.find(L'%');
    if (open == std::wstring_view::npos) return std::nullopt;
    const std::size_t close = text.find(L'%', open + 1);
    if (close == std::wstring_view::npos) return std::nullopt;
    return EnvironmentToken{text.substr(open + 1, close - open - 1), text.substr(open, close - open + 1)};
}

std::wstring ReplaceAll(std::wstring_view text, std::wstring_view token, std::wstring_view value) {
    std::wstring result;
    std::size_t start = 0;
    for (std::size_t found; (found = text.find(token, start)) != std::wstring_view::npos; start = found + token.size()) {
        result.append(text.substr(start, found - start));
        result.append(value);
    }
    result.append(text.substr(start));
    return result;
}

std::wstring ReadEnvironmentVariable(const std::wstring& name) {
    std::wstring value;
    // The size includes the terminator; the value may grow between two calls.
    for (DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0); size > 0;) {
        value.resize(size);
        const DWORD written = GetEnvironmentVariableW(name.c_str(), value.data(), size);
        if (written < size) {
            value.resize(written);
            return value;
        }
        size = written;
    }
    return {};
}

std::optional<std::wstring> ReplaceEnvironmentString(std::wstring_view text, const EnvironmentLookup& lookup) {
    const std::optional<EnvironmentToken> token = FindEnvironmentToken(text);
    if (!token) return std::nullopt;
    return ReplaceAll(text, token->token, lookup(std::wstring(token->name)));
}

std::optional<std::wstring> Wow64AlternativeValue(std::wstring_view value) {
    static constexpr std::wstring_view kProgramFiles = L"program files";
    static constexpr std::wstring_view kX86Suffix = L" (x86)";
    static constexpr std::wstring_view kSystem32 = L":\\windows\\system32";
    static constexpr std::wstring_view kSysWow64 = L"SysWOW64";

    std::wstring lowered = LowerCase(value);
    std::optional<std::wstring> alternative;
    // "c:\program files (x86)...": the drive letter and ":\" come first.
    if (HoldsAt(lowered, 3, kProgramFiles) && HoldsAt(lowered, 3 + kProgramFiles.size(), kX86Suffix)) {
        lowered.erase(3 + kProgramFiles.size(), kX86Suffix.size());
        alternative = lowered;
    }
    if (HoldsAt(lowered, 1, kSystem32)) {
        lowered.replace(1 + kSystem32.size() - kSysWow64.size(), kSysWow64.size(), kSysWow64);
        alternative = lowered;
    }
    return alternative;
}

bool ExpandEnvironmentPath(std::wstring_view path, std::wstring& expanded, std::wstring& alternative, bool wow64,
                           const EnvironmentLookup& lookup) {
    expanded = path;
    alternative.clear();
    const std::optional<EnvironmentToken> token = FindEnvironmentToken(path);
    if (!token) return false;
    const std::wstring value = lookup(std::wstring(token->name));
    expanded = ReplaceAll(path, token->token, value);
    if (wow64) {
        if (const std::optional<std::wstring> alternativeValue = Wow64AlternativeValue(value))
            alternative = ReplaceAll(path, token->token, *alternativeValue);
    }
    return true;
}

bool ExpandEnvironmentPath(std::wstring_view path, std::wstring& expanded, std::wstring& alternative) {
    return ExpandEnvironmentPath(path, expanded, alternative, RunsUnderWow64(), ReadEnvironmentVariable);
}

std::wstring ExpandedEnvironmentPath(std::wstring_view path) {
    std::wstring expanded, alternative;
    ExpandEnvironmentPath(path, expanded, alternative);
    return expanded;
}

}  // namespace common
