#include "common/verified_folder.h"

#include <winternl.h>

#include <cstddef>
#include <cstring>
#include <cwctype>

#include "common/listed_delete.h"
#include "common/proc_address.h"
#include "common/text.h"

namespace common {

namespace {

using CreateCall = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER, ULONG,
                                    ULONG, ULONG, ULONG, PVOID, ULONG);
using SetInformationCall = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);
using StatusToErrorCall = ULONG(NTAPI*)(NTSTATUS);

HMODULE Ntdll() {
    static const HMODULE module = GetModuleHandleW(L"ntdll.dll");
    return module;
}

// The Win32 error for `status`, set as the last error; false.
bool Failed(NTSTATUS status) {
    static const auto toError = GetProcAddressAs<StatusToErrorCall>(Ntdll(), "RtlNtStatusToDosError");
    SetLastError(toError ? toError(status) : ERROR_GEN_FAILURE);
    return false;
}

// Listing, passing through and reading attributes: enough to make things
// below it, which the file system checks against the folder's own rights.
constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// No FILE_SHARE_DELETE: a folder held cannot be renamed away or removed.
constexpr ULONG kFolderSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
// A link itself is opened, not followed: its attributes then show it.
constexpr ULONG kFolderOptions = FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT;
constexpr ACCESS_MASK kNewFileAccess =
    GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;

// A folder that is not where its path says answers this.
constexpr DWORD kNotThere = ERROR_CANT_RESOLVE_FILENAME;

// Opens `name`, relative to `root` when given (else an NT path), as
// NtCreateFile does; the Win32 error is set on failure.
UniqueFile Create(HANDLE root, std::wstring_view name, ACCESS_MASK access, ULONG sharing, ULONG disposition,
                  ULONG options, bool* created = nullptr) {
    static const auto create = GetProcAddressAs<CreateCall>(Ntdll(), "NtCreateFile");
    const std::size_t bytes = name.size() * sizeof(wchar_t);
    if (!create || bytes > 0xFFF0) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return {};
    }
    UNICODE_STRING text{static_cast<USHORT>(bytes), static_cast<USHORT>(bytes), const_cast<wchar_t*>(name.data())};
    OBJECT_ATTRIBUTES object;
    InitializeObjectAttributes(&object, &text, OBJ_CASE_INSENSITIVE, root, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE handle = nullptr;
    const NTSTATUS status = create(&handle, access, &object, &io, nullptr, FILE_ATTRIBUTE_NORMAL, sharing, disposition,
                                   options, nullptr, 0);
    if (status < 0) {
        Failed(status);
        return {};
    }
    if (created) *created = io.Information == FILE_CREATED;
    return UniqueFile(handle);
}

// "C:\", "C:\a" and "\\server\share\a" as given, without trailing backslashes
// but for a drive's root.
std::wstring Tidied(std::wstring_view path) {
    std::wstring tidy(WithoutTrailingBackslashes(path));
    if (tidy.size() == 2 && tidy[1] == L':') tidy += L'\\';
    return tidy;
}

bool IsDrivePath(std::wstring_view path) {
    return path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
}

// The NT name of a drive or UNC path; nothing for any other form.
std::optional<std::wstring> NtPath(std::wstring_view path) {
    if (IsDrivePath(path)) return L"\\??\\" + std::wstring(path);
    if (path.starts_with(L"\\\\") && !path.starts_with(L"\\\\?\\") && !path.starts_with(L"\\\\.\\"))
        return L"\\??\\UNC\\" + std::wstring(path.substr(2));
    return std::nullopt;
}

// One name within a folder: no separator, no stream, no "." or "..".
bool IsPlainName(std::wstring_view name) {
    return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:") == std::wstring_view::npos;
}

bool IsPlainFolderAt(HANDLE handle, std::wstring_view path) {
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) return false;
    return (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           IsOpenedAt(handle, path);
}

}  // namespace

