#include "common/fs_redirection.h"

#include <windows.h>

namespace common {

FsRedirectionOff::FsRedirectionOff() { disabled_ = Wow64DisableWow64FsRedirection(&previous_) != FALSE; }

FsRedirectionOff::~FsRedirectionOff() {
    if (disabled_) Wow64RevertWow64FsRedirection(previous_);
}

}  // namespace common
