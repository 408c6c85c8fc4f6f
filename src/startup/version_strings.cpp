#include "startup/version_strings.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "common/local_drive_path.h"

namespace startup {

namespace {

// The string `name` of one translation; empty when the resource lacks it.
std::optional<std::wstring> QueryString(std::vector<BYTE>& block, WORD language, WORD codePage, const wchar_t* name) {
    wchar_t subBlock[MAX_PATH];
    if (std::swprintf(subBlock, MAX_PATH, L"\\StringFileInfo\\%04x%04x\\%ls", language, codePage, name) < 0)
        return std::nullopt;
    void* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), subBlock, &text, &length)) return std::nullopt;
    if (!text) return std::wstring();
    return std::wstring(static_cast<const wchar_t*>(text), wcsnlen(static_cast<const wchar_t*>(text), length));
}

}  // namespace

std::optional<std::wstring> FileNameOfPath(std::wstring_view path) {
    const std::size_t slash = path.rfind(L'\\');
    if (slash == std::wstring_view::npos || slash == 0) return std::nullopt;
    return std::wstring(path.substr(slash + 1));
}

void ReadVersionStrings(const std::wstring& path, StartupItem& item) {
    const std::optional<std::wstring> fileName = FileNameOfPath(path);
    // Only a file on a local fixed disk is read: the listing must not reach
    // out to a server (or a device) that an unelevated program named.
    const DWORD size = common::IsOnLocalFixedDrive(path) ? GetFileVersionInfoSizeW(path.c_str(), nullptr) : 0;
    if (size == 0) {
        if (fileName) item.fileDescription = *fileName;
        return;
    }
    std::vector<BYTE> block(size);
    struct Translation {
        WORD language;
        WORD codePage;
    };
    void* translations = nullptr;
    UINT translationBytes = 0;
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
        !VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translations, &translationBytes))
        return;
    const auto* first = static_cast<const Translation*>(translations);
    for (UINT i = 0; i < translationBytes / sizeof(Translation); ++i) {
        const Translation translation = first[i];
        if (auto description = QueryString(block, translation.language, translation.codePage, L"FileDescription"))
            item.fileDescription = std::move(*description);
        else if (fileName)
            item.fileDescription = *fileName;
        if (auto company = QueryString(block, translation.language, translation.codePage, L"CompanyName"))
            item.companyName = std::move(*company);
    }
}

}  // namespace startup
