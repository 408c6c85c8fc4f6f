#pragma once
// A drive letter on another file system for the time of a test, so that a
// move there crosses volumes: a folder of its own under /dev/shm (a tmpfs,
// which needs no root), mapped to a free letter through the test prefix's
// dosdevices from the Linux side, and removed again with the mapping. Wine
// gives each drive letter a volume serial of its own, and a rename between
// two file systems fails as between two Windows volumes.
#include <string>

namespace testsupport {

class OtherVolume {
public:
    OtherVolume();
    ~OtherVolume();
    OtherVolume(const OtherVolume&) = delete;
    OtherVolume& operator=(const OtherVolume&) = delete;

    // Empty when no letter could be mapped (the reason is in Failure()).
    const std::wstring& Root() const { return root_; }  // "R:\"
    const std::string& Failure() const { return failure_; }
    // The Linux folder the letter leads to.
    const std::string& LinuxFolder() const { return folder_; }

private:
    std::wstring root_;
    std::string link_;    // the prefix's dosdevices entry
    std::string folder_;  // under /dev/shm
    std::string failure_;
};

}  // namespace testsupport
