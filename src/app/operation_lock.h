#pragma once
// The one lock between the window and the command line: while one of them
// scans, cleans or changes something, the other is refused ("busy"). It is
// machine-wide (the Global\ namespace), because a management tool runs the
// command line as another user, in another session.
//
// A named semaphore of one, not a mutex: the window takes it with its first
// task and gives it back from whichever worker ends last. Its handle is open
// only while it is held, so a holder that dies frees it with its handles; a
// semaphore another account made and this one may not open is held by it.
#include <windows.h>

#include "common/handles.h"

namespace app {

class OperationLock {
public:
    // Takes the lock, waiting up to `milliseconds`; false when another holds it.
    bool Take(DWORD milliseconds);
    // Gives back a lock that was taken.
    void Release();

private:
    common::UniqueKernelHandle semaphore_;
};

// The window's share of the lock: taken by the first of its tasks, given
// back when the last one ends. False when the command line holds it.
bool TakeForWindowTask();
void ReleaseForWindowTask();

// The window's share for the length of one call on the UI thread.
class WindowShare {
public:
    WindowShare() : held_(TakeForWindowTask()) {}
    ~WindowShare() {
        if (held_) ReleaseForWindowTask();
    }
    WindowShare(const WindowShare&) = delete;
    WindowShare& operator=(const WindowShare&) = delete;
    // False when the command line holds the lock.
    bool Held() const { return held_; }

private:
    bool held_;
};

}  // namespace app
