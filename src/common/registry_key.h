#pragma once
// Per-user keys that must exist, optionally with a text value.
#include <windows.h>

namespace common {

// Opens the key below HKEY_CURRENT_USER, creating it when it is missing, and
// writes `valueText` (when not null) under `valueName` as REG_SZ. Answers the
// status of closing the key (0) once it was opened or created, else the
// failing status; a failed value write is not reported. A null or empty key
// path, which would name HKEY_CURRENT_USER itself, is refused.
LSTATUS CheckRegistryKey(const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* valueText);

}  // namespace common
