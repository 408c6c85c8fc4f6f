#pragma once
// cpp-httplib's server with bounds on what a client may make it wait for or
// hold. The library itself (0.11.4) reads any number of header lines, each as
// long as the client likes, and lets a client that sends a byte now and then
// keep a worker thread for good. Here a request's head (request line and
// headers) must arrive within a byte budget, a line budget and a time limit
// from its first byte, its body within a time limit from the head's end, and
// an open connection waits only a short while for its next request. A
// request over a bound is refused (400, or the connection simply closed)
// before the guard or any handler sees it, and its connection is closed.
// A fixed number of threads serves the connections, each for its whole
// life; at most a fixed number more wait for a thread, and a connection
// accepted beyond those is closed unanswered, so that a client opening
// connections by the thousand holds neither threads nor memory. What waits
// before being accepted is the library's listen backlog (5).
//
// A handler may also switch its connection to another protocol
// (SwitchProtocols): once its response is written the connection runs the
// handler's session instead of reading requests.
#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <set>
#include <string_view>

#include "engine/request_limits.h"

namespace engine {

// A connection after its switch to another protocol.
class RawConnection {
public:
    virtual ~RawConnection() = default;
    // What arrived, at most `size` bytes, waiting as long as it takes; 0 once
    // the peer closed or Close was called, negative on an error.
    virtual int Receive(char* data, std::size_t size) = 0;
    // All of `data`, or false.
    virtual bool Send(std::string_view data) = 0;
    // From any thread: ends the connection; a Receive under way returns.
    virtual void Close() = 0;
};

// From inside a handler of a LimitedServer: after the response, the
// connection runs `session`, then closes.
void SwitchProtocols(std::function<void(RawConnection&)> session);

class LimitedServer : public httplib::Server {
public:
    explicit LimitedServer(const RequestLimits& limits);

    // Before stop(): connections waiting for their next request end now,
    // those answering one end once they have answered.
    void StopConnections();

private:
    bool process_and_close_socket(socket_t socket) override;
    // Records whether `socket` waits for its next request; false once the
    // server stops.
    bool MarkIdle(socket_t socket, bool idle);

    const RequestLimits limits_;
    std::mutex lock_;
    std::set<socket_t> idle_;
    bool stopping_ = false;
};

}  // namespace engine
