#pragma once
// The loopback HTTP server through which a browser page shows the UI:
//   GET  /app/<path>   the document this://app/<path>
//   GET  /res/<name>   the document res:<name>
//   GET  /icon?file=<path>  a listed file's icon (icon_route.h)
//   POST /call         a script call on the view: {"name": ..., "args": [...]}
//                      answered [result], or [] when no native function took it
//   GET  /events?page=NAME   the callback channel, a WebSocket
//                      (callback_socket.h) held by one page at a time: 409
//                      while another page holds it
//   POST /service      a service of the window itself (window_services.h):
//                      {"name": ..., "args": [...]}, answered [result]
//   POST /close        the main document closes its view
// Values travel in the wire format of wire_format.h. Every request keeps to
// the bounds of limited_server.h, then passes the RequestGuard; a refused one
// is answered 403 and goes no further. No response lets another origin frame
// the documents.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/callback_queue.h"
#include "engine/request_limits.h"
#include "engine/value.h"

namespace engine {

class LimitedServer;
class RequestGuard;

// What the server asks of the window it serves.
class PageRequests {
public:
    virtual ~PageRequests() = default;
    // The content of an engine URL; empty when there is none.
    virtual std::optional<std::vector<std::uint8_t>> LoadDocument(const std::wstring& url) = 0;
    // The content of icon:<file>, on the request's own thread (icon_route.h).
    virtual std::optional<std::vector<std::uint8_t>> LoadFileIcon(const std::wstring& file) = 0;

    struct Answer {
        enum class Status { Handled, NotHandled, WindowClosed } status;
        Value result;
    };
    virtual Answer CallNative(std::string_view name, std::vector<Value> args) = 0;
    // NotHandled for a service the window does not offer.
    virtual Answer CallService(std::string_view name, std::vector<Value> args) = 0;
    virtual void CloseView() = 0;
};

class PageServer {
public:
    static constexpr std::string_view kDocumentPrefix = "/app/";

    PageServer(PageRequests& requests, CallbackQueue& callbacks, const RequestLimits& limits);
    ~PageServer();
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    // Listens on 127.0.0.1:`port` (0: a free port) for requests that present
    // `key` (request_guard.h). False when it cannot.
    bool Start(int port, std::string key);
    void Stop();

    // A new address of the document at engine URL `url`, with a token of its
    // own that admits one load; empty when there is none. From any thread.
    std::string NewAddressOf(std::wstring_view url) const;
    // 0 before Start.
    int Port() const { return port_; }

private:
    PageRequests& requests_;
    CallbackQueue& callbacks_;
    const RequestLimits limits_;
    std::unique_ptr<LimitedServer> server_;
    std::unique_ptr<RequestGuard> guard_;
    std::thread listener_;
    int port_ = 0;
};

}  // namespace engine
