#pragma once
// Who may talk to the page server: only a page of this run, loaded from the
// server's own loopback address. Every request presents the run's key (the
// first document load in its address, later requests in a header or the
// cookie set on that load), names the server's own address as Host, and
// carries no Origin but the server's own. Anything else is refused before it
// reaches native code. The callback channel is the one request that a plain
// cookie does not admit: a page on another port of this host sends that
// cookie along with an image or script request too. It presents the key in
// its address, as only the page that loaded the main document with the key
// knows it, or in the header.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// 128 bits from the system's random generator as 32 hex digits; empty when
// the generator fails.
std::string NewPageKey();

// What a request says about itself.
struct RequestFacts {
    std::vector<std::string_view> hosts;    // every Host header
    std::vector<std::string_view> origins;  // every Origin header
    std::optional<std::string_view> keyHeader;
    std::optional<std::string_view> cookies;   // the Cookie header
    std::optional<std::string_view> queryKey;  // the address's key, honoured on document loads and the channel only
    bool isDocumentLoad = false;
    bool isCallbackChannel = false;
};

class RequestGuard {
public:
    static constexpr std::string_view kKeyHeader = "X-Orvane-Key";
    static constexpr std::string_view kQueryKey = "k";

    RequestGuard(int port, std::string key);

    bool Admits(const RequestFacts& request) const;

    // "127.0.0.1:<port>", the only Host the server answers to.
    const std::string& Authority() const { return authority_; }
    // The Set-Cookie value that lets the page's later requests present the key.
    std::string SessionCookie() const;
    const std::string& Key() const { return key_; }

private:
    bool PresentsKey(std::string_view candidate) const;
    std::optional<std::string_view> CookieKey(std::string_view cookies) const;

    std::string authority_;
    std::string origin_;
    std::string cookieName_;
    std::string key_;
};

}  // namespace engine
