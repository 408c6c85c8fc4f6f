#include "startup/startup_key.h"

namespace startup {

common::UniqueRegKey OpenStartupKey(HKEY root, const std::wstring& path) {
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS)
            return common::UniqueRegKey(key);
    }
    return {};
}

}  // namespace startup
