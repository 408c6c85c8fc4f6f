#include "common/import_binding.h"

#include <cstdint>

#include <windows.h>
#include <winternl.h>

// The image of this executable, placed by the linker.
extern "C" BYTE __ImageBase[];
// The runtime's fix-up of data imported without an import stub; normally run
// by the start-up code, which a module load skips. It runs once.
extern "C" void _pei386_runtime_relocator();

namespace common {

namespace {
using LoadLibraryAFn = HMODULE(WINAPI*)(const char*);
using GetProcAddressFn = FARPROC(WINAPI*)(HMODULE, const char*);
using VirtualProtectFn = BOOL(WINAPI*)(void*, SIZE_T, DWORD, DWORD*);

bool bound = false;

const PEB* CurrentPeb() {
// GCC takes the fixed fs-relative read for an access to a zero-length array
// (GCC bug 99578).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
    return NtCurrentTeb()->ProcessEnvironmentBlock;
#pragma GCC diagnostic pop
}

template <typename Function>
Function AsFunction(const void* address) {
    return reinterpret_cast<Function>(const_cast<void*>(address));
}

template <typename T>
const T* At(const void* base, DWORD rva) {
    return reinterpret_cast<const T*>(static_cast<const BYTE*>(base) + rva);
}

const IMAGE_NT_HEADERS* Headers(const void* base) {
    return At<IMAGE_NT_HEADERS>(base, static_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
}

wchar_t LowerAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + (L'a' - L'A')) : c; }

// Whether the file name of `path`, less its extension, is `name` (ASCII, any case).
bool HasBaseName(const UNICODE_STRING& path, const char* name, int nameLength) {
    const int length = path.Length / 2;
    int start = length, end = length;
    while (start > 0 && path.Buffer[start - 1] != L'\\') --start;
    for (int i = start; i < length; ++i)
        if (path.Buffer[i] == L'.') end = i;
    if (end - start != nameLength) return false;
    for (int i = 0; i < nameLength; ++i)
        if (LowerAscii(path.Buffer[start + i]) != LowerAscii(static_cast<wchar_t>(name[i]))) return false;
    return true;
}

// A module already loaded into the process, found through the loader's list
// rather than an imported call.
const void* FindLoadedModule(const char* name, int nameLength) {
    const LIST_ENTRY* head = &CurrentPeb()->Ldr->InMemoryOrderModuleList;
    for (const LIST_ENTRY* link = head->Flink; link != head; link = link->Flink) {
        const auto* entry = CONTAINING_RECORD(link, LDR_DATA_TABLE_ENTRY, InMemoryOrderLinks);
        if (entry->FullDllName.Buffer && HasBaseName(entry->FullDllName, name, nameLength)) return entry->DllBase;
    }
    return nullptr;
}

bool SameText(const char* a, const char* b) {
    for (; *a && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

// A named export of a loaded module, following a forwarder ("KERNELBASE.Name")
// into another loaded module.
const void* FindExport(const void* module, const char* name, int depth = 0) {
    const IMAGE_DATA_DIRECTORY& directory = Headers(module)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (directory.Size == 0) return nullptr;
    const auto* exports = At<IMAGE_EXPORT_DIRECTORY>(module, directory.VirtualAddress);
    const DWORD* names = At<DWORD>(module, exports->AddressOfNames);
    const WORD* ordinals = At<WORD>(module, exports->AddressOfNameOrdinals);
    const DWORD* functions = At<DWORD>(module, exports->AddressOfFunctions);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        if (!SameText(At<char>(module, names[i]), name)) continue;
        const DWORD rva = functions[ordinals[i]];
        if (rva < directory.VirtualAddress || rva >= directory.VirtualAddress + directory.Size)
            return At<void>(module, rva);
        const char* forward = At<char>(module, rva);
        int dot = 0;
        while (forward[dot] && forward[dot] != '.') ++dot;
        if (depth > 2 || forward[dot] != '.') return nullptr;
        const void* target = FindLoadedModule(forward, dot);
        return target ? FindExport(target, forward + dot + 1, depth + 1) : nullptr;
    }
    return nullptr;
}

bool BindImports(LoadLibraryAFn loadLibrary, GetProcAddressFn getProcAddress) {
    const IMAGE_DATA_DIRECTORY& directory =
        Headers(__ImageBase)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (const auto* import = At<IMAGE_IMPORT_DESCRIPTOR>(__ImageBase, directory.VirtualAddress); import->Name;
         ++import) {
        // The library stays loaded for as long as the executable's code may run.
        const HMODULE library = loadLibrary(At<char>(__ImageBase, import->Name));
        if (!library) return false;
        const DWORD lookup = import->OriginalFirstThunk ? import->OriginalFirstThunk : import->FirstThunk;
        const auto* names = At<IMAGE_THUNK_DATA>(__ImageBase, lookup);
        auto* slots = const_cast<IMAGE_THUNK_DATA*>(At<IMAGE_THUNK_DATA>(__ImageBase, import->FirstThunk));
        for (; names->u1.AddressOfData; ++names, ++slots) {
            const char* function =
                IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)
                    ? MAKEINTRESOURCEA(IMAGE_ORDINAL(names->u1.Ordinal))
                    : reinterpret_cast<const char*>(
                          At<IMAGE_IMPORT_BY_NAME>(__ImageBase, names->u1.AddressOfData)->Name);
            const FARPROC address = getProcAddress(library, function);
            if (!address) return false;
            slots->u1.Function = reinterpret_cast<DWORD_PTR>(address);
        }
    }
    return true;
}

// Whether the loader applied the base relocations: the address this code runs
// at equals the relocated absolute address of the same place. Uses no data,
// which would be read through unrelocated addresses.
bool ImageRelocated() {
    std::uintptr_t actual, absolute;
#if defined(__x86_64__)
    asm volatile("lea 1f(%%rip), %0\n1:\n\tmovabs $1b, %1" : "=r"(actual), "=r"(absolute));
#else
    asm volatile("call 1f\n1:\n\tpop %0\n\tmovl $1b, %1" : "=r"(actual), "=r"(absolute));
#endif
    return actual == absolute;
}
}  // namespace

