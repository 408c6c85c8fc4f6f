#pragma once
// The document side of the engine as the native side sees it: a loaded page
// whose global script functions can be called.
#include <string_view>
#include <vector>

#include "engine/value.h"

namespace engine {

class ScriptHost {
public:
    virtual ~ScriptHost() = default;
    // Runs the global function `name` of the main document on the UI thread
    // and returns once it has returned. Callable from any thread. False when
    // the call could not be delivered (no page, no such function, a script
    // error); such a call is not retried.
    virtual bool CallFunction(std::string_view name, const std::vector<Value>& args) = 0;
};

}  // namespace engine
