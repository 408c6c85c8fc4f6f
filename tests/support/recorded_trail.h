#pragma once
// The events this process writes to its trail (core/event_trail.h), taken
// in place of the Application log while the object lives.
#include <mutex>
#include <vector>

#include "core/event_trail.h"

namespace testsupport {

class RecordedTrail {
public:
    RecordedTrail()
        : previous_(core::ReplaceTrailSink([this](const core::TrailEvent& event) {
              const std::lock_guard<std::mutex> hold(lock_);
              events_.push_back(event);
              return true;
          })) {}
    ~RecordedTrail() { core::ReplaceTrailSink(std::move(previous_)); }
    RecordedTrail(const RecordedTrail&) = delete;
    RecordedTrail& operator=(const RecordedTrail&) = delete;

    std::vector<core::TrailEvent> Events() const {
        const std::lock_guard<std::mutex> hold(lock_);
        return events_;
    }

private:
    mutable std::mutex lock_;
    std::vector<core::TrailEvent> events_;
    core::TrailSink previous_;
};

}  // namespace testsupport
