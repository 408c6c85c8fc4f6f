#include "support/page_client.h"

#include <array>
#include <stdexcept>

#include "engine/websocket.h"
#include "engine/wire_format.h"

namespace testsupport {

namespace {

struct Address {
    int port;
    std::string path;
    std::string token;
};

Address ParseAddress(const std::string& address) {
    const std::string prefix = "http://127.0.0.1:";
    const std::size_t slash = address.find('/', prefix.size());
    const std::size_t query = address.find("?t=");
    if (address.rfind(prefix, 0) != 0 || slash == std::string::npos || query == std::string::npos)
        throw std::invalid_argument("not a page address: " + address);
    return {std::stoi(address.substr(prefix.size(), slash - prefix.size())), address.substr(slash, query - slash),
            address.substr(query + 3)};
}

}  // namespace

PageClient::PageClient(const std::string& address) : calls_("127.0.0.1", ParseAddress(address).port) {
    const Address parsed = ParseAddress(address);
    port_ = parsed.port;
    path_ = parsed.path;
    token_ = parsed.token;
    calls_.set_tcp_nodelay(true);
    calls_.set_keep_alive(true);
    calls_.set_read_timeout(60, 0);
    static std::atomic<int> pages{0};
    name_ = "page" + std::to_string(++pages);
}

PageClient::~PageClient() { StopListening(); }

httplib::Result PageClient::LoadDocument() {
    const std::lock_guard guard(callLock_);
    return LoadLocked();
}

httplib::Result PageClient::LoadLocked() {
    if (!cookie_.empty()) return calls_.Get(path_, {{"Cookie", cookie_}});
    httplib::Result result = calls_.Get(path_ + "?t=" + token_);
    if (result && result->has_header("Set-Cookie")) {
        const std::string cookie = result->get_header_value("Set-Cookie");
        cookie_ = cookie.substr(0, cookie.find(';'));
    }
    return result;
}

void PageClient::EnsureLoaded() {
    const std::lock_guard guard(callLock_);
    if (!cookie_.empty()) return;
    const httplib::Result result = LoadLocked();
    if (cookie_.empty())
        throw std::runtime_error("the page address was refused: " + (result ? std::to_string(result->status) : "no answer"));
}

std::optional<engine::Value> PageClient::Call(const std::string& name, const std::vector<engine::Value>& args) {
    return Ask("/call", name, args);
}

std::optional<engine::Value> PageClient::Service(const std::string& name, const std::vector<engine::Value>& args) {
    return Ask("/service", name, args);
}

std::optional<engine::Value> PageClient::Ask(const char* path, const std::string& name,
                                             const std::vector<engine::Value>& args) {
    engine::Json body(cJSON_CreateObject());
    cJSON_AddItemToObject(body.get(), "name", cJSON_CreateString(name.c_str()));
    cJSON_AddItemToObject(body.get(), "args", engine::ToWireJson(engine::Value::Array(args)).release());
    EnsureLoaded();
    std::unique_lock guard(callLock_);
    const httplib::Result result = calls_.Post(path, {{"Cookie", cookie_}}, engine::PrintJson(*body), "application/json");
    guard.unlock();
    if (!result || result->status != 200)
        throw std::runtime_error("the call " + name + " failed: " + (result ? std::to_string(result->status) : "no answer"));
    const engine::Json answer = engine::ParseJson(result->body);
    if (!cJSON_IsArray(answer.get())) throw std::runtime_error("the answer to " + name + " is not an array");
    if (!answer->child) return std::nullopt;
    return engine::FromWireJson(answer->child);
}

void PageClient::Post(const std::string& path, const std::string& body) {
    EnsureLoaded();
    const std::lock_guard guard(callLock_);
    calls_.Post(path.c_str(), {{"Cookie", cookie_}}, body, "application/json");
}

void PageClient::Close() { Post("/close", "{}"); }

void PageClient::Define(const std::string& name, Function function) {
    const std::lock_guard guard(functionsLock_);
    functions_[name] = std::move(function);
}

void PageClient::SendFrame(const std::string& payload) {
    const std::string frame = engine::websocket::EncodeFrame(engine::websocket::Opcode::Text, payload,
                                                             std::array<std::uint8_t, 4>{0x12, 0x34, 0x56, 0x78});
    send(channel_, frame.data(), static_cast<int>(frame.size()), 0);
}

void PageClient::RunCallbacks(const std::string& message) {
    const engine::Json callbacks = engine::ParseJson(message);
    for (const cJSON* callback = callbacks ? callbacks->child : nullptr; callback; callback = callback->next) {
        const cJSON* id = cJSON_GetObjectItemCaseSensitive(callback, "id");
        const cJSON* name = cJSON_GetObjectItemCaseSensitive(callback, "name");
        const std::optional<engine::Value> args = engine::FromWireJson(cJSON_GetObjectItemCaseSensitive(callback, "args"));
        const std::string functionName = cJSON_IsString(name) ? name->valuestring : "";
        Function function;
        {
            const std::lock_guard guard(functionsLock_);
            const auto found = functions_.find(functionName);
            if (found != functions_.end()) function = found->second;
        }
        const bool returned = function && args && function(args->Items());
        if (leaving_) return;
        SendFrame("{\"id\":" + std::to_string(static_cast<long long>(id->valuedouble)) +
                  ",\"returned\":" + (returned ? "true" : "false") + "}");
    }
}

int PageClient::TryListen(Origin origin) {
    EnsureLoaded();
    StopListening();
    leaving_ = false;
    channel_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port_));
    if (connect(channel_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return 0;
    const std::string self = "127.0.0.1:" + std::to_string(port_);
    const std::string originLine = origin == Origin::Own         ? "Origin: http://" + self + "\r\n"
                                   : origin == Origin::OtherPort ? "Origin: http://127.0.0.1:1\r\n"
                                                                 : "";
    const std::string handshake = "GET /events?page=" + name_ + " HTTP/1.1\r\nHost: " + self +
                                  "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
                                  "Sec-WebSocket-Key: " + engine::websocket::NewClientKey() +
                                  "\r\nCookie: " + cookie_ + "\r\n" + originLine + "\r\n";
    send(channel_, handshake.data(), static_cast<int>(handshake.size()), 0);
    // The answer's head, byte by byte, so that nothing of the first frame is taken.
    std::string head;
    char c = 0;
    while (head.find("\r\n\r\n") == std::string::npos && recv(channel_, &c, 1, 0) == 1) head += c;
    const int status = head.size() > 12 ? std::atoi(head.c_str() + 9) : 0;
    if (status != 101) {
        closesocket(channel_);
        channel_ = INVALID_SOCKET;
        return status;
    }
    listener_ = std::thread([this] {
        std::string buffer;
        char chunk[4096];
        for (;;) {
            const int count = recv(channel_, chunk, sizeof chunk, 0);
            if (count <= 0) return;
            buffer.append(chunk, static_cast<std::size_t>(count));
            engine::websocket::Frame frame;
            std::size_t used = 0;
            while (engine::websocket::DecodeFrame(buffer, false, 1u << 30, frame, used) == engine::websocket::Decoded::Frame) {
                buffer.erase(0, used);
                if (frame.opcode == engine::websocket::Opcode::Close) return;
                if (frame.opcode == engine::websocket::Opcode::Text) RunCallbacks(frame.payload);
            }
        }
    });
    return status;
}

void PageClient::Listen() {
    // As the page runtime does: refused while another page's channel is
    // still attached (it may only just be leaving), it tries again.
    int status = TryListen();
    for (int attempt = 0; status == 409 && attempt < 100; ++attempt) {
        Sleep(100);
        status = TryListen();
    }
    if (status != 101) throw std::runtime_error("the callback channel was refused: " + std::to_string(status));
}

void PageClient::StopListening() {
    leaving_ = true;
    if (channel_ == INVALID_SOCKET) return;
    // Shut first, closed once the listener is done with it.
    shutdown(channel_, SD_BOTH);
    if (listener_.joinable()) listener_.join();
    closesocket(channel_);
    channel_ = INVALID_SOCKET;
}

}  // namespace testsupport
