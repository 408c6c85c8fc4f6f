#include "engine/ui_thread.h"

#include <utility>

#include "common/handles.h"

namespace engine {

namespace {

constexpr UINT kDrainMessage = WM_APP + 1;
constexpr wchar_t kClassName[] = L"QuillmarkOrvaneUiThread";

// Each waiting thread reuses one event of its own.
HANDLE ThreadDoneEvent() {
    thread_local const common::UniqueKernelHandle event(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    return event.get();
}

}  // namespace

struct UiThread::Task {
    std::function<void()> work;
    HANDLE done = nullptr;  // signalled once the task has run or failed
    bool ran = false;
};

UiThread::UiThread() : threadId_(GetCurrentThreadId()) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);
    window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
    if (window_) SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

UiThread::~UiThread() { Close(); }

bool UiThread::IsOpen() const {
    const std::lock_guard guard(lock_);
    return window_ != nullptr;
}

bool UiThread::Enqueue(const std::shared_ptr<Task>& task) {
    HWND window = nullptr;
    {
        const std::lock_guard guard(lock_);
        if (closed_ || !window_) return false;
        tasks_.push_back(task);
        window = window_;
    }
    if (PostMessageW(window, kDrainMessage, 0, 0)) return true;
    const std::lock_guard guard(lock_);
    std::erase(tasks_, task);
    return false;
}

bool UiThread::Run(const std::function<void()>& task) {
    if (IsCurrent()) {
        if (!IsOpen()) return false;
        task();
        return true;
    }
    auto pending = std::make_shared<Task>(Task{task, ThreadDoneEvent()});
    if (!Enqueue(pending)) return false;
    WaitForSingleObject(pending->done, INFINITE);
    return pending->ran;
}

bool UiThread::Post(std::function<void()> task) { return Enqueue(std::make_shared<Task>(Task{std::move(task)})); }

void UiThread::Drain() {
    if (draining_) return;  // the running task pumps messages: the queue waits for it
    draining_ = true;
    for (;;) {
        std::shared_ptr<Task> task;
        {
            const std::lock_guard guard(lock_);
            if (tasks_.empty() || closed_) break;
            task = tasks_.front();
            tasks_.pop_front();
        }
        task->work();
        task->ran = true;
        if (task->done) SetEvent(task->done);
    }
    draining_ = false;
}

void UiThread::StartTimer(UINT_PTR id, UINT milliseconds, std::function<void()> action) {
    if (!window_) return;
    timers_[id] = std::move(action);
    SetTimer(window_, id, milliseconds, nullptr);
}

void UiThread::StopTimer(UINT_PTR id) {
    if (window_) KillTimer(window_, id);
    timers_.erase(id);
}

void UiThread::Close() {
    std::deque<std::shared_ptr<Task>> abandoned;
    HWND window = nullptr;
    {
        const std::lock_guard guard(lock_);
        closed_ = true;
        abandoned.swap(tasks_);
        window = std::exchange(window_, nullptr);
    }
    for (const auto& task : abandoned)
        if (task->done) SetEvent(task->done);
    timers_.clear();
    if (window) DestroyWindow(window);
}

LRESULT CALLBACK UiThread::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<UiThread*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == kDrainMessage) {
        self->Drain();
        return 0;
    }
    if (self && message == WM_TIMER) {
        KillTimer(window, wParam);
        const auto it = self->timers_.find(wParam);
        if (it != self->timers_.end()) {
            const std::function<void()> action = std::move(it->second);
            self->timers_.erase(it);
            action();
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace engine
