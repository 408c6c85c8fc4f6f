#include "support/fresh_stores.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <stdexcept>

#include "support/temp_dir.h"

namespace testsupport {

namespace {

std::wstring StoreBelow(const KNOWNFOLDERID& id) {
    wchar_t* root = nullptr;
    if (FAILED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &root))) {
        CoTaskMemFree(root);
        throw std::runtime_error("no known folder for a data store");
    }
    const std::wstring store = std::wstring(root) + L"\\Quillmark\\Orvane";
    CoTaskMemFree(root);
    return store;
}

}  // namespace

std::wstring MachineStorePath() { return StoreBelow(FOLDERID_ProgramData); }
std::wstring UserStorePath() { return StoreBelow(FOLDERID_LocalAppData); }

void RemoveStoreFolders() {
    for (const std::wstring& store : {MachineStorePath(), UserStorePath()}) RemoveTree(store);
}

}  // namespace testsupport
