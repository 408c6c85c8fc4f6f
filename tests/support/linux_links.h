#pragma once
// Links for the link-safety tests of the walks, cleans, sizes and moves.
// Under Wine, CreateSymbolicLinkW reports success but creates nothing and
// junctions cannot be made; a Linux symbolic link, though, is listed with
// FILE_ATTRIBUTE_REPARSE_POINT when it points to a folder. So the tests make
// Linux links with ln, in a shell script that Wine starts as a Unix program
// given by its Z: path, at the Linux path of the Windows one. A Linux link to
// a file is listed by Wine as a plain file, and a dangling one is not listed
// at all: those kinds cannot be shown to the walks as links here.
#include <string>
#include <vector>

namespace testsupport {

// Runs shell commands as a Unix script; true when the last one succeeded.
bool RunShell(const std::string& commands);

// The Linux path of a Windows path (Wine's own mapping); empty on failure.
std::string UnixPath(const std::wstring& windowsPath);

// Makes a Linux symbolic link at `link` (a Windows path) pointing to the
// Linux path `unixTarget`. True when ln succeeded.
bool MakeLinuxLink(const std::string& unixTarget, const std::wstring& link);
// Removes such a link itself (Wine does not list a dangling one, so the
// Windows side cannot remove it).
bool RemoveLinuxLink(const std::wstring& link);

// The links one test makes, removed again from the Linux side when the owner
// goes (or earlier, with RemoveAll).
class LinuxLinks {
public:
    LinuxLinks() = default;
    LinuxLinks(const LinuxLinks&) = delete;
    LinuxLinks& operator=(const LinuxLinks&) = delete;
    ~LinuxLinks() { RemoveAll(); }

    // A link at `link` to the Windows path `target`; false when ln failed.
    bool Make(const std::wstring& target, const std::wstring& link);
    void RemoveAll();

private:
    std::vector<std::wstring> links_;
};

}  // namespace testsupport
