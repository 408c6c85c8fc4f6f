#include "engine/browser_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <latch>
#include <map>

#include "engine/request_guard.h"
#include "support/page_client.h"

namespace {

using engine::Value;
using namespace std::chrono_literals;
using testsupport::PageClient;

// The native side of the window: documents from a table, script calls to
// functions of the test. Records where and how the calls ran.
class TestHost : public engine::WindowHost {
public:
    using Function = std::function<std::optional<Value>(std::span<const Value>)>;

    engine::LoadResult OnDataLoad(engine::DataLoadRequest& request) override {
        if (whileLoading) whileLoading(request.Url());
        const std::lock_guard guard(lock_);
        loads.push_back(request.Url());
        loadThreads.push_back(GetCurrentThreadId());
        const auto found = documents.find(request.Url());
        if (found == documents.end()) return engine::LoadResult::Discarded;
        request.DataReady(std::span(reinterpret_cast<const std::uint8_t*>(found->second.data()), found->second.size()));
        return engine::LoadResult::Loaded;
    }

    std::optional<Value> OnScriptCall(std::string_view name, std::span<const Value> args) override {
        const int running = ++inFlight;
        maxInFlight = std::max(maxInFlight.load(), running);
        callThreads.push_back(GetCurrentThreadId());
        Function function;
        {
            const std::lock_guard guard(lock_);
            calls.emplace_back(name);
            const auto found = functions.find(std::string(name));
            if (found != functions.end()) function = found->second;
        }
        std::optional<Value> result = function ? function(args) : std::nullopt;
        --inFlight;
        return result;
    }

    std::mutex lock_;
    std::map<std::wstring, std::string> documents{{L"this://app/index.html", "<html></html>"},
                                                   {L"this://app/tis/home.tis", "function Home() {}"}};
    std::map<std::string, Function> functions;
    std::vector<std::wstring> loads;
    std::vector<DWORD> loadThreads;
    // Runs first in each data load; set before the window starts.
    std::function<void(const std::wstring& url)> whileLoading;
    std::vector<std::string> calls;
    std::vector<DWORD> callThreads;
    std::atomic<int> inFlight{0};
    std::atomic<int> maxInFlight{0};
};

// A BrowserWindow on a UI thread of its own that runs the message loop until
// the window closes.
class WindowThread {
public:
    // `show`: with the tray icon (and an address on standard output).
    WindowThread(engine::WindowHost& host, engine::WindowOptions options, bool show = false) {
        options.headless = true;
        std::promise<void> created;
        thread_ = std::thread([&, options, show] {
            uiThreadId_ = GetCurrentThreadId();
            std::unique_ptr<engine::BrowserWindow> window = engine::BrowserWindow::Create(host, options);
            window->LoadFile(L"this://app/index.html");
            if (show) window->Show();
            window_ = window.get();
            created.set_value();
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
            exitCode_.set_value(static_cast<int>(message.wParam));
            window_ = nullptr;
        });
        created.get_future().wait();
    }
    ~WindowThread() {
        PostThreadMessageW(uiThreadId_, WM_QUIT, 0, 0);
        thread_.join();
    }

