#include "startup/startup_key.h"

#include "startup/common_shim.h"

namespace startup {

namespace {

class RedirectionOff {
public:
    RedirectionOff() : off_(common::RunsUnderWow64() && Wow64DisableWow64FsRedirection(&previous_)) {}
    ~RedirectionOff() {
        if (off_) Wow64RevertWow64FsRedirection(previous_);
    }
    RedirectionOff(const RedirectionOff&) = delete;
    RedirectionOff& operator=(const RedirectionOff&) = delete;

private:
    PVOID previous_ = nullptr;
    bool off_;
};

}  // namespace

common::UniqueRegKey OpenStartupKey(HKEY root, const std::wstring& path) {
    const RedirectionOff redirectionOff;
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS)
            return common::UniqueRegKey(key);
    }
    return {};
}

}  // namespace startup
