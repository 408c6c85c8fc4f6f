#pragma once
// Paths holding one environment-variable token ("%windir%\temp"): the token
// replacement, and for a 32-bit process on 64-bit Windows the alternative path
// that names the 64-bit folder hidden behind the 32-bit one.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace common {

// The first "%name%" of a text: the name and the token, as views into it.
struct EnvironmentToken {
    std::wstring_view name;
    std::wstring_view token;
};
std::optional<EnvironmentToken> FindEnvironmentToken(std::wstring_view text);

// `text` with every occurrence of `token` (case-sensitive) replaced by `value`.
std::wstring ReplaceAll(std::wstring_view text, std::wstring_view token, std::wstring_view value);

// A variable's value by name; an undefined variable has the empty value.
using EnvironmentLookup = std::function<std::wstring(const std::wstring& name)>;
std::wstring ReadEnvironmentVariable(const std::wstring& name);

// `text` with every occurrence of its first token replaced by the variable's
// value; other tokens stay. Nothing when the text holds no token.
std::optional<std::wstring> ReplaceEnvironmentString(std::wstring_view text, const EnvironmentLookup& lookup);

// The value that names, under WOW64, the 64-bit folder behind a variable's
// value, lower-cased: "c:\program files" for "C:\Program Files (x86)", and
// "c:\windows\SysWOW64..." for "C:\Windows\System32...". Nothing when the
// value names neither.
std::optional<std::wstring> Wow64AlternativeValue(std::wstring_view value);

// Expands the first token of `path` into `expanded`; `alternative` receives
// the path with the token replaced by the WOW64 alternative value when the
// process runs under WOW64 and the value has one, and is empty otherwise.
// Answers false, with `expanded` the path unchanged, when it holds no token.
bool ExpandEnvironmentPath(std::wstring_view path, std::wstring& expanded, std::wstring& alternative, bool wow64,
                           const EnvironmentLookup& lookup);
// The same for this process and its environment.
bool ExpandEnvironmentPath(std::wstring_view path, std::wstring& expanded, std::wstring& alternative);
// The expanded path alone, for callers that do not test the alternative.
std::wstring ExpandedEnvironmentPath(std::wstring_view path);

}  // namespace common
