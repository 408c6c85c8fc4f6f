#pragma once
// Script callbacks on their way from workers to the page. A worker's call
// waits until the page reports that the function has run, or until the
// program ends: nothing is dropped for taking long (a folder dialog that
// holds the page, a reload). One page holds the callback channel at a time;
// another page's channel is refused while it does. Calls that a channel took
// and that were not answered when it went away are sent again, first and in
// order, on the next channel (the page reloaded, or the same page
// reconnecting, which recognises the calls it already has).
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/system_lock.h"
#include "engine/value.h"

namespace engine {

struct ScriptCallback {
    std::uint64_t id;
    std::string name;
    std::vector<Value> args;
};

// The way to the page that holds the channel.
class CallbackChannel {
public:
    virtual ~CallbackChannel() = default;
    // Sends the calls, in order, in one message. A failed send needs no
    // answer: the channel's end detaches it.
    virtual void Send(std::span<const ScriptCallback> callbacks) = 0;
    // The channel was replaced or the program ends: its connection closes.
    virtual void End() = 0;
};

class CallbackQueue {
public:
    // Told when a channel arrives while none is attached (true) and when the
    // attached channel goes away (false). Set before any channel.
    void OnPresenceChange(std::function<void(bool)> listener);

    // From a worker: true once the page reports the function returned. False
    // when the page had no such function, the function failed, or the queue
    // shut down (the program ends).
    bool Call(std::string_view name, std::vector<Value> args);

    // Whether the page that names itself `page` may attach a channel now:
    // no other page's channel is attached.
    bool MayAttach(std::string_view page);
    // Attaches `channel` for `page` and sends it every unanswered call in one
    // message; the same page's earlier channel is replaced (and ended).
    // Empty when another page's channel is attached or the queue shut down.
    // The channel is used until it is detached, replaced or the queue shuts
    // down.
    std::optional<std::uint64_t> Attach(std::string_view page, CallbackChannel& channel);
    // The channel's page is gone: what it took and did not answer waits for
    // the next channel. Returns once no send on it is under way.
    void Detach(std::uint64_t stream);
    // An answer for a call that is no longer waiting (already answered, never
    // sent, or the queue shut down) changes nothing.
    void Acknowledge(std::uint64_t id, bool returned);

    // Every waiting call fails; the attached channel ends.
    void Shutdown();

private:
    struct Pending {
        ScriptCallback callback;
        std::uint64_t stream = 0;  // the channel that took it; 0 while waiting to be sent
        bool sent = false;
        enum class State { Waiting, Returned, Failed } state = State::Waiting;
    };

    // Calls taken by `stream` wait to be sent again; the lock is held.
    void Release(std::uint64_t stream);

    std::function<void(bool)> presenceListener_;
    // Held while sending, so that messages leave in the order of their ids
    // and a channel is not detached while one is sent on it. Taken before lock_.
    SystemLock sendLock_;
    SystemLock lock_;
    SystemCondition answered_;
    bool shutDown_ = false;
    std::uint64_t nextId_ = 1;
    std::uint64_t currentStream_ = 0;
    CallbackChannel* currentChannel_ = nullptr;
    std::string currentPage_;
    // Unanswered calls in the order of their ids, sent or not.
    std::deque<std::shared_ptr<Pending>> pending_;
};

}  // namespace engine
