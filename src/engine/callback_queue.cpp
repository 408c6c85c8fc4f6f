#include "engine/callback_queue.h"

#include <algorithm>

namespace engine {

CallbackQueue::CallbackQueue(std::chrono::milliseconds bound) : bound_(bound) {}

void CallbackQueue::OnPresenceChange(std::function<void(bool)> listener) { presenceListener_ = std::move(listener); }

bool CallbackQueue::Call(std::string_view name, std::vector<Value> args) {
    std::unique_lock lock(lock_);
    if (shutDown_) return false;
    auto pending = std::make_shared<Pending>();
    pending->callback = {nextId_++, std::string(name), std::move(args)};
    queued_.push_back(pending);
    changed_.notify_all();
    const bool answered = changed_.wait_for(lock, bound_, [&] {
        return pending->state == Pending::State::Returned || pending->state == Pending::State::Failed;
    });
    if (!answered) Forget(pending);
    return pending->state == Pending::State::Returned;
}

void CallbackQueue::Forget(const std::shared_ptr<Pending>& pending) {
    queued_.erase(std::remove(queued_.begin(), queued_.end(), pending), queued_.end());
    sent_.erase(pending->callback.id);
    pending->state = Pending::State::Failed;
}

std::uint64_t CallbackQueue::Attach() {
    std::unique_lock lock(lock_);
    const bool arrived = currentStream_ == 0;
    currentStream_ = nextId_++;
    const std::uint64_t stream = currentStream_;
    changed_.notify_all();
    lock.unlock();
    if (arrived && presenceListener_) presenceListener_(true);
    return stream;
}

CallbackQueue::Wait CallbackQueue::Next(std::uint64_t stream, std::chrono::milliseconds wait,
                                        ScriptCallback& callback) {
    std::unique_lock lock(lock_);
    changed_.wait_for(lock, wait, [&] { return shutDown_ || currentStream_ != stream || !queued_.empty(); });
    if (shutDown_ || currentStream_ != stream) return Wait::Ended;
    if (queued_.empty()) return Wait::Idle;
    const std::shared_ptr<Pending> pending = queued_.front();
    queued_.pop_front();
    pending->state = Pending::State::Sent;
    pending->stream = stream;
    sent_[pending->callback.id] = pending;
    callback = pending->callback;
    return Wait::Event;
}

void CallbackQueue::Detach(std::uint64_t stream) {
    std::unique_lock lock(lock_);
    for (auto it = sent_.begin(); it != sent_.end();) {
        if (it->second->stream == stream) {
            it->second->state = Pending::State::Failed;
            it = sent_.erase(it);
        } else {
            ++it;
        }
    }
    const bool left = currentStream_ == stream;
    if (left) currentStream_ = 0;
    changed_.notify_all();
    lock.unlock();
    if (left && presenceListener_) presenceListener_(false);
}

void CallbackQueue::Acknowledge(std::uint64_t id, bool returned) {
    const std::lock_guard guard(lock_);
    const auto it = sent_.find(id);
    if (it == sent_.end()) return;
    it->second->state = returned ? Pending::State::Returned : Pending::State::Failed;
    sent_.erase(it);
    changed_.notify_all();
}

void CallbackQueue::Shutdown() {
    const std::lock_guard guard(lock_);
    shutDown_ = true;
    for (const auto& pending : queued_) pending->state = Pending::State::Failed;
    for (const auto& [id, pending] : sent_) pending->state = Pending::State::Failed;
    queued_.clear();
    sent_.clear();
    changed_.notify_all();
}

}  // namespace engine
