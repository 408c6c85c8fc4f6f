#include "common/listed_delete.h"

#include <winternl.h>

#include <iterator>
#include <vector>

#include "common/handles.h"

namespace common {

namespace {

constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kUncPrefix = L"\\\\?\\UNC\\";

// What the file system is given to open: the extended-length form from
// MAX_PATH on, where the plain form would not reach.
std::wstring LongForm(const std::wstring& path) {
    if (path.starts_with(L"\\\\")) return std::wstring(kUncPrefix) + path.substr(2);
    return std::wstring(kLongPrefix) + path;
}

template <typename Use>
auto WithOpenablePath(const std::wstring& path, Use use) {
    if (path.size() < MAX_PATH - 1) return use(path.c_str());
    return use(LongForm(path).c_str());
}

std::wstring_view WithoutTrailingBackslash(std::wstring_view path) {
    // A drive's root keeps its backslash: "C:\".
    if (path.size() > 3 && path.back() == L'\\') path.remove_suffix(1);
    return path;
}

// Wine's GetFinalPathNameByHandleW answers nothing for a path longer than
// MAX_PATH; its object name ("\??\C:\...") is the same path, unlimited. On
// Windows the object name names the volume's device instead, but there the
// first call answers.
std::optional<std::wstring> LongFinalPathUnderWine(HANDLE handle) {
    using QueryObject = LONG(NTAPI*)(HANDLE, OBJECT_INFORMATION_CLASS, void*, ULONG, ULONG*);
    static const auto query = reinterpret_cast<QueryObject>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    if (!query) return std::nullopt;
    std::vector<BYTE> buffer(sizeof(OBJECT_NAME_INFORMATION) + 65536);
    ULONG size = 0;
    if (query(handle, ObjectNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &size) < 0)
        return std::nullopt;
    const auto* info = reinterpret_cast<const OBJECT_NAME_INFORMATION*>(buffer.data());
    const std::wstring_view name(info->Name.Buffer, info->Name.Length / sizeof(wchar_t));
    if (!name.starts_with(L"\\??\\")) return std::nullopt;
    return std::wstring(kLongPrefix).append(name.substr(4));
}

// Calls `use(final path)` with the handle's final path; false when it cannot
// be read.
template <typename Use>
bool WithFinalPath(HANDLE handle, Use use) {
    wchar_t buffer[2 * MAX_PATH];
    DWORD length = GetFinalPathNameByHandleW(handle, buffer, static_cast<DWORD>(std::size(buffer)), VOLUME_NAME_DOS);
    if (length == 0) {
        const std::optional<std::wstring> name = LongFinalPathUnderWine(handle);
        return name && use(std::wstring_view(*name));
    }
    if (length < std::size(buffer)) return use(std::wstring_view(buffer, length));
    std::wstring large(length, L'\0');
    length = GetFinalPathNameByHandleW(handle, large.data(), length, VOLUME_NAME_DOS);
    return length != 0 && length < large.size() && use(std::wstring_view(large.data(), length));
}

// The handle's final path in the DOS form ("C:\x", "\\server\share\x"),
// without a trailing backslash but a drive root's.
std::optional<std::wstring> DosFinalPath(HANDLE handle) {
    std::wstring resolved;
    const bool read = WithFinalPath(handle, [&resolved](std::wstring_view final) {
        if (final.starts_with(kUncPrefix))
            resolved.assign(L"\\\\").append(final.substr(kUncPrefix.size()));
        else if (final.starts_with(kLongPrefix))
            resolved.assign(final.substr(kLongPrefix.size()));
        else
            resolved.assign(final);
        return true;
    });
    if (!read) return std::nullopt;
    return std::wstring(WithoutTrailingBackslash(resolved));
}

std::optional<DWORD> AttributesOf(HANDLE handle) {
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof(basic))) return std::nullopt;
    return basic.FileAttributes;
}

bool SetAttributes(HANDLE handle, DWORD attributes) {
    FILE_BASIC_INFO basic{};  // zero times are left as they are
    basic.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof(basic));
}

