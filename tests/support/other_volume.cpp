#include "support/other_volume.h"

#include <windows.h>

#include "support/linux_links.h"

namespace testsupport {

OtherVolume::OtherVolume() {
    // Wine names C: by its entry in the prefix's dosdevices.
    std::string drive = UnixPath(L"C:\\");
    while (!drive.empty() && drive.back() == '/') drive.pop_back();
    const std::size_t cut = drive.rfind('/');
    if (cut == std::string::npos || !drive.substr(0, cut).ends_with("/dosdevices")) {
        failure_ = "the prefix's dosdevices folder is unknown (C: is " + drive + ")";
        return;
    }
    const DWORD used = GetLogicalDrives();
    wchar_t letter = 0;
    for (wchar_t candidate = L'R'; candidate <= L'Y' && !letter; ++candidate)
        if (!(used & (1u << (candidate - L'A')))) letter = candidate;
    if (!letter) {
        failure_ = "no free drive letter";
        return;
    }
    const char lower = static_cast<char>(letter - L'A' + 'a');
    folder_ = "/dev/shm/qo-volume-" + std::to_string(GetCurrentProcessId()) + "-" + lower;
    link_ = drive.substr(0, cut + 1) + lower + ":";
    if (!RunShell("mkdir -p '" + folder_ + "' && ln -sfn '" + folder_ + "' '" + link_ + "'")) {
        failure_ = "cannot map a drive letter to " + folder_;
        return;
    }
    root_ = std::wstring(1, letter) + L":\\";
}

OtherVolume::~OtherVolume() {
    if (!folder_.empty()) RunShell("rm -f '" + link_ + "'; rm -rf '" + folder_ + "'");
}

}  // namespace testsupport
