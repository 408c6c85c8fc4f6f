#pragma once
// The one lock between the window and the command line: while one of them
// scans, cleans or changes something, the other is refused ("busy").
//
// It is the file "operation.lock" in the machine store (data_stores.h),
// which only SYSTEM and Administrators may make or open: the lock is held
// while a handle opened on it without sharing is open, so a holder that dies
// frees it with its handles, and no other account can hold it (a standard
// user could make, hold or plant a named kernel object in Global\). A lock
// file found there that another account owns or may open is deleted through
// the handle that judged it and made afresh. An `orvane` run without
// elevation may not open it and never tries: it takes the same kind of file
// in its account's own store, for the per-user work it can do.
#include <windows.h>

#include <string>

#include "common/handles.h"

namespace core {

enum class LockScope {
    Machine,  // the machine store's: the window and an elevated orvane
    Account,  // the running account's store: an orvane without elevation
};

// The lock an orvane takes by the elevation of its token.
LockScope CommandLineScope(bool elevated);

class OperationLock {
public:
    OperationLock() = default;
    explicit OperationLock(LockScope scope) : scope_(scope) {}

    // Takes the lock, retrying up to `milliseconds`; false when another holds
    // it or its store refuses (Refusal says why).
    bool Take(DWORD milliseconds);
    // Gives back a lock that was taken.
    void Release();
    // Why the last Take failed other than by a holder: the store or the lock
    // file may not be used. Empty when a holder had it.
    const std::wstring& Refusal() const { return refusal_; }

private:
    enum class Attempt { Taken, Held, Refused };
    Attempt TakeOnce();

    LockScope scope_ = LockScope::Machine;
    common::UniqueFile file_;
    std::wstring refusal_;
};

// The window's share of the machine lock: taken by the first of its tasks,
// given back when the last one ends. False when the command line holds it.
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

}  // namespace core
