#pragma once
// Where the content of a URL that the main window asks for comes from:
//   res:<name>[.<type>]   a resource of the program (no type, "html" or
//                         "htm" in any case: the HTML resource type)
//   this://app/<path>     a file of the UI archive
//   icon:<file>           the icon of a startup entry's file, drawn by the
//                         program
//   anything else         left to the browser
#include <optional>
#include <string>
#include <string_view>

namespace app {

struct UrlSource {
    enum class Kind { Resource, Archive, FileIcon, Discarded, Browser } kind;
    std::wstring name;                // the resource's name, the archive path, or the file
    std::optional<std::wstring> type;  // the resource's type; empty for the HTML type
    bool operator==(const UrlSource&) const = default;
};

UrlSource ResolveUrl(std::wstring_view url);

}  // namespace app
