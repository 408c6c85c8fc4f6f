#include "engine/browser_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <map>

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
        const std::lock_guard guard(lock_);
        loads.push_back(request.Url());
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
    std::vector<std::string> calls;
    std::vector<DWORD> callThreads;
    std::atomic<int> inFlight{0};
    std::atomic<int> maxInFlight{0};
};

// A BrowserWindow on a UI thread of its own that runs the message loop until
// the window closes.
class WindowThread {
public:
    // `show`: with the tray icon (and the address on standard output).
    WindowThread(engine::WindowHost& host, engine::WindowOptions options, bool show = false) {
        options.headless = true;
        std::promise<std::string> address;
        thread_ = std::thread([&, options, show] {
            uiThreadId_ = GetCurrentThreadId();
            std::unique_ptr<engine::BrowserWindow> window = engine::BrowserWindow::Create(host, options);
            window->LoadFile(L"this://app/index.html");
            if (show) window->Show();
            window_ = window.get();
            address.set_value(window->PageAddress());
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
            exitCode_.set_value(static_cast<int>(message.wParam));
            window_ = nullptr;
        });
        address_ = address.get_future().get();
    }
    ~WindowThread() {
        PostThreadMessageW(uiThreadId_, WM_QUIT, 0, 0);
        thread_.join();
    }

    const std::string& Address() const { return address_; }
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
    std::string address_;
    std::atomic<engine::BrowserWindow*> window_{nullptr};
    std::promise<int> exitCode_;
    std::future<int> ended_ = exitCode_.get_future();
};

engine::WindowOptions Options(std::chrono::milliseconds callbackBound = 30s,
                              std::chrono::milliseconds pageGoneGrace = 30s) {
    engine::WindowOptions options;
    options.callbackBound = callbackBound;
    options.pageGoneGrace = pageGoneGrace;
    return options;
}

// A worker's call into the page, on a thread of its own.
std::future<bool> CallFromWorker(engine::BrowserWindow& window, std::string name, std::vector<Value> args) {
    return std::async(std::launch::async, [&window, name, args] { return window.CallFunction(name, args); });
}

