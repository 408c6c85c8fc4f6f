#include "startup/startup_keeping.h"

#include <windows.h>

#include <optional>

#include "common/crash_point.h"
#include "common/listed_delete.h"
#include "common/registry_value.h"
#include "common/whole_file.h"
#include "db/local_database.h"
#include "startup/startup_key.h"
#include "startup/startup_store.h"

namespace startup {

namespace {

std::optional<std::vector<BYTE>> ReadWholeFile(HANDLE file) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart > (64 << 20)) return std::nullopt;
    std::vector<BYTE> bytes(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        return std::nullopt;
    return bytes;
}

// What the entry's place holds now: the Run value, or the shortcut's bytes
// as a value of no type; nothing when the place is empty or unreadable.
std::optional<common::RegistryValue> InPlace(const StartupItem& item) {
    if (item.uFilePathFlag != 0) {
        const common::UniqueRegKey key = OpenStartupKey(item.hKey, item.strPath);
        return key ? common::ReadRegistryValue(key.get(), item.strName) : std::nullopt;
    }
    const common::UniqueFile file = common::OpenListedFile(item.iconPath, GENERIC_READ);
    std::optional<std::vector<BYTE>> bytes = file ? ReadWholeFile(file.get()) : std::nullopt;
    if (!bytes) return std::nullopt;
    return common::RegistryValue{REG_NONE, std::move(*bytes)};
}

bool KeepRunValue(const StartupItem& item) {
    const common::UniqueRegKey key = OpenStartupKey(item.hKey, item.strPath);
    if (!key) return false;
    const std::optional<common::RegistryValue> value = common::ReadRegistryValue(key.get(), item.strName);
    if (!value) return false;
    KeptEntry entry;
    entry.item = item;
    entry.valueType = value->type;
    entry.content = value->data;
    db::LocalDatabase& database = db::Database(StoreOf(item));
    const std::optional<std::int64_t> id = database.AddKeptStartupEntry(entry);
    if (!id) return false;
    common::CrashPoint("startup.keep");
    // The registry cannot delete a value on condition: the value is read
    // again right before, and a value that changed meanwhile stays.
    if (common::ReadRegistryValue(key.get(), item.strName) == value &&
        RegDeleteValueW(key.get(), item.strName.c_str()) == ERROR_SUCCESS)
        return true;
    database.RemoveKeptStartupEntry(*id);
    return false;
}

bool KeepShortcut(const StartupItem& item) {
    const common::UniqueFile file = common::OpenListedFile(item.iconPath, GENERIC_READ);
    if (!file) return false;
    const std::optional<std::vector<BYTE>> bytes = ReadWholeFile(file.get());
    if (!bytes) return false;
    KeptEntry entry;
    entry.item = item;
    entry.content = *bytes;
    db::LocalDatabase& database = db::Database(StoreOf(item));
    const std::optional<std::int64_t> id = database.AddKeptStartupEntry(entry);
    if (!id) return false;
    common::CrashPoint("startup.keep");
    // The handle shares only reading: the file cannot change before it goes.
    if (common::DeleteOpenedFile(file.get())) return true;
    database.RemoveKeptStartupEntry(*id);
    return false;
}

// Removes what PutBack just wrote, when its record cannot be forgotten: the
// record still holds it, and it must not be listed twice.
void TakeBackAgain(const KeptEntry& entry) {
    const StartupItem& item = entry.item;
    if (item.uFilePathFlag != 0) {
        if (const common::UniqueRegKey key = OpenStartupKey(item.hKey, item.strPath))
            RegDeleteValueW(key.get(), item.strName.c_str());
        return;
    }
    if (const common::UniqueFile file = common::OpenListedFile(item.iconPath, 0)) common::DeleteOpenedFile(file.get());
}

bool PutBack(const KeptEntry& entry) {
    const StartupItem& item = entry.item;
    if (item.uFilePathFlag == 0) return common::CreateFileWithBytes(item.iconPath, entry.content);
    common::UniqueRegKey key = OpenStartupKey(item.hKey, item.strPath);
    if (!key && RegCreateKeyExW(item.hKey, item.strPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                                nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    // A value that took the entry's name meanwhile is the user's: it stays.
    if (RegQueryValueExW(key.get(), item.strName.c_str(), nullptr, nullptr, nullptr, nullptr) != ERROR_FILE_NOT_FOUND)
        return false;
    return common::WriteRegistryValue(key.get(), item.strName, {entry.valueType, entry.content});
}

}  // namespace

StartupItem KeptItem(const KeptEntry& entry, db::Store store) {
    StartupItem item = entry.item;
    item.bStatus = 1;
    item.origin = StartupOrigin::Kept;
    // No approval values switch it: the hive only tells whose it is.
    item.folderHive = store == db::Store::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    item.rowId = entry.id;
    return item;
}

bool IsBackInPlace(const KeptEntry& entry) {
    return InPlace(entry.item) == common::RegistryValue{entry.valueType, entry.content};
}

void AppendKeptItems(std::vector<StartupItem>& items) {
    for (const db::Store store : db::kStores) {
        std::vector<KeptEntry> entries;
        db::Database(store).ReadKeptStartupEntries(entries);
        for (const KeptEntry& entry : entries)
            if (!IsBackInPlace(entry)) items.push_back(KeptItem(entry, store));
    }
}

void ForgetEntriesBackInPlace() {
    for (const db::Store store : db::kStores) {
        std::vector<KeptEntry> entries;
        if (!db::Database(store).ReadKeptStartupEntries(entries)) continue;
        for (const KeptEntry& entry : entries)
            if (IsBackInPlace(entry)) db::Database(store).RemoveKeptStartupEntry(entry.id);
    }
}

bool KeepEntry(const StartupItem& item) {
    if (item.origin != StartupOrigin::InPlace) return false;
    return item.uFilePathFlag != 0 ? KeepRunValue(item) : KeepShortcut(item);
}

bool PutKeptEntryBack(const StartupItem& item) {
    if (item.origin != StartupOrigin::Kept) return false;
    db::LocalDatabase& database = db::Database(StoreOf(item));
    std::vector<KeptEntry> entries;
    if (!database.ReadKeptStartupEntries(entries)) return false;
    for (const KeptEntry& entry : entries) {
        if (entry.id != item.rowId) continue;
        if (!PutBack(entry)) return false;
        common::CrashPoint("startup.putback");
        if (database.RemoveKeptStartupEntry(entry.id)) return true;
        TakeBackAgain(entry);
        return false;
    }
    return false;
}

}  // namespace startup