    // A new address of the page, as the program hands one out: its token
    // admits one load.
    std::string Address() { return window_.load()->NewPageAddress(); }
    engine::BrowserWindow& Window() { return *window_; }
    DWORD UiThreadId() const { return uiThreadId_; }
    // The loop's exit code once it has ended on its own.
    std::optional<int> WaitForLoopEnd(std::chrono::seconds limit) {
        if (ended_.wait_for(limit) != std::future_status::ready) return std::nullopt;
        return ended_.get();
    }

private:
    std::thread thread_;
    std::atomic<DWORD> uiThreadId_{0};
    std::atomic<engine::BrowserWindow*> window_{nullptr};
    std::promise<int> exitCode_;
    std::future<int> ended_ = exitCode_.get_future();
};

// The path and query of a page address: what a client asks the server for.
std::string Target(const std::string& address) { return address.substr(address.find('/', std::strlen("http://"))); }
// The token of a page address.
std::string TokenOf(const std::string& address) { return address.substr(address.find("?t=") + 3); }

engine::WindowOptions Options(std::chrono::milliseconds pageGoneGrace = 30s) {
    engine::WindowOptions options;
    options.pageGoneGrace = pageGoneGrace;
    return options;
}

// A plain TCP client of the page server, for requests no HTTP client sends.
class RawClient {
public:
    explicit RawClient(int port) : socket_(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<u_short>(port));
        connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        const DWORD wait = 100;
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&wait), sizeof wait);
    }
    ~RawClient() { closesocket(socket_); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Send(std::string_view text) { return send(socket_, text.data(), static_cast<int>(text.size()), 0) > 0; }
    // Reads until the server closes the connection, sending `drip` (when
    // given) one byte every 200 ms meanwhile; what arrived, or nothing when
    // the connection was still open after `limit`.
    std::optional<std::string> UntilClosed(std::chrono::milliseconds limit, std::string_view drip = {}) {
        return Read(limit, drip, false);
    }
    // Reads until a response's head has arrived or the connection closed:
    // what arrived, or nothing when neither happened within `limit`.
    std::optional<std::string> UntilAnswered(std::chrono::milliseconds limit) { return Read(limit, {}, true); }
    // Sends `drip` one byte every 200 ms until the server closes the
    // connection (true) or every byte was sent (false).
    bool DripUntilClosed(std::string_view drip) {
        for (; !drip.empty(); drip.remove_prefix(1)) {
            if (send(socket_, drip.data(), 1, 0) <= 0) return true;
            char buffer[4096];
            for (int waits = 0; waits < 2; ++waits) {  // the receive timeout is 100 ms
                const int count = recv(socket_, buffer, sizeof buffer, 0);
                if (count == 0 || (count < 0 && WSAGetLastError() != WSAETIMEDOUT)) return true;
            }
        }
        return false;
    }

private:
    std::optional<std::string> Read(std::chrono::milliseconds limit, std::string_view drip, bool headEnds) {
        std::string received;
        const auto end = std::chrono::steady_clock::now() + limit;
        auto nextDrop = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() < end) {
            if (!drip.empty() && std::chrono::steady_clock::now() >= nextDrop) {
                send(socket_, drip.data(), 1, 0);
                drip.remove_prefix(1);
                nextDrop += 200ms;
            }
            char buffer[4096];
            const int count = recv(socket_, buffer, sizeof buffer, 0);
            if (count == 0 || (count < 0 && WSAGetLastError() != WSAETIMEDOUT)) return received;
            if (count > 0) received.append(buffer, static_cast<std::size_t>(count));
            if (headEnds && received.find("\r\n\r\n") != std::string::npos) return received;
        }
        return std::nullopt;
    }

    SOCKET socket_;
};

// A worker's call into the page, on a thread of its own.
std::future<bool> CallFromWorker(engine::BrowserWindow& window, std::string name, std::vector<Value> args) {
    return std::async(std::launch::async, [&window, name, args] { return window.CallFunction(name, args); });
}

