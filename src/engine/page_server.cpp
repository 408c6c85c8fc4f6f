#include "engine/page_server.h"

#include <httplib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <utility>

#include "engine/callback_socket.h"
#include "engine/icon_route.h"
#include "engine/limited_server.h"
#include "engine/request_guard.h"
#include "engine/websocket.h"
#include "engine/wire_format.h"

namespace engine {

namespace {

using namespace std::chrono_literals;

constexpr std::string_view kResourcePrefix = "/res/";
constexpr std::string_view kEventsPath = "/events";
// The name a page gives itself on the callback channel.
constexpr std::size_t kMaxPageName = 64;

struct ContentType {
    std::string_view extension;
    const char* type;
};

// The documents' scripts (.tis) run as JavaScript in the page.
constexpr std::array kContentTypes = {
    ContentType{".html", "text/html; charset=utf-8"},
    ContentType{".htm", "text/html; charset=utf-8"},
    ContentType{".css", "text/css; charset=utf-8"},
    ContentType{".tis", "text/javascript; charset=utf-8"},
    ContentType{".js", "text/javascript; charset=utf-8"},
    ContentType{".json", "application/json"},
    ContentType{".png", "image/png"},
    ContentType{".gif", "image/gif"},
    ContentType{".jpg", "image/jpeg"},
    ContentType{".svg", "image/svg+xml"},
    ContentType{".ico", "image/x-icon"},
};

const char* ContentTypeOf(std::string_view path) {
    for (const ContentType& entry : kContentTypes) {
        if (path.size() < entry.extension.size()) continue;
        const std::string_view tail = path.substr(path.size() - entry.extension.size());
        if (std::equal(tail.begin(), tail.end(), entry.extension.begin(),
                       [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; }))
            return entry.type;
    }
    return "application/octet-stream";
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool IsDocumentPath(std::string_view path) {
    return StartsWith(path, PageServer::kDocumentPrefix) || StartsWith(path, kResourcePrefix);
}

std::vector<std::string_view> HeaderValues(const httplib::Request& request, const char* name) {
    std::vector<std::string_view> values;
    const auto [first, last] = request.headers.equal_range(name);
    for (auto it = first; it != last; ++it) values.emplace_back(it->second);
    return values;
}

std::optional<std::string_view> OptionalHeader(const httplib::Request& request, const char* name) {
    const auto it = request.headers.find(name);
    if (it == request.headers.end()) return std::nullopt;
    return it->second;
}

RequestFacts FactsOf(const httplib::Request& request) {
    RequestFacts facts;
    facts.hosts = HeaderValues(request, "Host");
    facts.origins = HeaderValues(request, "Origin");
    facts.cookies = OptionalHeader(request, "Cookie");
    const auto token = request.params.find(std::string(RequestGuard::kTokenParameter));
    if (token != request.params.end()) facts.token = token->second;
    facts.kind = IsDocumentPath(request.path)    ? RequestFacts::Kind::Document
                 : request.path == kEventsPath ? RequestFacts::Kind::CallbackChannel
                                               : RequestFacts::Kind::Other;
    facts.isGet = request.method == "GET";
    return facts;
}

// The engine URL that a document path names.
std::wstring EngineUrlOf(std::string_view path) {
    if (StartsWith(path, PageServer::kDocumentPrefix))
        return L"this://app/" + WideFromUtf8(path.substr(PageServer::kDocumentPrefix.size()));
    return L"res:" + WideFromUtf8(path.substr(kResourcePrefix.size()));
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::search(text.begin(), text.end(), word.begin(), word.end(),
                       [&](char a, char b) { return lower(a) == lower(b); }) != text.end();
}

bool IsWebSocketHandshake(const httplib::Request& request) {
    const std::string upgrade = request.get_header_value("Upgrade");
    return upgrade.size() == 9 && ContainsNoCase(upgrade, "websocket") &&
           ContainsNoCase(request.get_header_value("Connection"), "upgrade") &&
           request.get_header_value("Sec-WebSocket-Version") == "13";
}

void Reply(httplib::Response& response, int status, const std::string& body, const char* type) {
    response.status = status;
    response.set_content(body, type);
}

}  // namespace

PageServer::PageServer(PageRequests& requests, CallbackQueue& callbacks, const RequestLimits& limits)
    : requests_(requests), callbacks_(callbacks), limits_(limits) {}

PageServer::~PageServer() { Stop(); }

bool PageServer::Start(int port, std::string key) {
    if (key.empty()) return false;
    server_ = std::make_unique<LimitedServer>(limits_);
    LimitedServer& server = *server_;
    server.set_tcp_nodelay(true);
    // The port is ours alone: no other socket may bind it while we listen.
    server.set_socket_options([](socket_t socket) {
        int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
    });
    // What the Keep-Alive header announces; LimitedServer keeps to it.
    server.set_keep_alive_timeout(std::max<time_t>(1, std::chrono::duration_cast<std::chrono::seconds>(limits_.idleTime).count()));
    // No page of another origin shows the documents inside itself, where it
    // could make them act for it.
    server.set_default_headers({{"Cache-Control", "no-store"},
                                {"X-Content-Type-Options", "nosniff"},
                                {"Referrer-Policy", "no-referrer"},
                                {"Content-Security-Policy", "frame-ancestors 'self'"}});

    const int actualPort = port == 0 ? server.bind_to_any_port("127.0.0.1")
                                     : (server.bind_to_port("127.0.0.1", port) ? port : -1);
    if (actualPort <= 0) {
        server_.reset();
        return false;
    }
    port_ = actualPort;
    guard_ = std::make_unique<RequestGuard>(actualPort, std::move(key));

    server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        const RequestGuard::Verdict verdict = guard_->Admit(FactsOf(request));
        if (verdict == RequestGuard::Verdict::Refused) {
            Reply(response, 403, "Forbidden", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }
        // The address's token is spent: the page's later requests present
        // the cookie.
        if (verdict == RequestGuard::Verdict::AdmittedByToken) response.set_header("Set-Cookie", guard_->SessionCookie());
        return httplib::Server::HandlerResponse::Unhandled;
    });

