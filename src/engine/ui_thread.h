#pragma once
// The UI thread: the thread that runs the message loop. Other threads hand
// it work and wait; it runs one task at a time, in arrival order, and never
// starts a task inside another (a task that pumps messages, as COM and
// shell calls may, does not let the next one in).
#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace engine {

class UiThread {
public:
    // On the thread that runs the message loop.
    UiThread();
    ~UiThread();
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;

    bool IsOpen() const;
    bool IsCurrent() const { return GetCurrentThreadId() == threadId_; }

    // Runs `task` there and returns once it has run. False when the thread
    // takes no more work; the task has then not run.
    bool Run(const std::function<void()>& task);
    // Queues `task` without waiting.
    bool Post(std::function<void()> task);

    // One-shot timers; on the UI thread only.
    void StartTimer(UINT_PTR id, UINT milliseconds, std::function<void()> action);
    void StopTimer(UINT_PTR id);

    // Takes no more work; waiting tasks fail. On the UI thread.
    void Close();

private:
    struct Task;
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool Enqueue(const std::shared_ptr<Task>& task);
    void Drain();

    const DWORD threadId_;
    HWND window_ = nullptr;
    mutable std::mutex lock_;
    bool closed_ = false;
    bool draining_ = false;
    std::deque<std::shared_ptr<Task>> tasks_;
    std::map<UINT_PTR, std::function<void()>> timers_;
};

}  // namespace engine
