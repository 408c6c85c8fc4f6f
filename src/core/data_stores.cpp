#include "common/account_sid.h"
#include "core/data_stores.h"

#include <aclapi.h>
#include <knownfolders.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdio>
#include <vector>

#include "common/listed_delete.h"
#include "engine/browser_launch.h"

namespace core {

namespace {

constexpr wchar_t kVendor[] = L"Quillmark";
constexpr wchar_t kProduct[] = L"Orvane";
// How often a folder another account keeps putting back is moved aside.
constexpr int kRounds = 3;

StoreFolder Refused(const std::wstring& path, const std::wstring& why) {
    return {{}, L"The folder " + path + L" is not used: " + why + L"."};
}

std::wstring ErrorText(DWORD error) { return L" (error " + std::to_wstring(error) + L")"; }

std::wstring SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!sid || !ConvertSidToStringSidW(sid, &text)) return {};
    std::wstring result(text);
    LocalFree(text);
    return result;
}

std::optional<std::wstring> KnownFolder(const KNOWNFOLDERID& id) {
    wchar_t* path = nullptr;
    std::optional<std::wstring> result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path))) result = path;
    CoTaskMemFree(path);
    return result;
}

constexpr DWORD kJudgeAccess = READ_CONTROL | WRITE_DAC | DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

// Not following a link: the folder itself is judged, never where a link
// leads (Windows shows a link on this handle; Wine, which follows every link,
// in the final path).
common::UniqueFile OpenFolder(const std::wstring& path, DWORD access) {
    return common::UniqueFile(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Renames the folder open as `folder` to an untrusted name beside it; the
// handle is what was judged, so what is moved is what was judged.
bool RenameAside(HANDLE folder, const std::wstring& parent, const std::wstring& name) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    // The NT form: a rename by handle takes a full path only so.
    const std::wstring target = L"\\??\\" + parent + L"\\" + UntrustedName(name, now);
    const std::size_t bytes = sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t);
    std::vector<BYTE> buffer(bytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::copy(target.begin(), target.end(), rename->FileName);
    return SetFileInformationByHandle(folder, FileRenameInfo, rename, static_cast<DWORD>(bytes));
}

// The sub-folders `names` in turn below the known folder `root`, each by `rule`.
StoreFolder EnsureBelow(const KNOWNFOLDERID& root, std::initializer_list<const wchar_t*> names,
                        const StoreRule& rule) {
    const std::optional<std::wstring> known = KnownFolder(root);
    if (!known) return {{}, L"The system's folder for the program's data cannot be found."};
    // Its final path: the store's folders are checked to lie exactly there.
    const std::optional<std::wstring> resolved = common::ResolvedFolder(*known);
    if (!resolved) return Refused(*known, L"it cannot be opened or is a link");
    StoreFolder folder{*resolved, {}};
    for (const wchar_t* name : names) {
        folder = EnsureStoreFolder(folder.path, name, rule);
        if (!folder) break;
    }
    return folder;
}

}  // namespace

NewObjectSecurity::NewObjectSecurity(const StoreRule& rule) {
    std::wstring sddl = L"O:" + rule.owner + L"D:P";
    for (const AccessEntry& entry : StoreEntries(rule)) {
        wchar_t ace[128];
        std::swprintf(ace, std::size(ace), L"(A;%ls;0x%lx;;;%ls)",
                      entry.flags & CONTAINER_INHERIT_ACE ? L"OICI" : L"", static_cast<unsigned long>(entry.mask),
                      entry.sid.c_str());
        sddl += ace;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        attributes_.lpSecurityDescriptor = descriptor;
}

NewObjectSecurity::~NewObjectSecurity() { LocalFree(attributes_.lpSecurityDescriptor); }

PACL NewObjectSecurity::Dacl() const {
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!attributes_.lpSecurityDescriptor ||
        !GetSecurityDescriptorDacl(attributes_.lpSecurityDescriptor, &present, &dacl, &defaulted) || !present)
        return nullptr;
    return dacl;
}

