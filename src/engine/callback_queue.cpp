#include "engine/callback_queue.h"

#include <algorithm>

namespace engine {

void CallbackQueue::OnPresenceChange(std::function<void(bool)> listener) { presenceListener_ = std::move(listener); }

bool CallbackQueue::Call(std::string_view name, std::vector<Value> args) {
    std::unique_lock sending(sendLock_);
    std::unique_lock lock(lock_);
    if (shutDown_) return false;
    auto pending = std::make_shared<Pending>();
    pending->callback = {nextId_++, std::string(name), std::move(args)};
    pending_.push_back(pending);
    CallbackChannel* channel = currentChannel_;
    if (channel) {
        pending->stream = currentStream_;
        pending->sent = true;
    }
    lock.unlock();
    // The callback itself does not change once queued.
    if (channel) channel->Send({&pending->callback, 1});
    sending.unlock();
    lock.lock();
    answered_.Wait(lock, [&] { return pending->state != Pending::State::Waiting; });
    return pending->state == Pending::State::Returned;
}

void CallbackQueue::Release(std::uint64_t stream) {
    for (const auto& pending : pending_)
        if (pending->stream == stream) pending->stream = 0;
}

bool CallbackQueue::MayAttach(std::string_view page) {
    const std::lock_guard guard(lock_);
    return !shutDown_ && (currentStream_ == 0 || page == currentPage_);
}

std::optional<std::uint64_t> CallbackQueue::Attach(std::string_view page, CallbackChannel& channel) {
    std::unique_lock sending(sendLock_);
    std::unique_lock lock(lock_);
    if (shutDown_ || (currentStream_ != 0 && page != currentPage_)) return std::nullopt;
    const bool arrived = currentStream_ == 0;
    if (!arrived) {
        Release(currentStream_);
        currentChannel_->End();
    }
    currentStream_ = nextId_++;
    currentChannel_ = &channel;
    currentPage_ = page;
    const std::uint64_t stream = currentStream_;
    std::vector<ScriptCallback> unsent;
    for (const auto& pending : pending_) {
        if (pending->stream != 0) continue;
        pending->stream = stream;
        pending->sent = true;
        unsent.push_back(pending->callback);
    }
    lock.unlock();
    if (!unsent.empty()) channel.Send(unsent);
    sending.unlock();
    if (arrived && presenceListener_) presenceListener_(true);
    return stream;
}

void CallbackQueue::Detach(std::uint64_t stream) {
    std::unique_lock sending(sendLock_);
    std::unique_lock lock(lock_);
    Release(stream);
    const bool left = currentStream_ == stream;
    if (left) {
        currentStream_ = 0;
        currentChannel_ = nullptr;
    }
    lock.unlock();
    sending.unlock();
    if (left && presenceListener_) presenceListener_(false);
}

void CallbackQueue::Acknowledge(std::uint64_t id, bool returned) {
    const std::lock_guard guard(lock_);
    const auto it = std::find_if(pending_.begin(), pending_.end(),
                                 [id](const std::shared_ptr<Pending>& pending) { return pending->callback.id == id; });
    if (it == pending_.end() || !(*it)->sent) return;
    (*it)->state = returned ? Pending::State::Returned : Pending::State::Failed;
    pending_.erase(it);
    answered_.NotifyAll();
}

void CallbackQueue::Shutdown() {
    const std::lock_guard sending(sendLock_);
    const std::lock_guard guard(lock_);
    shutDown_ = true;
    if (currentChannel_) currentChannel_->End();
    currentStream_ = 0;
    currentChannel_ = nullptr;
    for (const auto& pending : pending_) pending->state = Pending::State::Failed;
    pending_.clear();
    answered_.NotifyAll();
}

}  // namespace engine
