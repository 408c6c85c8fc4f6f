#pragma once
// The keep texts that only the system can tell: what a path or registry key
// a user typed is called where the scans list it. Matching them stays
// common/keep_match's, over texts alone.
#include <string>
#include <string_view>

#include "common/keep_match.h"

namespace core {

// The text the keep list stores for what a user typed (`orvane keep add`),
// in the form the scans list: a path that exists as its final path (long
// names for 8.3 ones, links resolved, no "\\?\" prefix); one that does not
// as the final path of the longest part of it that exists, followed by the
// rest; a relative path from the current folder. A registry text as
// common::NormalKeepText makes it, with HKEY_USERS\<the user's SID> read as
// HKEY_CURRENT_USER and HKEY_USERS\<SID>_Classes as HKEY_CLASSES_ROOT.
std::wstring StoredKeepText(std::wstring_view typed);

// The texts a stored keep text keeps: its normal text and, for a path on a
// fixed drive, its final form when that differs (a row stored by an earlier
// version, a folder that lies behind a link since). Keeping more is the safe
// side.
common::KeptItems KeptTextsOf(std::wstring_view stored);

}  // namespace core