bool EnsureImportsBound() noexcept {
    // Wine maps an executable loaded as a module away from its preferred base
    // without relocating it; nothing of it can run then.
    if (!ImageRelocated()) return false;
    // The process's own executable had its imports bound by the loader.
    if (CurrentPeb()->Reserved3[1] == __ImageBase) return true;
    if (__atomic_load_n(&bound, __ATOMIC_ACQUIRE)) return true;

    const void* kernel32 = FindLoadedModule("kernel32", 8);
    if (!kernel32) return false;
    const auto loadLibrary = AsFunction<LoadLibraryAFn>(FindExport(kernel32, "LoadLibraryA"));
    const auto getProcAddress = AsFunction<GetProcAddressFn>(FindExport(kernel32, "GetProcAddress"));
    const auto virtualProtect = AsFunction<VirtualProtectFn>(FindExport(kernel32, "VirtualProtect"));
    if (!loadLibrary || !getProcAddress || !virtualProtect) return false;

    // Two first calls at once write the same addresses; that is harmless.
    const IMAGE_DATA_DIRECTORY& table = Headers(__ImageBase)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
    void* tableStart = __ImageBase + table.VirtualAddress;
    DWORD protection = 0;
    if (!virtualProtect(tableStart, table.Size, PAGE_READWRITE, &protection)) return false;
    const bool complete = BindImports(loadLibrary, getProcAddress);
    virtualProtect(tableStart, table.Size, protection, &protection);
    if (!complete) return false;

    _pei386_runtime_relocator();
    __atomic_store_n(&bound, true, __ATOMIC_RELEASE);
    return true;
}

}  // namespace common