    const auto serveDocument = [this](const httplib::Request& request, httplib::Response& response) {
        std::optional<std::vector<std::uint8_t>> content = requests_.LoadDocument(EngineUrlOf(request.path));
        if (!content) return Reply(response, 404, "Not Found", "text/plain");
        response.set_content(reinterpret_cast<const char*>(content->data()), content->size(),
                             ContentTypeOf(request.path));
    };
    server.Get(R"(/app/.*)", serveDocument);
    server.Get(R"(/res/.*)", serveDocument);
    AddIconRoute(server, requests_);

    const auto serveCall = [this](const httplib::Request& request, httplib::Response& response) {
        const Json call = ParseJson(request.body);
        const cJSON* name = cJSON_GetObjectItemCaseSensitive(call.get(), "name");
        const std::optional<Value> args = FromWireJson(cJSON_GetObjectItemCaseSensitive(call.get(), "args"));
        if (!cJSON_IsString(name) || !args || !args->IsArray()) return Reply(response, 400, "Bad Request", "text/plain");
        PageRequests::Answer answer = request.path == "/service" ? requests_.CallService(name->valuestring, args->Items())
                                                                 : requests_.CallNative(name->valuestring, args->Items());
        if (answer.status == PageRequests::Answer::Status::WindowClosed)
            return Reply(response, 503, "Closed", "text/plain");
        Json reply(cJSON_CreateArray());
        if (answer.status == PageRequests::Answer::Status::Handled)
            cJSON_AddItemToArray(reply.get(), ToWireJson(answer.result).release());
        Reply(response, 200, PrintJson(*reply), "application/json");
    };
    server.Post("/call", serveCall);
    server.Post("/service", serveCall);

    // The callback channel: a WebSocket, held by one page at a time.
    server.Get(std::string(kEventsPath), [this](const httplib::Request& request, httplib::Response& response) {
        const std::string page = request.get_param_value("page");
        const std::string clientKey = request.get_header_value("Sec-WebSocket-Key");
        if (!IsWebSocketHandshake(request) || page.empty() || page.size() > kMaxPageName || clientKey.empty())
            return Reply(response, 400, "Bad Request", "text/plain");
        // Another page holds it: this one is told, never let in silently.
        if (!callbacks_.MayAttach(page)) return Reply(response, 409, "Conflict", "text/plain");
        response.status = 101;
        response.set_header("Upgrade", "websocket");
        response.set_header("Connection", "Upgrade");
        response.set_header("Sec-WebSocket-Accept", websocket::AcceptValue(clientKey));
        SwitchProtocols([this, page](RawConnection& connection) {
            RunCallbackSocket(connection, callbacks_, page);
        });
    });

    server.Post("/close", [this](const httplib::Request&, httplib::Response& response) {
        requests_.CloseView();
        response.status = 204;
    });

    listener_ = std::thread([&server] { server.listen_after_bind(); });
    // Stop() is only heard once the server runs.
    while (!server.is_running()) std::this_thread::sleep_for(1ms);
    return true;
}

void PageServer::Stop() {
    if (!server_) return;
    callbacks_.Shutdown();
    server_->StopConnections();
    server_->stop();
    if (listener_.joinable()) listener_.join();
    server_.reset();
}

std::string PageServer::NewAddressOf(std::wstring_view url) const {
    if (!guard_) return {};
    constexpr std::wstring_view kAppScheme = L"this://app/";
    if (url.substr(0, kAppScheme.size()) != kAppScheme) return {};
    const std::string token = guard_->IssueToken();
    if (token.empty()) return {};
    return "http://" + guard_->Authority() + std::string(kDocumentPrefix) + Utf8FromWide(url.substr(kAppScheme.size())) +
           "?" + std::string(RequestGuard::kTokenParameter) + "=" + token;
}

}  // namespace engine
