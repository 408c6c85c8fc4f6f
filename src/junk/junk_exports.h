#pragma once
// The junk cleaner's functions that the executable exports for outside
// callers (stdcall, under their decorated names, see common/exports.def).

extern "C" {

// Deletes folder + name (the folder ends with a backslash); 1 when deleted.
// The third value is not used.
int __stdcall JunkFileCleanerCleanJunkFile(const wchar_t* name, const wchar_t* folder, int unused) noexcept;

// Makes sure HKEY_CURRENT_USER\keyPath exists and, in mode 1, that valueName
// is a properly terminated string.
void __stdcall JunkFileCleanerCheckRegistryKey(const wchar_t* keyPath, const wchar_t* valueName, int mode) noexcept;
}
