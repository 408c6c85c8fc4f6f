#pragma once
// Entries from the registry's Run and RunOnce keys.
#include <windows.h>

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "startup/startup_item.h"

namespace startup {

struct RunKey {
    HKEY root;
    const wchar_t* path;
};

// The keys read, in listing order. There is no plain RunOnce key among them.
std::span<const RunKey> RunKeys();

// The data size a value may have to be listed.
inline constexpr std::size_t kRunValueBytes = 520;

// The command line held by a value: text of type REG_SZ or REG_EXPAND_SZ
// whose data is whole UTF-16 units ending in a terminator (or no data at
// all), cut at its first terminator. Nothing for any other value.
std::optional<std::wstring> RunValueText(DWORD type, std::span<const BYTE> data);

// Appends an entry for each listed value of the key.
void ReadRunKey(const RunKey& key, std::vector<StartupItem>& items);

}  // namespace startup