TEST(BrowserWindow, RefusesEveryRequestThatIsNotFromThisRunsPage) {
    TestHost host;
    WindowThread ui(host, Options());
    const std::string spent = ui.Address();
    PageClient page(spent);
    ASSERT_TRUE(page.LoadDocument());
    const std::string port = std::to_string(page.Port());
    const std::string self = "127.0.0.1:" + port;
    const std::string cookie = page.Cookie();
    const std::string key = cookie.substr(cookie.find('=') + 1);
    const std::string fresh = TokenOf(ui.Address());
    const std::string another = ui.Address();
    const std::string call = R"({"name":"Anything","args":[]})";
    const httplib::Headers handshake{{"Upgrade", "websocket"},
                                     {"Connection", "Upgrade"},
                                     {"Sec-WebSocket-Version", "13"},
                                     {"Sec-WebSocket-Key", "dGhlIHNhbXBsZSBub25jZQ=="}};
    const auto with = [](httplib::Headers headers, const httplib::Headers& more) {
        headers.insert(more.begin(), more.end());
        return headers;
    };

    struct Case {
        const char* what;
        std::string method;
        std::string path;
        httplib::Headers headers;
        int status;
    };
    const Case cases[] = {
        {"no cookie, no token", "GET", "/app/index.html", {}, 403},
        {"unknown token", "GET", "/app/index.html?t=" + std::string(32, '0'), {}, 403},
        {"token cut short", "GET", "/app/index.html?t=" + fresh.substr(1), {}, 403},
        {"the key as a token", "GET", "/app/index.html?t=" + key, {}, 403},
        {"a spent token", "GET", Target(spent), {}, 403},
        // The browser that loaded the address loads it again: still refused.
        {"a spent token with the cookie", "GET", Target(spent), {{"Cookie", cookie}}, 403},
        {"wrong cookie", "POST", "/call", {{"Cookie", "qo_" + port + "=" + std::string(32, 'f')}}, 403},
        {"cookie of another port", "POST", "/call", {{"Cookie", "qo_1=" + key}}, 403},
        // The token opens a document only.
        {"token on a call", "POST", "/call?t=" + fresh, {}, 403},
        {"token on a service", "POST", "/service?t=" + fresh, {}, 403},
        {"token on the callback channel", "GET", "/events?page=p&t=" + fresh, with(handshake, {{"Origin", "http://" + self}}), 403},
        {"token on an icon", "GET", "/icon?file=x&t=" + fresh, {}, 403},
        {"token in a HEAD", "HEAD", "/app/index.html?t=" + fresh, {}, 403},
        // The channel wants the cookie and the own Origin, by GET.
        {"channel with the cookie and no Origin", "GET", "/events?page=p", with(handshake, {{"Cookie", cookie}}), 403},
        {"channel with the cookie and another port's Origin", "GET", "/events?page=p",
         with(handshake, {{"Cookie", cookie}, {"Origin", "http://127.0.0.1:1"}}), 403},
        {"channel by HEAD", "HEAD", "/events?page=p", with(handshake, {{"Cookie", cookie}, {"Origin", "http://" + self}}), 403},
        {"channel by POST", "POST", "/events?page=p", with(handshake, {{"Cookie", cookie}, {"Origin", "http://" + self}}), 403},
        {"other host name", "GET", "/app/index.html", {{"Cookie", cookie}, {"Host", "localhost:" + port}}, 403},
        {"other port in Host", "GET", Target(another), {{"Host", "127.0.0.1:1"}}, 403},
        {"rebound name", "POST", "/call", {{"Cookie", cookie}, {"Host", "evil.example"}}, 403},
        {"foreign origin", "POST", "/call", {{"Cookie", cookie}, {"Origin", "http://evil.example"}}, 403},
        {"opaque origin", "POST", "/call", {{"Cookie", cookie}, {"Origin", "null"}}, 403},
        {"origin of another port", "POST", "/call", {{"Cookie", cookie}, {"Origin", "http://127.0.0.1:1"}}, 403},
        {"preflight", "OPTIONS", "/call", {{"Origin", "http://evil.example"}, {"Access-Control-Request-Method", "POST"}}, 403},
        {"close without cookie", "POST", "/close", {}, 403},
        // The same requests pass once they present the right thing.
        {"a fresh token, refused elsewhere above", "GET", "/app/index.html?t=" + fresh, {}, 200},
        {"cookie", "GET", "/app/index.html", {{"Cookie", "a=b; qo_" + port + "=" + key}}, 200},
        {"cookie and own origin", "GET", "/app/index.html", {{"Cookie", cookie}, {"Origin", "http://" + self}}, 200},
        // Past the guard, the channel wants a WebSocket handshake.
        {"channel with the cookie and own Origin, but no handshake", "GET", "/events?page=p",
         {{"Cookie", cookie}, {"Origin", "http://" + self}}, 400},
    };
    httplib::Client client("127.0.0.1", page.Port());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        httplib::Request request;
        request.method = c.method;
        request.path = c.path;
        request.headers = c.headers;
        if (c.method == "POST") request.body = call;
        const httplib::Result result = client.send(request);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, c.status);
        for (const auto& [name, value] : result->headers) EXPECT_EQ(name.rfind("Access-Control-", 0), std::string::npos) << name;
        EXPECT_EQ(result->get_header_value("Content-Security-Policy"), "frame-ancestors 'self'");
        const bool byToken = c.status == 200 && c.path.find("?t=") != std::string::npos;
        EXPECT_EQ(result->has_header("Set-Cookie"), byToken);
        if (byToken) {
            EXPECT_EQ(result->get_header_value("Set-Cookie"), cookie + "; Path=/; HttpOnly; SameSite=Strict");
        }
        EXPECT_FALSE(result->has_header("Sec-WebSocket-Accept"));
    }
    // Nothing refused reached the native side: only the four admitted loads did.
    const std::lock_guard guard(host.lock_);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(host.loads.size(), 4u);
}

