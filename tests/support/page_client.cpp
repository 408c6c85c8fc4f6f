#include "support/page_client.h"

#include <stdexcept>

#include "engine/wire_format.h"

namespace testsupport {

namespace {

struct Address {
    int port;
    std::string path;
    std::string key;
};

Address ParseAddress(const std::string& address) {
    const std::string prefix = "http://127.0.0.1:";
    const std::size_t slash = address.find('/', prefix.size());
    const std::size_t query = address.find("?k=");
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
    key_ = parsed.key;
    calls_.set_tcp_nodelay(true);
    calls_.set_keep_alive(true);
    calls_.set_read_timeout(60, 0);
}

PageClient::~PageClient() { StopListening(); }

httplib::Headers PageClient::SessionHeaders() const {
    if (cookie_.empty()) return {{"X-Orvane-Key", key_}};
    return {{"Cookie", cookie_}};
}

httplib::Result PageClient::LoadDocument() {
    const std::lock_guard guard(callLock_);
    httplib::Result result = calls_.Get(path_ + "?k=" + key_);
    if (result && result->has_header("Set-Cookie")) {
        const std::string cookie = result->get_header_value("Set-Cookie");
        cookie_ = cookie.substr(0, cookie.find(';'));
    }
    return result;
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
    std::unique_lock guard(callLock_);
    const httplib::Result result = calls_.Post(path, SessionHeaders(), engine::PrintJson(*body), "application/json");
    guard.unlock();
    if (!result || result->status != 200)
        throw std::runtime_error("the call " + name + " failed: " + (result ? std::to_string(result->status) : "no answer"));
    const engine::Json answer = engine::ParseJson(result->body);
    if (!cJSON_IsArray(answer.get())) throw std::runtime_error("the answer to " + name + " is not an array");
    if (!answer->child) return std::nullopt;
    return engine::FromWireJson(answer->child);
}

void PageClient::Post(const std::string& path, const std::string& body) {
    const std::lock_guard guard(callLock_);
    calls_.Post(path.c_str(), SessionHeaders(), body, "application/json");
}

void PageClient::Close() { Post("/close", "{}"); }

void PageClient::Define(const std::string& name, Function function) {
    const std::lock_guard guard(functionsLock_);
    functions_[name] = std::move(function);
}

void PageClient::RunEvents(const std::string& block) {
    const std::string prefix = "data: ";
    if (block.rfind(prefix, 0) != 0) return;
    const engine::Json event = engine::ParseJson(block.substr(prefix.size()));
    const cJSON* id = cJSON_GetObjectItemCaseSensitive(event.get(), "id");
    const cJSON* name = cJSON_GetObjectItemCaseSensitive(event.get(), "name");
    const std::optional<engine::Value> args = engine::FromWireJson(cJSON_GetObjectItemCaseSensitive(event.get(), "args"));
    Function function;
    {
        const std::lock_guard guard(functionsLock_);
        const auto found = functions_.find(name ? name->valuestring : "");
        if (found != functions_.end()) function = found->second;
    }
    const bool returned = function && args && function(args->Items());
    if (leaving_) return;
    Post("/ack", "{\"id\":" + std::to_string(static_cast<long long>(id->valuedouble)) +
                     ",\"returned\":" + (returned ? "true" : "false") + "}");
}

void PageClient::Listen() {
    leaving_ = false;
    stream_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    stream_->set_read_timeout(300, 0);
    listener_ = std::thread([this] {
        std::string buffer;
        stream_->Get("/events", SessionHeaders(), [&](const char* data, std::size_t length) {
            {
                const std::lock_guard guard(attachLock_);
                isAttached_ = true;
            }
            attached_.notify_all();
            buffer.append(data, length);
            for (std::size_t end; (end = buffer.find("\n\n")) != std::string::npos;) {
                const std::string block = buffer.substr(0, end);
                buffer.erase(0, end + 2);
                RunEvents(block);
            }
            return true;
        });
    });
    std::unique_lock lock(attachLock_);
    if (!attached_.wait_for(lock, std::chrono::seconds(30), [&] { return isAttached_; }))
        throw std::runtime_error("the event stream did not open");
}

void PageClient::StopListening() {
    if (!stream_) return;
    leaving_ = true;
    stream_->stop();
    if (listener_.joinable()) listener_.join();
    stream_.reset();
    const std::lock_guard guard(attachLock_);
    isAttached_ = false;
}

}  // namespace testsupport
