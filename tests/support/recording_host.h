#pragma once
// A stand-in for the page: records every script callback a worker makes.
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/script_host.h"

namespace testsupport {

struct ScriptCall {
    std::string name;
    std::vector<engine::Value> args;
    bool operator==(const ScriptCall&) const = default;
};

class RecordingHost : public engine::ScriptHost {
public:
    bool CallFunction(std::string_view name, const std::vector<engine::Value>& args) override {
        {
            const std::lock_guard guard(lock_);
            calls_.push_back({std::string(name), args});
        }
        if (onCall) onCall(name, args);
        return true;
    }

    std::vector<ScriptCall> Calls() const {
        const std::lock_guard guard(lock_);
        return calls_;
    }
    std::vector<ScriptCall> CallsOf(std::string_view name) const {
        std::vector<ScriptCall> matching;
        for (const ScriptCall& call : Calls())
            if (call.name == name) matching.push_back(call);
        return matching;
    }

    // Runs inside each call, as a page script would.
    std::function<void(std::string_view, const std::vector<engine::Value>&)> onCall;

private:
    mutable std::mutex lock_;
    std::vector<ScriptCall> calls_;
};

// Publishes a RecordingHost as the main window for the owner's lifetime.
class PublishedHost : public RecordingHost {
public:
    PublishedHost();
    ~PublishedHost() override;
};

// Waits (bounded) until no worker thread is alive, detached ones included.
bool WaitForWorkers();

}  // namespace testsupport
