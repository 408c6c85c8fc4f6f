#pragma once
// A page as the tests play it, over HTTP and without a browser: it loads the
// document from a handed-out address (spending its one-time token) and keeps
// the cookie that sets, as a browser does, makes calls on the view with that
// cookie, opens the callback channel (a WebSocket), runs the callbacks it has
// functions for and answers each one.
#include <httplib.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/value.h"

namespace testsupport {

class PageClient {
public:
    // `address`: http://127.0.0.1:<port>/<path>?t=<token>, as the program
    // hands it out. Nothing is loaded yet.
    explicit PageClient(const std::string& address);
    ~PageClient();
    PageClient(const PageClient&) = delete;
    PageClient& operator=(const PageClient&) = delete;

    int Port() const { return port_; }
    const std::string& Path() const { return path_; }
    // "qo_<port>=<key>" once the document was loaded; empty before.
    const std::string& Cookie() const { return cookie_; }

    // Loads the document: the first time from the address (its token), later
    // as a reload, with the cookie. The response.
    httplib::Result LoadDocument();
    // view.name(args): the result, or empty when no native function took it.
    std::optional<engine::Value> Call(const std::string& name, const std::vector<engine::Value>& args = {});
    // A service of the window (POST /service): the result, or empty when the
    // window does not offer it.
    std::optional<engine::Value> Service(const std::string& name, const std::vector<engine::Value>& args = {});
    void Close();

    // A global function of the page; false stands for a script error.
    using Function = std::function<bool(const std::vector<engine::Value>&)>;
    void Define(const std::string& name, Function function);
    // Opens the callback channel and returns once it is attached; while
    // another page's channel is attached it tries again for a while, as the
    // page runtime does; throws when it stays refused.
    void Listen();
    // The Origin a channel's handshake names.
    enum class Origin { Own, None, OtherPort };
    // The status the server answers the channel's handshake with (101 when
    // it is attached, which it then stays). It presents the cookie, and by
    // default the page's own Origin, as a browser does for a page of the
    // server.
    int TryListen(Origin origin = Origin::Own);
    // Drops the channel, as a page that goes away: a callback still running
    // then sends no answer.
    void StopListening();
    // The name the page gives itself on the channel; a page that reloads
    // takes a new one.
    void Rename(std::string name) { name_ = std::move(name); }

private:
    // The document is loaded once before anything that wants the cookie.
    void EnsureLoaded();
    // LoadDocument with callLock_ held.
    httplib::Result LoadLocked();
    std::optional<engine::Value> Ask(const char* path, const std::string& name, const std::vector<engine::Value>& args);
    void Post(const std::string& path, const std::string& body);
    void RunCallbacks(const std::string& message);
    void SendFrame(const std::string& payload);

    int port_ = 0;
    std::string path_;
    std::string token_;
    std::string cookie_;
    std::mutex callLock_;
    httplib::Client calls_;
    std::string name_;
    SOCKET channel_ = INVALID_SOCKET;
    std::thread listener_;
    std::mutex functionsLock_;
    std::map<std::string, Function> functions_;
    std::atomic<bool> leaving_{false};
};

}  // namespace testsupport
