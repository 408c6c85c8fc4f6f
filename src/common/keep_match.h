#pragma once
// Which items the user's keep list keeps: plain functions over texts. A kept
// text is a path ("C:\Users\me\file.tmp", a folder) or a registry key or
// entry ("HKEY_CURRENT_USER\Software\X", a value as "<key>\<value name>").
// Texts compare as Windows compares paths, letter case aside; a kept folder
// or key keeps everything below it, never a sibling whose name merely starts
// the same way.
#include <string>
#include <string_view>
#include <vector>

namespace common {

using KeptItems = std::vector<std::wstring>;

// The text stored for what the user typed or picked, in the form the scans
// list: slashes read as backslashes, trailing backslashes dropped; a path
// without its "\\?\" (or "\\?\UNC\", "\\.\", "\??\") prefix; a registry text
// with its root written out (HKCU, "HKCU:", "Registry::", regedit's
// "Computer\" before it) and the classes keys named as the scans name them:
// HKEY_CLASSES_ROOT for HKLM\SOFTWARE\Classes and HKCU\Software\Classes, but
// HKCU\Software\Classes\Local Settings for what lies there. What the file
// system alone knows (8.3 names, links) is core::StoredKeepText's.
std::wstring NormalKeepText(std::wstring_view text);

// Whether a normal keep text names a registry key or entry (its first part
// is a root's full name), not a path.
bool IsRegistryText(std::wstring_view normal);

// Whether `kept` (a normal keep text) keeps `item`: the same text, or
// `item` lies below it.
bool Keeps(std::wstring_view kept, std::wstring_view item);

// Whether any text of `kept` keeps `item`.
bool IsKept(const KeptItems& kept, std::wstring_view item);

// Whether `folder` is kept or holds something kept: a folder that must not
// be removed whole.
bool HoldsKept(const KeptItems& kept, std::wstring_view folder);

}  // namespace common
