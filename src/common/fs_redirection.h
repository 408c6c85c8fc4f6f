#pragma once
// Switches WOW64 file-system redirection off for the current thread while the
// owner lives, so file tests see the real System32; restored on every path.
// Does nothing for a process that does not run under WOW64.
namespace common {

class FsRedirectionOff {
public:
    FsRedirectionOff();
    ~FsRedirectionOff();
    FsRedirectionOff(const FsRedirectionOff&) = delete;
    FsRedirectionOff& operator=(const FsRedirectionOff&) = delete;

private:
    void* previous_ = nullptr;
    bool disabled_ = false;
};

}  // namespace common
