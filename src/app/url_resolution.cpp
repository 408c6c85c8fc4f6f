#include "app/url_resolution.h"

#include <algorithm>
#include <cwctype>

namespace app {

namespace {

constexpr std::wstring_view kResource = L"res:";
constexpr std::wstring_view kArchive = L"this://app/";
constexpr std::wstring_view kFileIcon = L"icon:";
constexpr std::wstring_view kDoubleSlash = L"//";
constexpr std::size_t kMaxResourceText = 260;

bool StartsWith(std::wstring_view text, std::wstring_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool EqualsIgnoringCase(std::wstring_view text, std::wstring_view other) {
    return std::equal(text.begin(), text.end(), other.begin(), other.end(),
                      [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); });
}

UrlSource Resource(std::wstring_view text) {
    if (text.empty()) return {UrlSource::Kind::Discarded, {}, {}};
    if (StartsWith(text, kResource)) text.remove_prefix(kResource.size());
    if (StartsWith(text, kDoubleSlash)) text.remove_prefix(kDoubleSlash.size());
    text = text.substr(0, kMaxResourceText);
    const std::size_t dot = text.rfind(L'.');
    if (dot == std::wstring_view::npos) return {UrlSource::Kind::Resource, std::wstring(text), std::nullopt};
    const std::wstring_view extension = text.substr(dot + 1);
    std::optional<std::wstring> type;
    if (!EqualsIgnoringCase(extension, L"html") && !EqualsIgnoringCase(extension, L"htm")) type = std::wstring(extension);
    return {UrlSource::Kind::Resource, std::wstring(text.substr(0, dot)), std::move(type)};
}

}  // namespace

UrlSource ResolveUrl(std::wstring_view url) {
    if (StartsWith(url, kResource)) return Resource(url.substr(kResource.size()));
    if (StartsWith(url, kArchive)) {
        std::wstring_view path = url.substr(kArchive.size());
        if (StartsWith(path, kDoubleSlash)) path.remove_prefix(kDoubleSlash.size());
        return {UrlSource::Kind::Archive, std::wstring(path), std::nullopt};
    }
    if (StartsWith(url, kFileIcon)) {
        const std::wstring_view file = url.substr(kFileIcon.size());
        if (file.empty()) return {UrlSource::Kind::Discarded, {}, {}};
        return {UrlSource::Kind::FileIcon, std::wstring(file), std::nullopt};
    }
    return {UrlSource::Kind::Browser, {}, {}};
}

}  // namespace app