// The object goes when its last handle closes.
bool MarkForDeletion(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof(disposition));
}

// Read-only files refuse deletion; anything else that refuses is in use or
// denied. The attribute is put back when the deletion still fails. It belongs
// to the file, not to the name: a file with other hard links keeps it (they
// would be left writable), and is not deleted.
bool MarkReadOnlyForDeletion(HANDLE handle) {
    const std::optional<DWORD> attributes = AttributesOf(handle);
    if (!attributes || !(*attributes & FILE_ATTRIBUTE_READONLY)) return false;
    FILE_STANDARD_INFO standard{};
    if (!GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof(standard)) ||
        standard.NumberOfLinks != 1)
        return false;
    if (!SetAttributes(handle, *attributes & ~FILE_ATTRIBUTE_READONLY)) return false;
    if (MarkForDeletion(handle)) return true;
    SetAttributes(handle, *attributes);
    return false;
}

// Another program holds the object without sharing its deletion, or has
// locked a range of it: normal on a live machine, and not a failure.
bool IsInUseError(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

DeleteResult DeleteListed(const std::wstring& listedPath, bool folder) {
    if (listedPath.empty()) return DeleteResult::Failed;
    // No FILE_FLAG_OPEN_REPARSE_POINT: a link is followed, so that its final
    // path shows where it leads (Wine ignores the flag anyway).
    const UniqueFile object(WithOpenablePath(listedPath, [folder](const wchar_t* path) {
        return CreateFileW(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           folder ? FILE_FLAG_BACKUP_SEMANTICS : 0, nullptr);
    }));
    if (!object) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? DeleteResult::AlreadyGone
               : IsInUseError(error)                                          ? DeleteResult::InUse
                                                                              : DeleteResult::Failed;
    }
    if (!IsOpenedAt(object.get(), listedPath)) return DeleteResult::Elsewhere;
    if (folder) {
        // Opened for backup, a file opens too; without it a folder does not.
        const std::optional<DWORD> attributes = AttributesOf(object.get());
        if (!attributes || !(*attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteResult::Failed;
        return MarkForDeletion(object.get()) ? DeleteResult::Deleted : DeleteResult::Failed;
    }
    if (MarkForDeletion(object.get())) return DeleteResult::Deleted;
    const DWORD error = GetLastError();
    if (MarkReadOnlyForDeletion(object.get())) return DeleteResult::Deleted;
    return IsInUseError(error) ? DeleteResult::InUse : DeleteResult::Failed;
}

// Opens the listed plain file itself with `access`, sharing only reading;
// empty when the object reached is anything else.
UniqueFile OpenListed(const std::wstring& listedPath, DWORD access, BY_HANDLE_FILE_INFORMATION* information) {
    if (listedPath.empty()) return {};
    UniqueFile file(WithOpenablePath(listedPath, [access](const wchar_t* path) {
        return CreateFileW(path, access | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }));
    if (!file) return {};
    BY_HANDLE_FILE_INFORMATION own;
    BY_HANDLE_FILE_INFORMATION& read = information ? *information : own;
    if (!GetFileInformationByHandle(file.get(), &read) ||
        (read.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        !WithFinalPath(file.get(), [&](std::wstring_view final) { return FinalPathNames(final, listedPath); }))
        return {};
    return file;
}

}  // namespace

bool IsCleaned(DeleteResult result) { return result == DeleteResult::Deleted || result == DeleteResult::AlreadyGone; }

void DeleteTally::Add(DeleteResult result, std::uint64_t bytes) {
    switch (result) {
        case DeleteResult::Deleted:
            ++deleted;
            freedBytes += bytes;
            break;
        case DeleteResult::AlreadyGone:
            ++gone;
            goneBytes += bytes;
            break;
        case DeleteResult::InUse:
            ++inUse;
            inUseBytes += bytes;
            [[fallthrough]];
        case DeleteResult::Elsewhere:
        case DeleteResult::Failed:
            ++failed;
            failedBytes += bytes;
            break;
    }
}

DeleteTally& DeleteTally::operator+=(const DeleteTally& other) {
    deleted += other.deleted;
    gone += other.gone;
    failed += other.failed;
    inUse += other.inUse;
    inUseBytes += other.inUseBytes;
    failedBytes += other.failedBytes;
    freedBytes += other.freedBytes;
    goneBytes += other.goneBytes;
    return *this;
}

DeleteResult DeleteListedFile(const std::wstring& listedPath) { return DeleteListed(listedPath, false); }

DeleteResult DeleteListedFolder(const std::wstring& listedPath) {
    return DeleteListed(std::wstring(WithoutTrailingBackslash(listedPath)), true);
}

DeleteResult DeleteListedTree(const std::wstring& listedPath) {
    const std::wstring folder(WithoutTrailingBackslash(listedPath));
    WIN32_FIND_DATAW data;
    const UniqueFind find(WithOpenablePath(folder + L"\\*", [&data](const wchar_t* pattern) {
        return FindFirstFileW(pattern, &data);
    }));
    if (find) {
        do {
            const std::wstring_view name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
            const std::wstring path = folder + L"\\" + std::wstring(name);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteListedTree(path);
            else
                DeleteListedFile(path);
        } while (FindNextFileW(find.get(), &data));
    }
    return DeleteListedFolder(folder);
}

UniqueFile OpenListedFile(const std::wstring& listedPath, DWORD access, BY_HANDLE_FILE_INFORMATION* information) {
    return OpenListed(listedPath, access | DELETE, information);
}

UniqueFile OpenListedFileToRead(const std::wstring& listedPath, BY_HANDLE_FILE_INFORMATION* information) {
    return OpenListed(listedPath, GENERIC_READ, information);
}

bool DeleteOpenedFile(HANDLE file) { return MarkForDeletion(file) || MarkReadOnlyForDeletion(file); }

bool IsOpenedAt(HANDLE handle, std::wstring_view path) {
    return WithFinalPath(handle, [path](std::wstring_view final) { return FinalPathNames(final, path); });
}


std::optional<std::wstring> ResolvedFolder(const std::wstring& path) {
    // The folder itself must not be a link: Windows shows that on the handle
    // opened without following it, Wine (which follows every link) only in
    // the attributes of the path, so both are asked, before and after opening.
    const auto isPlainFolder = [&path] {
        const DWORD attributes = WithOpenablePath(path, [](const wchar_t* p) { return GetFileAttributesW(p); });
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
               !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    };
    if (path.empty() || !isPlainFolder()) return std::nullopt;
    const UniqueFile folder(WithOpenablePath(path, [](const wchar_t* p) {
        return CreateFileW(p, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    }));
    if (!folder) return std::nullopt;
    const std::optional<DWORD> attributes = AttributesOf(folder.get());
    if (!attributes || !(*attributes & FILE_ATTRIBUTE_DIRECTORY) || (*attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !isPlainFolder())
        return std::nullopt;
    return DosFinalPath(folder.get());
}

std::optional<std::wstring> FinalPathOf(const std::wstring& path) {
    if (path.empty()) return std::nullopt;
    const UniqueFile object(WithOpenablePath(path, [](const wchar_t* p) {
        return CreateFileW(p, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    }));
    if (!object) return std::nullopt;
    return DosFinalPath(object.get());
}

bool FinalPathNames(std::wstring_view finalPath, std::wstring_view dosPath) {
    dosPath = WithoutTrailingBackslash(dosPath);
    if (finalPath.starts_with(kUncPrefix)) {
        return dosPath.starts_with(L"\\\\") &&
               SamePathText(WithoutTrailingBackslash(finalPath.substr(kUncPrefix.size())), dosPath.substr(2));
    }
    if (finalPath.starts_with(kLongPrefix)) finalPath.remove_prefix(kLongPrefix.size());
    return SamePathText(WithoutTrailingBackslash(finalPath), dosPath);
}

bool SamePathText(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
               CSTR_EQUAL;
}

}  // namespace common
