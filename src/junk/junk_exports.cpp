// An outside caller loads the executable as a module: nothing here relies on
// static initialisation or throws.
#include "junk/junk_exports.h"

#include "junk/junk_clean.h"

extern "C" {

int __stdcall JunkFileCleanerCleanJunkFile(const wchar_t* name, const wchar_t* folder, int) noexcept {
    if (!name || !folder) return 0;
    try {
        return junk::CleanJunkFile(name, folder);
    } catch (...) {
        return 0;
    }
}

void __stdcall JunkFileCleanerCheckRegistryKey(const wchar_t* keyPath, const wchar_t* valueName, int mode) noexcept {
    if (!keyPath) return;
    try {
        junk::CheckJunkRegistryKey(keyPath, valueName, mode);
    } catch (...) {
    }
}
}
