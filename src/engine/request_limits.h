#pragma once
// What a client of the page server may send and how long it may take
// (limited_server.h keeps to it).
#include <chrono>
#include <cstddef>

namespace engine {

struct RequestLimits {
    std::size_t headBytes = 16 * 1024;  // request line and headers, line ends included
    std::size_t headLines = 64;         // request line and header lines
    std::chrono::milliseconds headTime{5000};
    std::chrono::milliseconds bodyTime{30000};  // from the end of the head
    // How long an open connection may wait for its next request.
    std::chrono::milliseconds idleTime{2000};
};

}  // namespace engine
