#pragma once
// A lock and a condition variable of the system's own (SRW lock, condition
// variable). Under Wine these wait inside the process, where the C++
// library's std::mutex and std::condition_variable (winpthreads) go through
// the wine server: a hand-over between two threads costs about 0.05 ms
// against 1.6 ms, measured here.
#include <windows.h>

#include <mutex>

namespace engine {

// Usable with std::lock_guard and std::unique_lock.
class SystemLock {
public:
    SystemLock() = default;
    SystemLock(const SystemLock&) = delete;
    SystemLock& operator=(const SystemLock&) = delete;

    void lock() { AcquireSRWLockExclusive(&lock_); }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }

private:
    friend class SystemCondition;
    SRWLOCK lock_ = SRWLOCK_INIT;
};

class SystemCondition {
public:
    SystemCondition() = default;
    SystemCondition(const SystemCondition&) = delete;
    SystemCondition& operator=(const SystemCondition&) = delete;

    // Waits, with `lock` held, until `done()` holds.
    template <typename Predicate>
    void Wait(std::unique_lock<SystemLock>& lock, Predicate done) {
        while (!done()) SleepConditionVariableSRW(&condition_, &lock.mutex()->lock_, INFINITE, 0);
    }
    void NotifyAll() { WakeAllConditionVariable(&condition_); }

private:
    CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
};

}  // namespace engine