std::optional<ObjectSecurity> ReadSecurity(HANDLE object) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                        nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return std::nullopt;
    ObjectSecurity security;
    security.owner = SidText(owner);
    security.hasDacl = dacl != nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    security.isProtected =
        GetSecurityDescriptorControl(descriptor, &control, &revision) && (control & SE_DACL_PROTECTED);
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) continue;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        AccessEntry entry;
        entry.flags = header->AceFlags;
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_DENIED_ACE_TYPE) {
            // Allowed and denied entries share their layout.
            auto* plain = static_cast<ACCESS_ALLOWED_ACE*>(ace);
            entry.kind = header->AceType == ACCESS_ALLOWED_ACE_TYPE ? AccessEntry::Kind::Allow
                                                                   : AccessEntry::Kind::Deny;
            entry.mask = plain->Mask;
            entry.sid = SidText(&plain->SidStart);
        } else {
            entry.kind = AccessEntry::Kind::Other;
        }
        security.entries.push_back(std::move(entry));
    }
    LocalFree(descriptor);
    return security;
}

Verdict JudgeShown(const ObjectSecurity& found, StoreRule rule, ACCESS_MASK othersMay) {
    return Judge(found, ShownRule(std::move(rule)), othersMay);
}

StoreRule ShownRule(StoreRule rule) {
    if (engine::RunningUnderWine()) rule.controllers.push_back(common::TokenAccountSid());
    return rule;
}

std::wstring UntrustedName(const std::wstring& name, const SYSTEMTIME& time) {
    wchar_t stamp[32];
    std::swprintf(stamp, std::size(stamp), L"%04u%02u%02u-%02u%02u%02u-%03u", time.wYear, time.wMonth, time.wDay,
                  time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
    return name + L".untrusted-" + stamp;
}

StoreFolder EnsureStoreFolder(const std::wstring& parent, const std::wstring& name, const StoreRule& rule) {
    const std::wstring path = parent + L"\\" + name;
    NewObjectSecurity security(rule);
    if (!security.Attributes()) return Refused(path, L"its permissions cannot be made");
    for (int round = 0; round < kRounds; ++round) {
        if (!CreateDirectoryW(path.c_str(), security.Attributes()) && GetLastError() != ERROR_ALREADY_EXISTS)
            return Refused(path, L"it cannot be made" + ErrorText(GetLastError()));
        common::UniqueFile folder(OpenFolder(path, kJudgeAccess));
        // A folder whose DACL keeps the administrators from reading it is not
        // theirs: it can still be moved aside, by their right to delete in
        // its parent.
        const bool readable = folder || GetLastError() != ERROR_ACCESS_DENIED;
        if (!readable) folder = OpenFolder(path, DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE);
        if (!folder) return Refused(path, L"it cannot be opened" + ErrorText(GetLastError()));
        BY_HANDLE_FILE_INFORMATION information;
        if (!GetFileInformationByHandle(folder.get(), &information) ||
            (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) !=
                FILE_ATTRIBUTE_DIRECTORY ||
            !common::IsOpenedAt(folder.get(), path))
            return Refused(path, L"it is a link or not a folder");
        const std::optional<ObjectSecurity> found = readable ? ReadSecurity(folder.get()) : std::nullopt;
        if (readable && !found) return Refused(path, L"its owner and permissions cannot be read");
        switch (found ? JudgeShown(*found, rule, kReadAndExecute) : Verdict::Untrusted) {
            case Verdict::Use: return {path, {}};
            case Verdict::Rewrite: {
                const DWORD error =
                    SetSecurityInfo(folder.get(), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                    nullptr, security.Dacl(), nullptr);
                if (error != ERROR_SUCCESS) return Refused(path, L"its permissions cannot be set" + ErrorText(error));
                return {path, {}};
            }
            case Verdict::Untrusted:
                if (!RenameAside(folder.get(), parent, name))
                    return Refused(path, L"another account made it or may change it, and it cannot be moved aside" +
                                             ErrorText(GetLastError()));
                break;
        }
    }
    return Refused(path, L"another account keeps putting it back");
}

StoreFolder MachineStore() { return EnsureBelow(FOLDERID_ProgramData, {kVendor, kProduct}, MachineRule(true)); }

StoreFolder MachineStoreFolder(const std::wstring& sub, bool usersRead) {
    const StoreFolder store = MachineStore();
    return store ? EnsureStoreFolder(store.path, sub, MachineRule(usersRead)) : store;
}

StoreFolder UserStore() {
    const std::wstring account = common::TokenAccountSid();
    if (account.empty()) return {{}, L"The account this program runs as cannot be read."};
    return EnsureBelow(FOLDERID_LocalAppData, {kVendor, kProduct}, AccountRule(account));
}

std::optional<std::wstring> MachineStorePath() {
    const std::optional<std::wstring> known = KnownFolder(FOLDERID_ProgramData);
    if (!known) return std::nullopt;
    return *known + L"\\" + kVendor + L"\\" + kProduct;
}


}  // namespace core
