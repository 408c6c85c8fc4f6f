#pragma once
// What a client of the page server may send and how long it may take, and
// how many connections it may hold (limited_server.h keeps to it).
#include <chrono>
#include <cstddef>

namespace engine {

struct RequestLimits {
    std::size_t headBytes = 16 * 1024;  // request line and headers, line ends included
    std::size_t headLines = 64;         // request line and header lines
    std::chrono::milliseconds headTime{5000};
    // A script call's arguments are a few kilobytes; the largest, a
    // selection text, is refused beyond 65 536 characters anyway.
    std::size_t bodyBytes = 4u << 20;
    std::chrono::milliseconds bodyTime{30000};  // from the end of the head
    // How long an open connection may wait for its next request.
    std::chrono::milliseconds idleTime{2000};
    // Connections served at once (one thread each), and accepted ones
    // waiting for a thread; a connection beyond both is closed unanswered.
    std::size_t servingConnections = 16;
    std::size_t waitingConnections = 32;
};

}  // namespace engine