// Every address handed out (the tray's "Show Window", a headless re-print)
// has a token of its own, good for one load; a reload presents the cookie.
TEST(BrowserWindow, EachAddressAdmitsOneLoadAndTheCookieAdmitsReloads) {
    TestHost host;
    WindowThread ui(host, Options());
    httplib::Client client("127.0.0.1", ui.Window().PagePort());
    const auto load = [&](const std::string& address) {
        const httplib::Result result = client.Get(Target(address));
        return result ? result->status : 0;
    };
    const std::string first = ui.Address();
    const std::string second = ui.Address();
    EXPECT_NE(TokenOf(first), TokenOf(second));
    EXPECT_EQ(load(second), 200);
    EXPECT_EQ(load(second), 403);
    EXPECT_EQ(load(first), 200);
    EXPECT_EQ(load(first), 403);

    PageClient page(ui.Address());
    ASSERT_EQ(page.LoadDocument()->status, 200);
    const httplib::Result reload = page.LoadDocument();
    ASSERT_TRUE(reload);
    EXPECT_EQ(reload->status, 200);
    EXPECT_FALSE(reload->has_header("Set-Cookie"));

    // Addresses handed out and never loaded are not kept for ever: the
    // oldest go.
    const std::string oldest = ui.Address();
    std::string newest;
    for (std::size_t i = 0; i < engine::RequestGuard::kOutstandingTokens; ++i) newest = ui.Address();
    EXPECT_EQ(load(oldest), 403);
    EXPECT_EQ(load(newest), 200);
}

