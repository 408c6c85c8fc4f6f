#pragma once
// The helper functions that the executable exports for outside callers
// (stdcall, exported under their decorated names, see exports.def). Buffers
// hold MAX_PATH units; whatever would not fit is refused.
#include <windows.h>

extern "C" {

// Appends the display text of a byte count to the text in `buffer`.
void __stdcall MakeFileSize(unsigned long long bytes, wchar_t* buffer) noexcept;

// Writes `text` with its first environment token expanded into `output`;
// 1 when written, 0 when the text holds no token or the result does not fit.
int __stdcall ReplaceEnvironmentString(const wchar_t* text, wchar_t* output) noexcept;

// Deletes a file or folder through the shell, to the recycle bin when
// `recycle` is non-zero; 1 on success, 0 on failure.
int __stdcall DeleteFileType(const wchar_t* path, int recycle) noexcept;

// Deletes one file directly, long paths included; `unused` is ignored.
int __stdcall DeleteFileTypeEx(const wchar_t* path, int unused) noexcept;

// Makes sure a key below HKEY_CURRENT_USER exists and optionally sets a text
// value; the Win32 status, 0 on success.
LSTATUS __stdcall CheckRegistryKey(const wchar_t* keyPath, const wchar_t* valueName,
                                   const wchar_t* valueText) noexcept;

// The major Windows version as GetVersionExW reports it to the caller.
int __stdcall CheckWindowsVersion() noexcept;

}
