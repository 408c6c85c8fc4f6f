#include "startup/shell_link.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "common/handles.h"

namespace startup {

namespace {

common::ComPtr<IShellLinkW> CreateShellLink() {
    common::ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
        link.reset();
    return link;
}

}  // namespace

std::optional<std::wstring> ReadShortcutTarget(const std::wstring& path) {
    const common::ComScope com;
    const common::ComPtr<IShellLinkW> link = CreateShellLink();
    common::ComPtr<IPersistFile> file;
    if (!link || FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) ||
        FAILED(file->Load(path.c_str(), STGM_READ)))
        return std::nullopt;
    wchar_t target[MAX_PATH] = {};
    if (FAILED(link->GetPath(target, MAX_PATH, nullptr, SLGP_UNCPRIORITY))) return std::nullopt;
    return std::wstring(target);
}

bool WriteShortcut(const std::wstring& path, const std::wstring& target, const std::wstring& workingFolder,
                   const std::wstring& description) {
    const common::ComScope com;
    const common::ComPtr<IShellLinkW> link = CreateShellLink();
    if (!link) return false;
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(workingFolder.c_str());
    link->SetDescription(description.c_str());
    common::ComPtr<IPersistFile> file;
    return SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.put_void())) &&
           SUCCEEDED(file->Save(path.c_str(), TRUE));
}

}  // namespace startup
