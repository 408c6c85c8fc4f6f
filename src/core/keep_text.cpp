#include "core/keep_text.h"

#include <windows.h>

#include <optional>

#include "common/account_sid.h"
#include "common/handles.h"
#include "common/listed_delete.h"

namespace core {

namespace {

// HKEY_USERS\<the user's SID> is HKEY_CURRENT_USER, its "_Classes" key
// HKEY_CLASSES_ROOT's share of the user.
std::wstring WithUserRootsNamed(std::wstring normal) {
    const std::wstring sid = common::ProcessAccountSid();
    if (sid.empty()) return normal;
    const std::wstring users = L"HKEY_USERS\\" + sid;
    for (const auto& [key, root] : {std::pair{users + L"_Classes", L"HKEY_CLASSES_ROOT"}, std::pair{users, L"HKEY_CURRENT_USER"}})
        if (common::Keeps(key, normal)) return common::NormalKeepText(root + normal.substr(key.size()));
    return normal;
}

std::wstring FullPath(const std::wstring& path) {
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(length, L'\0');
    const DWORD written = length ? GetFullPathNameW(path.c_str(), length, full.data(), nullptr) : 0;
    if (written == 0 || written >= length) return path;
    full.resize(written);
    return full;
}

// How much of a full path is its root: "C:\" or "\\server\share".
std::size_t RootLength(std::wstring_view full) {
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return 3;
    if (!full.starts_with(L"\\\\")) return 0;
    const std::size_t server = full.find(L'\\', 2);
    if (server == std::wstring_view::npos) return full.size();
    const std::size_t share = full.find(L'\\', server + 1);
    return share == std::wstring_view::npos ? full.size() : share;
}

// The final path of the longest part of `full` that exists, with the rest
// after it; nothing when no part of it can be opened.
std::optional<std::wstring> FinalForm(const std::wstring& full) {
    const std::size_t root = RootLength(full);
    std::wstring existing = full;
    std::wstring rest;
    while (true) {
        if (std::optional<std::wstring> final = common::FinalPathOf(existing)) {
            if (final->ends_with(L'\\') && rest.starts_with(L'\\')) final->pop_back();
            return *final + rest;
        }
        const std::size_t backslash = existing.rfind(L'\\');
        if (existing.size() <= root || backslash == std::wstring::npos || backslash + 1 < root) return std::nullopt;
        rest.insert(0, existing.substr(backslash));
        // A drive's root keeps its backslash.
        existing.resize(backslash + 1 == root ? root : backslash);
    }
}

}  // namespace

std::wstring StoredKeepText(std::wstring_view typed) {
    std::wstring normal = common::NormalKeepText(typed);
    if (normal.empty()) return normal;
    if (common::IsRegistryText(normal)) return WithUserRootsNamed(std::move(normal));
    // "C:" alone names the drive here, not its current folder.
    if (normal.size() == 2 && normal[1] == L':') normal += L'\\';
    const std::wstring full = FullPath(normal);
    return common::NormalKeepText(FinalForm(full).value_or(full));
}

common::KeptItems KeptTextsOf(std::wstring_view stored) {
    common::KeptItems texts{common::NormalKeepText(stored)};
    const std::wstring& normal = texts.front();
    // Only on a fixed drive: the list is read on the window's thread before
    // every task, where a share or a removable drive could keep it waiting.
    // (A relative text, stored by hand, has no drive and stays as it is.)
    if (normal.size() < 2 || normal[1] != L':' || GetDriveTypeW((normal.substr(0, 2) + L"\\").c_str()) != DRIVE_FIXED)
        return texts;
    if (std::wstring final = StoredKeepText(normal); !common::SamePathText(final, normal))
        texts.push_back(std::move(final));
    return texts;
}

}  // namespace core