std::optional<VerifiedFolder> VerifiedFolder::Open(const std::wstring& path) {
    std::wstring tidy = Tidied(path);
    const std::optional<std::wstring> nt = NtPath(tidy);
    if (!nt) {
        SetLastError(ERROR_BAD_PATHNAME);
        return std::nullopt;
    }
    UniqueFile handle = Create(nullptr, *nt, kFolderAccess, kFolderSharing, FILE_OPEN, kFolderOptions);
    if (!handle) return std::nullopt;
    if (!IsPlainFolderAt(handle.get(), tidy)) {
        SetLastError(kNotThere);
        return std::nullopt;
    }
    return VerifiedFolder(std::move(handle), std::move(tidy));
}

std::wstring VerifiedFolder::PathOf(std::wstring_view name) const {
    std::wstring path = path_;
    if (path.back() != L'\\') path += L'\\';
    return path.append(name);
}

std::optional<VerifiedFolder> VerifiedFolder::Child(const std::wstring& name, bool* created) const {
    if (created) *created = false;
    if (!IsPlainName(name)) {
        SetLastError(ERROR_INVALID_NAME);
        return std::nullopt;
    }
    UniqueFile handle = Create(handle_.get(), name, kFolderAccess, kFolderSharing, FILE_OPEN_IF, kFolderOptions, created);
    if (!handle) return std::nullopt;
    std::wstring path = PathOf(name);
    if (!IsPlainFolderAt(handle.get(), path)) {
        SetLastError(kNotThere);
        return std::nullopt;
    }
    return VerifiedFolder(std::move(handle), std::move(path));
}

UniqueFile VerifiedFolder::NewFile(const std::wstring& name) const {
    if (!IsPlainName(name)) {
        SetLastError(ERROR_INVALID_NAME);
        return {};
    }
    UniqueFile file = Create(handle_.get(), name, kNewFileAccess, 0, FILE_CREATE,
                             FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT);
    if (file && !IsOpenedAt(file.get(), PathOf(name))) {
        DeleteOpenedFile(file.get());
        SetLastError(kNotThere);
        return {};
    }
    return file;
}

bool VerifiedFolder::MoveHere(HANDLE file, const std::wstring& name) const {
    // NtSetInformationFile itself: Wine's SetFileInformationByHandle makes
    // the name a full path from the current folder, where the file system
    // takes it as it is, relative to RootDirectory. FILE_RENAME_INFO has the
    // layout of FILE_RENAME_INFORMATION.
    static const auto setInformation = GetProcAddressAs<SetInformationCall>(Ntdll(), "NtSetInformationFile");
    if (!setInformation || !IsPlainName(name)) return false;
    const std::size_t bytes = name.size() * sizeof(wchar_t);
    std::vector<BYTE> buffer(offsetof(FILE_RENAME_INFO, FileName) + bytes + sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = handle_.get();
    rename->FileNameLength = static_cast<DWORD>(bytes);
    std::memcpy(rename->FileName, name.data(), bytes);
    IO_STATUS_BLOCK io{};
    const NTSTATUS status =
        setInformation(file, &io, rename, static_cast<ULONG>(buffer.size()), FileRenameInformation);
    if (status < 0) return Failed(status);
    return IsOpenedAt(file, PathOf(name));
}

std::optional<VerifiedFolder> MakeVerifiedFolder(const std::wstring& path, std::vector<std::wstring>* created) {
    // Up to the deepest folder that exists; a folder that exists and fails
    // its check ends it.
    std::wstring existing = Tidied(path);
    std::vector<std::wstring> missing;
    std::optional<VerifiedFolder> folder;
    while (!(folder = VerifiedFolder::Open(existing))) {
        const DWORD error = GetLastError();
        const std::size_t cut = existing.rfind(L'\\');
        if ((error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) || cut == std::wstring::npos ||
            cut + 1 == existing.size())
            return std::nullopt;
        missing.push_back(existing.substr(cut + 1));
        existing = Tidied(existing.substr(0, cut));
    }
    for (auto name = missing.rbegin(); name != missing.rend(); ++name) {
        std::wstring childPath = folder->PathOf(*name);
        bool made = false;
        folder = folder->Child(*name, &made);
        if (made && created) created->push_back(std::move(childPath));
        if (!folder) return std::nullopt;
    }
    return folder;
}

}  // namespace common
