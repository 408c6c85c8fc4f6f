// Thin wrappers over the helpers for outside callers. An outside caller loads
// the executable as a module, so neither the loader's import binding nor the
// runtime's start-up code has run: each wrapper binds the imports first, and
// nothing here may rely on static initialisation or throw.
#include "common/exports.h"

#include <span>

#include "common/env_path.h"
#include "common/file_delete.h"
#include "common/import_binding.h"
#include "common/registry_key.h"
#include "common/size_text.h"
#include "common/text_buffer.h"
#include "common/windows_version.h"

namespace {
std::span<wchar_t> PathBuffer(wchar_t* buffer) { return {buffer, common::kPathBufferUnits}; }
}  // namespace

extern "C" {

void __stdcall MakeFileSize(unsigned long long bytes, wchar_t* buffer) noexcept {
    if (buffer && common::EnsureImportsBound()) common::AppendToBuffer(PathBuffer(buffer), common::MakeFileSize(bytes));
}

int __stdcall ReplaceEnvironmentString(const wchar_t* text, wchar_t* output) noexcept {
    if (!text || !output || !common::EnsureImportsBound()) return 0;
    const std::optional<std::wstring> replaced =
        common::ReplaceEnvironmentString(text, common::ReadEnvironmentVariable);
    return replaced && common::CopyToBuffer(PathBuffer(output), *replaced) ? 1 : 0;
}

int __stdcall DeleteFileType(const wchar_t* path, int recycle) noexcept {
    return path && common::EnsureImportsBound() && common::DeleteFileType(path, recycle != 0) ? 1 : 0;
}

int __stdcall DeleteFileTypeEx(const wchar_t* path, int) noexcept {
    return path && common::EnsureImportsBound() && common::DeleteFileTypeEx(path) ? 1 : 0;
}

LSTATUS __stdcall CheckRegistryKey(const wchar_t* keyPath, const wchar_t* valueName,
                                   const wchar_t* valueText) noexcept {
    if (!common::EnsureImportsBound()) return ERROR_DLL_INIT_FAILED;
    return common::CheckRegistryKey(keyPath, valueName, valueText);
}

int __stdcall CheckWindowsVersion() noexcept {
    return common::EnsureImportsBound() ? common::CheckWindowsVersion() : 0;
}
}