TEST(BrowserWindow, RefusesEveryRequestThatIsNotFromThisRunsPage) {
    TestHost host;
    WindowThread ui(host, Options());
    PageClient page(ui.Address());
    const std::string port = std::to_string(page.Port());
    const std::string self = "127.0.0.1:" + port;
    const std::string key = page.Key();
    const std::string call = R"({"name":"Anything","args":[]})";

    struct Case {
        const char* what;
        std::string method;
        std::string path;
        httplib::Headers headers;
        int status;
    };
    const Case cases[] = {
        {"no key", "GET", "/app/index.html", {}, 403},
        {"wrong key in the address", "GET", "/app/index.html?k=" + std::string(32, '0'), {}, 403},
        {"key cut short", "GET", "/app/index.html?k=" + key.substr(1), {}, 403},
        {"wrong key header", "POST", "/call", {{"X-Orvane-Key", std::string(32, 'f')}}, 403},
        {"key in the address of a call", "POST", "/call?k=" + key, {}, 403},
        {"key in the address of the event stream", "GET", "/events?k=" + key, {}, 403},
        {"cookie of another port", "POST", "/call", {{"Cookie", "qo_1=" + key}}, 403},
        {"other host name", "GET", "/app/index.html?k=" + key, {{"Host", "localhost:" + port}}, 403},
        {"other port in Host", "GET", "/app/index.html?k=" + key, {{"Host", "127.0.0.1:1"}}, 403},
        {"rebound name", "POST", "/call", {{"X-Orvane-Key", key}, {"Host", "evil.example"}}, 403},
        {"foreign origin", "POST", "/call", {{"X-Orvane-Key", key}, {"Origin", "http://evil.example"}}, 403},
        {"opaque origin", "POST", "/call", {{"X-Orvane-Key", key}, {"Origin", "null"}}, 403},
        {"origin of another port", "POST", "/call", {{"X-Orvane-Key", key}, {"Origin", "http://127.0.0.1:1"}}, 403},
        {"preflight", "OPTIONS", "/call", {{"Origin", "http://evil.example"}, {"Access-Control-Request-Method", "POST"}}, 403},
        {"close without key", "POST", "/close", {}, 403},
        {"answer without key", "POST", "/ack", {}, 403},
        // The same requests pass once they present the key from the right place.
        {"key in the address of a document", "GET", "/app/index.html?k=" + key, {}, 200},
        {"key header", "GET", "/app/index.html", {{"X-Orvane-Key", key}}, 200},
        {"cookie", "GET", "/app/index.html", {{"Cookie", "a=b; qo_" + port + "=" + key}}, 200},
        {"own origin", "GET", "/app/index.html", {{"X-Orvane-Key", key}, {"Origin", "http://" + self}}, 200},
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
        EXPECT_EQ(result->has_header("Set-Cookie"), c.status == 200 && c.path.find("?k=") != std::string::npos);
    }
    // Nothing refused reached the native side: only the four admitted loads did.
    const std::lock_guard guard(host.lock_);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(host.loads.size(), 4u);
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
    const httplib::Headers key{{"X-Orvane-Key", page.Key()}};
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

TEST(BrowserWindow, UndeliverableCallbacksFailWithoutRetrying) {
    TestHost host;
    // The UI thread itself cannot wait for the page: the page waits for it.
    bool fromUiThread = true;
    WindowThread ui(host, Options(300ms));
    host.functions["CallBack"] = [&](std::span<const Value>) {
        fromUiThread = ui.Window().CallFunction("Anything", {});
        return Value(0);
    };
    PageClient page(ui.Address());
    page.Call("CallBack");
    EXPECT_FALSE(fromUiThread);

    // No page listens: the worker gives up after the bound.
    EXPECT_FALSE(CallFromWorker(ui.Window(), "Anything", {}).get());
}

TEST(BrowserWindow, ACallbackFailsAsSoonAsItsPageIsGone) {
    TestHost host;
    WindowThread ui(host, Options(60s));
    PageClient page(ui.Address());
    std::promise<void> entered;
    std::promise<void> release;
    page.Define("Hangs", [&](const std::vector<Value>&) {
        entered.set_value();
        release.get_future().wait();
        return true;
    });
    page.Listen();
    std::future<bool> worker = CallFromWorker(ui.Window(), "Hangs", {});
    entered.get_future().wait();
    std::thread leave([&] { page.StopListening(); });
    // Long before the bound of a minute.
    ASSERT_EQ(worker.wait_for(20s), std::future_status::ready);
    EXPECT_FALSE(worker.get());
    release.set_value();
    leave.join();
}

TEST(BrowserWindow, CallbackWaitsForAPageThatConnectsLater) {
    TestHost host;
    WindowThread ui(host, Options());
    std::future<bool> worker = CallFromWorker(ui.Window(), "UpgradeTips", {Value(1)});
    Sleep(200);
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

TEST(BrowserWindow, ANewerPageTakesTheCallbacks) {
    TestHost host;
    WindowThread ui(host, Options());
    PageClient older(ui.Address());
    PageClient newer(ui.Address());
    int olderCalls = 0;
    int newerCalls = 0;
    older.Define("Tick", [&](const std::vector<Value>&) { return ++olderCalls > 0; });
    newer.Define("Tick", [&](const std::vector<Value>&) { return ++newerCalls > 0; });
    older.Listen();
    newer.Listen();
    EXPECT_TRUE(CallFromWorker(ui.Window(), "Tick", {}).get());
    EXPECT_EQ(olderCalls, 0);
    EXPECT_EQ(newerCalls, 1);
    // The older page leaving does not count as the page being gone.
    older.StopListening();
    EXPECT_TRUE(CallFromWorker(ui.Window(), "Tick", {}).get());
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
    WindowThread ui(host, Options(30s, 1500ms));
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
        WindowThread ui(host, Options(30s, 1500ms), c.tray);
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
