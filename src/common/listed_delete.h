#pragma once
// The one owner of deleting what a scan listed. Every cleaner (the junk
// clean, the single-file clean, the system-disk clean, the removal of empty
// folders) deletes through here, and any other code that must delete a file
// or folder it found earlier should too.
//
// A listed path is deleted only when the object that opening it reaches is
// the listed one: the object is opened once, its final path (links
// resolved) must equal the listed path, letter case aside, and it is deleted
// through that same handle. So a folder that became a junction or a link
// since the scan, a link to a file (which Wine lists as a plain file), or a
// link above the listed folder, makes the path lead elsewhere, and nothing is
// deleted. Listed paths must therefore be final paths themselves: a scan
// takes its folders through ResolvedFolder.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/handles.h"

namespace common {

enum class DeleteResult {
    Deleted,      // deleted now
    AlreadyGone,  // nothing is at the listed path: counts as cleaned
    Elsewhere,    // the path leads to another object: left alone
    InUse,        // held open without sharing deletion, or locked: still there
    Failed,       // not empty, denied: still there
};

// True when the listed object is gone: Deleted or AlreadyGone.
bool IsCleaned(DeleteResult result);

// What a run of deletions did, as every cleaner counts it: a file gone
// already is cleaned (it is no longer there to clean) but frees nothing now;
// only the files deleted now free their bytes.
struct DeleteTally {
    std::size_t deleted = 0;
    std::size_t gone = 0;    // already gone
    std::size_t failed = 0;  // still there (in use included), or the path led elsewhere
    std::size_t inUse = 0;   // of those failed: in use
    std::uint64_t freedBytes = 0;  // of the files deleted now
    std::uint64_t goneBytes = 0;   // of the files gone already
    std::uint64_t inUseBytes = 0;  // of the files in use
    std::uint64_t failedBytes = 0; // of the files failed, in use included

    void Add(DeleteResult result, std::uint64_t bytes);
    DeleteTally& operator+=(const DeleteTally& other);
    std::size_t Cleaned() const { return deleted + gone; }
    std::uint64_t CleanedBytes() const { return freedBytes + goneBytes; }
};

// Deletes the file at `listedPath`, clearing its read-only attribute on the
// same handle when that alone refuses the deletion and the file has no other
// hard link (the attribute is the file's, shared by all its links: such a
// file stays, Failed). Never deletes a folder.
DeleteResult DeleteListedFile(const std::wstring& listedPath);

// Removes the folder at `listedPath` when it is empty. Never deletes a file.
DeleteResult DeleteListedFolder(const std::wstring& listedPath);

// Deletes the folder at `listedPath` with everything in it, each file and
// folder as above. A link inside is left alone, and so are the folders that
// hold it (the answer is then Failed).
DeleteResult DeleteListedTree(const std::wstring& listedPath);

// Opens the file at `listedPath` with `access` and DELETE, sharing only
// reading, when the object reached is the listed plain file itself; empty
// otherwise. For those who must read a listed file before it goes (a copy
// kept or moved): what they read is what they then delete. What the handle
// shows of the file goes to `information` when given.
UniqueFile OpenListedFile(const std::wstring& listedPath, DWORD access,
                          BY_HANDLE_FILE_INFORMATION* information = nullptr);

// OpenListedFile for reading only, without DELETE: for a copy made long
// before its source goes, so that a file another program holds without
// sharing deletion can still be copied. Writing is not shared either, so
// what is read cannot change meanwhile.
UniqueFile OpenListedFileToRead(const std::wstring& listedPath, BY_HANDLE_FILE_INFORMATION* information = nullptr);

// Deletes the file opened by OpenListedFile: it goes when the handle closes.
// A read-only attribute that alone refuses is cleared on the same handle
// when it was opened with FILE_WRITE_ATTRIBUTES.
bool DeleteOpenedFile(HANDLE file);

// Whether the object `handle` opened is at `path` ("C:\...", "\\server\share\..."):
// its final path names it, letter case aside.
bool IsOpenedAt(HANDLE handle, std::wstring_view path);

// The final path of the folder `path` ("C:\...", "\\server\share\...", no
// trailing backslash): where the folder's contents really lie. Nothing when
// it cannot be opened or is itself a link (junction, symbolic link).
std::optional<std::wstring> ResolvedFolder(const std::wstring& path);

// The final path of what `path` reaches, links followed, in the same form:
// the path under which a scan lists what lies there. Nothing when it cannot
// be opened.
std::optional<std::wstring> FinalPathOf(const std::wstring& path);

// Whether GetFinalPathNameByHandleW's answer ("\\?\C:\x", "\\?\UNC\server\share\x")
// names the path `dosPath` ("C:\x", "\\server\share\x"), letter case aside.
bool FinalPathNames(std::wstring_view finalPath, std::wstring_view dosPath);

// Whether two paths are the same text, letter case aside (as the file system
// compares names).
bool SamePathText(std::wstring_view a, std::wstring_view b);

}  // namespace common
