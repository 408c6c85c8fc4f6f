#pragma once
// Script callbacks on their way from workers to the page. A worker's call
// waits in the queue until the page's event stream takes it, then until the
// page reports that the function has returned. The page runs them one at a
// time; a call that cannot be delivered is never retried.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/value.h"

namespace engine {

struct ScriptCallback {
    std::uint64_t id;
    std::string name;
    std::vector<Value> args;
};

class CallbackQueue {
public:
    // `bound`: how long a call waits for a page and for its answer.
    explicit CallbackQueue(std::chrono::milliseconds bound);

    // Told when the first stream arrives while none is attached (true) and
    // when the attached stream goes away (false). Set before any stream.
    void OnPresenceChange(std::function<void(bool)> listener);

    // From a worker: true once the page reports the function returned. False
    // when no page took the call within the bound, the page that took it went
    // away, had no such function, the function failed, or no answer came
    // within the bound.
    bool Call(std::string_view name, std::vector<Value> args);

    // The page's event stream. A new stream replaces the current one.
    std::uint64_t Attach();
    enum class Wait { Event, Idle, Ended };
    // The next call for `stream`; Idle when `wait` passed without one, Ended
    // once the stream has been replaced or the queue shut down.
    Wait Next(std::uint64_t stream, std::chrono::milliseconds wait, ScriptCallback& callback);
    // The stream's page is gone: the calls it took and did not answer fail.
    void Detach(std::uint64_t stream);
    void Acknowledge(std::uint64_t id, bool returned);

    // Every waiting call fails and every stream ends.
    void Shutdown();

private:
    struct Pending {
        ScriptCallback callback;
        enum class State { Queued, Sent, Returned, Failed } state = State::Queued;
        std::uint64_t stream = 0;
    };

    // Takes an unanswered call out of the queue; the lock is held.
    void Forget(const std::shared_ptr<Pending>& pending);

    const std::chrono::milliseconds bound_;
    std::function<void(bool)> presenceListener_;
    std::mutex lock_;
    std::condition_variable changed_;
    bool shutDown_ = false;
    std::uint64_t nextId_ = 1;
    std::uint64_t currentStream_ = 0;
    std::deque<std::shared_ptr<Pending>> queued_;
    std::map<std::uint64_t, std::shared_ptr<Pending>> sent_;
};

}  // namespace engine