TEST(BrowserWindow, ServesDocumentsThroughTheHostsDataLoad) {
    TestHost host;
    WindowThread ui(host, Options());
    PageClient page(ui.Address());
    const httplib::Result index = page.LoadDocument();
    ASSERT_TRUE(index);
    EXPECT_EQ(index->status, 200);
    EXPECT_EQ(index->body, "<html></html>");
    EXPECT_EQ(index->get_header_value("Content-Type"), "text/html; charset=utf-8");

    httplib::Client client("127.0.0.1", page.Port());
    const httplib::Headers key{{"Cookie", page.Cookie()}};
    const httplib::Result script = client.Get("/app/tis/home.tis", key);
    ASSERT_TRUE(script);
    EXPECT_EQ(script->status, 200);
    EXPECT_EQ(script->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
    const httplib::Result missing = client.Get("/app/tis/none.tis", key);
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
    client.Get("/app///index.html", key);
    client.Get("/res/page.xml", key);

    const std::lock_guard guard(host.lock_);
    EXPECT_EQ(host.loads, (std::vector<std::wstring>{L"this://app/index.html", L"this://app/tis/home.tis",
                                                     L"this://app/tis/none.tis", L"this://app///index.html",
                                                     L"res:page.xml"}));
}

TEST(BrowserWindow, ScriptCallsRunOnTheUiThreadOneAtATime) {
    TestHost host;
    host.functions["Echo"] = [](std::span<const Value> args) { return Value::Array({args.begin(), args.end()}); };
    host.functions["Slow"] = [](std::span<const Value>) {
        Sleep(5);
        return Value(1);
    };
    host.functions["Undefined"] = [](std::span<const Value>) { return Value(); };
    WindowThread ui(host, Options());
    PageClient page(ui.Address());
    page.LoadDocument();

    const std::vector<Value> values{Value(),
                                    Value::Null(),
                                    Value(true),
                                    Value(-7),
                                    Value(1.5),
                                    Value(L"Grüße \"quoted\"\n"),
                                    Value::Array({Value(1), Value(), Value::Array({Value(L"x")})}),
                                    Value::Map({{L"first", Value(1)}, {L"second", Value()}})};
    EXPECT_EQ(page.Call("Echo", values), Value::Array(values));
    EXPECT_EQ(page.Call("Undefined"), Value());
    EXPECT_EQ(page.Call("NoSuchFunction"), std::nullopt);

    std::vector<std::future<void>> pages;
    for (int i = 0; i < 4; ++i)
        pages.push_back(std::async(std::launch::async, [&] {
            PageClient other(ui.Address());
            for (int call = 0; call < 10; ++call) EXPECT_EQ(other.Call("Slow"), Value(1));
        }));
    for (auto& finished : pages) finished.get();
    EXPECT_EQ(host.maxInFlight.load(), 1);
    for (const DWORD thread : host.callThreads) EXPECT_EQ(thread, ui.UiThreadId());
}

// A file's icon is drawn on the request's own thread, which may wait on a
// file system: the UI thread meanwhile answers the page's calls.
TEST(BrowserWindow, IconsAreDrawnOffTheUiThreadWhichAnswersCallsMeanwhile) {
    TestHost host;
    host.documents[L"icon:C:\\a.exe"] = "drawn";
    host.functions["Echo"] = [](std::span<const Value> args) { return args[0]; };
    std::atomic<DWORD> uiThread{0};
    std::promise<void> drawing;
    std::promise<void> release;
    host.whileLoading = [&, released = release.get_future().share()](const std::wstring& url) {
        if (url != L"icon:C:\\a.exe") return;
        drawing.set_value();
        // On the UI thread the call below could never be answered.
        if (GetCurrentThreadId() != uiThread) released.wait();
    };
    WindowThread ui(host, Options());
    uiThread = ui.UiThreadId();
    PageClient page(ui.Address());
    page.LoadDocument();

    std::future<httplib::Result> icon = std::async(std::launch::async, [&page] {
        httplib::Client client("127.0.0.1", page.Port());
        return client.Get("/icon?file=C%3A%5Ca.exe", httplib::Headers{{"Cookie", page.Cookie()}});
    });
    drawing.get_future().wait();
    EXPECT_EQ(page.Call("Echo", {Value(7)}), Value(7));
    release.set_value();
    const httplib::Result answer = icon.get();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_EQ(answer->body, "drawn");
    EXPECT_EQ(answer->get_header_value("Content-Type"), "image/png");

    const std::lock_guard guard(host.lock_);
    ASSERT_EQ(host.loads, (std::vector<std::wstring>{L"this://app/index.html", L"icon:C:\\a.exe"}));
    EXPECT_EQ(host.loadThreads[0], ui.UiThreadId());
    EXPECT_NE(host.loadThreads[1], ui.UiThreadId());
}

TEST(BrowserWindow, CallbacksReachThePageAndReportWhetherTheFunctionReturned) {
    TestHost host;
    host.functions["GetErrorDetails"] = [](std::span<const Value> args) { return Value(L"details of " + args[0].ToText()); };
    WindowThread ui(host, Options());
    PageClient page(ui.Address());
    page.LoadDocument();
    std::vector<std::vector<Value>> progress;
    std::optional<Value> detailsSeen;
    page.Define("SetScanProcess", [&](const std::vector<Value>& args) {
        progress.push_back(args);
        // A callback may call the native side while the worker waits.
        if (args[0] == Value(100)) detailsSeen = page.Call("GetErrorDetails", {Value(2)});
        return true;
    });
    page.Define("Throws", [](const std::vector<Value>&) { return false; });
    page.Listen();

    EXPECT_TRUE(CallFromWorker(ui.Window(), "SetScanProcess", {Value(50), Value(4)}).get());
    EXPECT_TRUE(CallFromWorker(ui.Window(), "SetScanProcess", {Value(100), Value(4)}).get());
    EXPECT_FALSE(CallFromWorker(ui.Window(), "NotDefined", {Value(1)}).get());
    EXPECT_FALSE(CallFromWorker(ui.Window(), "Throws", {}).get());
    EXPECT_EQ(progress, (std::vector<std::vector<Value>>{{Value(50), Value(4)}, {Value(100), Value(4)}}));
    EXPECT_EQ(detailsSeen, Value(L"details of 2"));
}

TEST(BrowserWindow, CallbacksFromManyWorkersAreDeliveredOneAtATime) {
    TestHost host;
    WindowThread ui(host, Options());
    PageClient page(ui.Address());
    std::atomic<int> running{0};
    std::atomic<int> delivered{0};
    bool overlapped = false;
    page.Define("Count", [&](const std::vector<Value>&) {
        if (++running > 1) overlapped = true;
        ++delivered;
        --running;
        return true;
    });
    page.Listen();
    std::vector<std::future<bool>> workers;
    for (int i = 0; i < 20; ++i) workers.push_back(CallFromWorker(ui.Window(), "Count", {Value(i)}));
    for (auto& worker : workers) EXPECT_TRUE(worker.get());
    EXPECT_EQ(delivered.load(), 20);
    EXPECT_FALSE(overlapped);
}

TEST(BrowserWindow, ACallbackFromTheUiThreadItselfFails) {
    TestHost host;
    // The UI thread cannot wait for the page: the page waits for it.
    bool fromUiThread = true;
    WindowThread ui(host, Options());
    host.functions["CallBack"] = [&](std::span<const Value>) {
        fromUiThread = ui.Window().CallFunction("Anything", {});
        return Value(0);
    };
    PageClient page(ui.Address());
    page.Call("CallBack");
    EXPECT_FALSE(fromUiThread);
}

TEST(BrowserWindow, CallbackWaitsForAPageThatConnectsLater) {
    TestHost host;
    WindowThread ui(host, Options());
    std::future<bool> worker = CallFromWorker(ui.Window(), "UpgradeTips", {Value(1)});
    // Far longer than any page takes to connect: nothing gives up on it.
    EXPECT_EQ(worker.wait_for(2s), std::future_status::timeout);
    PageClient page(ui.Address());
    std::vector<Value> received;
    page.Define("UpgradeTips", [&](const std::vector<Value>& args) {
        received = args;
        return true;
    });
    page.Listen();
    EXPECT_TRUE(worker.get());
    EXPECT_EQ(received, std::vector<Value>{Value(1)});
}

TEST(BrowserWindow, CallbacksPendingAcrossAReloadReachTheReloadedPageInOrder) {
    TestHost host;
    WindowThread ui(host, Options());
    PageClient page(ui.Address());
    std::promise<void> entered;
    std::promise<void> release;
    bool first = true;
    // The page leaves while it runs the first call, before answering it.
    page.Define("Step", [&](const std::vector<Value>&) {
        if (std::exchange(first, false)) {
            entered.set_value();
            release.get_future().wait();
        }
        return true;
    });
    page.Listen();
    std::future<bool> one = CallFromWorker(ui.Window(), "Step", {Value(1)});
    entered.get_future().wait();
    std::future<bool> two = CallFromWorker(ui.Window(), "Step", {Value(2)});
    std::thread leave([&] { page.StopListening(); });
    // Gone, yet neither call fails.
    EXPECT_EQ(one.wait_for(1s), std::future_status::timeout);
    EXPECT_EQ(two.wait_for(0s), std::future_status::timeout);
    release.set_value();
    leave.join();

    // The reloaded page names itself anew and gets both, first one first.
    std::vector<Value> steps;
    page.Define("Step", [&](const std::vector<Value>& args) {
        steps.push_back(args.at(0));
        return true;
    });
    page.Rename("reloaded");
    page.Listen();
    EXPECT_TRUE(one.get());
    EXPECT_TRUE(two.get());
    EXPECT_EQ(steps, (std::vector<Value>{Value(1), Value(2)}));
}

TEST(BrowserWindow, ASecondPageIsRefusedTheCallbackChannelWhileTheFirstHoldsIt) {
    TestHost host;
    WindowThread ui(host, Options());
    PageClient first(ui.Address());
    PageClient second(ui.Address());
    int firstCalls = 0;
    int secondCalls = 0;
    first.Define("Tick", [&](const std::vector<Value>&) { return ++firstCalls > 0; });
    second.Define("Tick", [&](const std::vector<Value>&) { return ++secondCalls > 0; });
    first.Listen();
    EXPECT_EQ(second.TryListen(), 409);
    // The run's cookie, as any page of this host sends it, opens nothing
    // without the server's own Origin.
    EXPECT_EQ(second.TryListen(PageClient::Origin::None), 403);
    EXPECT_EQ(second.TryListen(PageClient::Origin::OtherPort), 403);
    EXPECT_TRUE(CallFromWorker(ui.Window(), "Tick", {}).get());
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(secondCalls, 0);
    // The first page reconnecting replaces its own channel.
    first.Listen();
    EXPECT_TRUE(CallFromWorker(ui.Window(), "Tick", {}).get());
    EXPECT_EQ(firstCalls, 2);
    // Once it is gone, the second page may take the channel.
    first.StopListening();
    second.Listen();
    EXPECT_TRUE(CallFromWorker(ui.Window(), "Tick", {}).get());
    EXPECT_EQ(secondCalls, 1);
}

TEST(BrowserWindow, RequestsOverTheirBoundsAreRefusedBeforeTheGuardAndTheirConnectionsClosed) {
    TestHost host;
    engine::WindowOptions options = Options();
    options.requestLimits.headTime = 500ms;
    options.requestLimits.bodyTime = 500ms;
    options.requestLimits.idleTime = 500ms;
    WindowThread ui(host, options);
    PageClient page(ui.Address());
    page.LoadDocument();
    {
        const std::lock_guard guard(host.lock_);
        host.loads.clear();
    }
    const std::string head = "GET " + Target(ui.Address()) + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                             std::to_string(page.Port()) + "\r\n";
    std::string manyLines = head;
    for (int i = 0; i < 70; ++i) manyLines += "X-Line: " + std::to_string(i) + "\r\n";
    struct Case {
        const char* what;
        std::string sent;
        std::string drip;  // sent a byte at a time, slower than the head may take
        bool answered400;
    };
    const Case cases[] = {
        {"too many header lines", manyLines + "\r\n", "", true},
        {"a header too long", head + "X-Long: " + std::string(20000, 'a') + "\r\n\r\n", "", true},
        {"a request line without end", std::string(20000, 'G'), "", false},
        {"a head that stops coming", head, "", true},
        {"a head that comes a byte at a time", "GET /app/index.html", std::string(100, ' '), false},
        {"a body that stops coming",
         "POST /call HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(page.Port()) + "\r\nCookie: " + page.Cookie() +
             "\r\nContent-Length: 100\r\n\r\n{\"name\":",
         "", true},
        {"a connection that sends nothing", "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RawClient client(page.Port());
        if (!c.sent.empty()) client.Send(c.sent);
        const std::optional<std::string> answer = client.UntilClosed(10s, c.drip);
        ASSERT_TRUE(answer) << "still open";
        EXPECT_EQ(answer->rfind("HTTP/1.1 400", 0) == 0, c.answered400) << *answer;
    }
    const std::lock_guard guard(host.lock_);
    EXPECT_TRUE(host.loads.empty());
    EXPECT_TRUE(host.calls.empty());
}

TEST(BrowserWindow, SlowClientsDoNotKeepThePageWaiting) {
    TestHost host;
    host.functions["Ping"] = [](std::span<const Value>) { return Value(1); };
    engine::WindowOptions options = Options();
    options.requestLimits.headTime = 500ms;
    WindowThread ui(host, options);
    PageClient page(ui.Address());
    // More clients than the server has threads, each sending its head a byte
    // every 200 ms: 400 bytes, far longer than the head may take. Each tells
    // whether the server closed it before it ran out of bytes.
    std::latch sending(24);
    std::vector<std::future<bool>> slow;
    for (int i = 0; i < 24; ++i)
        slow.push_back(std::async(std::launch::async, [&] {
            RawClient client(page.Port());
            client.Send("G");
            sending.count_down();
            return client.DripUntilClosed("ET /app/index.html HTTP/1.1\r\nX-Slow: " + std::string(400, 'x'));
        }));
    sending.wait();
    // A server that waited for slow heads would answer only once the clients
    // had sent everything, and would not have closed them.
    EXPECT_EQ(page.Call("Ping"), Value(1));
    for (auto& client : slow) EXPECT_TRUE(client.get()) << "a slow client kept its connection until it ran out of bytes";
}

TEST(BrowserWindow, ARequestBodyOverFourMebibytesIsRefusedUnread) {
    TestHost host;
    WindowThread ui(host, Options());
    PageClient page(ui.Address());
    page.LoadDocument();
    httplib::Client client("127.0.0.1", page.Port());
    struct Case {
        std::size_t size;
        int status;  // 400: read, and not a call
    };
    for (const Case& c : {Case{4u << 20, 400}, Case{(4u << 20) + 1, 413}}) {
        SCOPED_TRACE(c.size);
        const httplib::Result result = client.Post("/call", {{"Cookie", page.Cookie()}}, std::string(c.size, ' '), "application/json");
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, c.status);
    }
    const std::lock_guard guard(host.lock_);
    EXPECT_TRUE(host.calls.empty());
}

// A fixed number of connections is served, a fixed number more waits for a
// thread; one beyond those is closed unanswered, and the waiting ones are
// served as threads come free.
TEST(BrowserWindow, ConnectionsBeyondThoseServedAndWaitingAreClosedUnanswered) {
    TestHost host;
    engine::WindowOptions options = Options();
    options.requestLimits.servingConnections = 2;
    options.requestLimits.waitingConnections = 2;
    // Far longer than the test: a connection that sends nothing keeps its
    // thread meanwhile.
    options.requestLimits.idleTime = 60s;
    options.requestLimits.headTime = 60s;
    WindowThread ui(host, options);
    const int port = ui.Window().PagePort();
    const std::string request = "GET /app/index.html HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n";
    // Two served, two waiting; the listener takes them in the order they came.
    auto served = std::make_unique<RawClient>(port);
    auto servedToo = std::make_unique<RawClient>(port);
    RawClient waiting(port);
    auto waitingToo = std::make_unique<RawClient>(port);
    RawClient beyond(port);
    EXPECT_EQ(beyond.UntilClosed(30s), std::string()) << "no answer, closed";
    ASSERT_TRUE(waiting.Send(request));
    // A thread comes free: the first waiting connection is answered.
    served.reset();
    const std::optional<std::string> answer = waiting.UntilAnswered(30s);
    ASSERT_TRUE(answer) << "not answered";
    EXPECT_EQ(answer->rfind("HTTP/1.1 403", 0), 0u) << *answer;
    // With the others gone, a new connection is served again.
    servedToo.reset();
    waitingToo.reset();
    RawClient later(port);
    ASSERT_TRUE(later.Send(request));
    const std::optional<std::string> laterAnswer = later.UntilAnswered(30s);
    ASSERT_TRUE(laterAnswer) << "not answered";
    EXPECT_EQ(laterAnswer->rfind("HTTP/1.1 403", 0), 0u) << *laterAnswer;
}

TEST(BrowserWindow, ClosingTheViewEndsTheMessageLoop) {
    TestHost host;
    WindowThread ui(host, Options());
    PageClient page(ui.Address());
    page.LoadDocument();
    page.Close();
    EXPECT_EQ(ui.WaitForLoopEnd(30s), 0);
}

TEST(BrowserWindow, APageGoneForAWhileEndsTheMessageLoop) {
    TestHost host;
    WindowThread ui(host, Options(1500ms));
    PageClient page(ui.Address());
    page.Listen();
    // A page back within the grace (a reload) keeps the window.
    page.StopListening();
    page.Listen();
    EXPECT_EQ(ui.WaitForLoopEnd(3s), std::nullopt);
    // One that stays gone (its browser window closed) ends the loop.
    page.StopListening();
    EXPECT_EQ(ui.WaitForLoopEnd(30s), 0);
}

// No browser window of the program's to hide: the page closes itself instead.
// With the tray icon its going away keeps the window; without one it does not.
TEST(BrowserWindow, APageThatCannotBeHiddenClosesToTheTrayIfThereIsOne) {
    struct Case {
        const char* what;
        bool tray;
        std::chrono::seconds wait;
        std::optional<int> loopEnd;
    };
    for (const Case& c : {Case{"with the tray icon", true, 4s, std::nullopt}, Case{"without one", false, 30s, 0}}) {
        TestHost host;
        WindowThread ui(host, Options(1500ms), c.tray);
        PageClient page(ui.Address());
        page.Listen();
        EXPECT_EQ(page.Service("windowState", {Value(L"hidden")}), Value(false)) << c.what;
        page.StopListening();
        EXPECT_EQ(ui.WaitForLoopEnd(c.wait), c.loopEnd) << c.what;
        if (!c.tray) continue;
        // Opened again (from the tray) and then closed, it ends the loop as ever.
        page.Listen();
        page.StopListening();
        EXPECT_EQ(ui.WaitForLoopEnd(30s), 0) << c.what;
    }
}

}  // namespace
