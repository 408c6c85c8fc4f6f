#pragma once
// Who may talk to the page server: only a page of this run, loaded from the
// server's own loopback address. Every request names the server's own
// address as Host and carries no Origin but the server's own; anything else
// is refused before it reaches native code.
//
// The run's key never leaves the program but as an HttpOnly, SameSite=Strict
// session cookie: the address handed to a browser (on its command line, in
// its history, printed headless) carries a one-time token instead. The
// token's first document load is answered and sets the cookie; the token is
// then spent, and a load that presents it again is refused, cookie or not.
// The token admits nothing else: calls, services and the callback channel
// want the cookie. A reload (no token) presents the cookie. Whoever reads a
// spent address (history, the browser's command line) holds nothing, and an
// address read before the browser used it shows itself: the browser's own
// load is then refused.
//
// Why the callback channel is admitted by the cookie and the own Origin, and
// that is as strong as the key in the channel's address was: the cookie
// holds the key, which only the program and the browser's cookie store know,
// so a process that is not that browser cannot present it, whatever Origin it
// writes. A browser sends the cookie for every page of this host, whatever
// its port (a site is not told apart by port), so the cookie alone would let
// a page on another port of this host open the channel; but a browser always
// sends its page's Origin on a WebSocket handshake, and a page on another
// port has another Origin. Requests a page may make without an Origin (an
// image, a script, a frame) carry no Upgrade and are no handshake. So only a
// document this server served, in its own origin, opens the channel: the
// same set of pages that could read the key from their address before. The
// documents may not be framed by another origin (frame-ancestors 'self'), so
// no page of another port runs them inside itself either.
#include <mutex>
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
    enum class Kind { Document, CallbackChannel, Other };
    std::vector<std::string_view> hosts;    // every Host header
    std::vector<std::string_view> origins;  // every Origin header
    std::optional<std::string_view> cookies;  // the Cookie header
    std::optional<std::string_view> token;    // the address's one-time token
    Kind kind = Kind::Other;
    bool isGet = false;
};

class RequestGuard {
public:
    static constexpr std::string_view kTokenParameter = "t";
    // Addresses handed out and not yet loaded: the oldest token is dropped
    // beyond this.
    static constexpr std::size_t kOutstandingTokens = 8;

    RequestGuard(int port, std::string key);

    // A one-time token for one address handed out; empty when the random
    // generator fails.
    std::string IssueToken();

    enum class Verdict { Refused, Admitted, AdmittedByToken };
    // Spends the token of a document load it admits by that token; the answer
    // to such a load sets SessionCookie().
    Verdict Admit(const RequestFacts& request);

    // "127.0.0.1:<port>", the only Host the server answers to.
    const std::string& Authority() const { return authority_; }
    // The Set-Cookie value that lets the page's later requests present the key.
    std::string SessionCookie() const;

private:
    bool SpendToken(std::string_view token);
    std::optional<std::string_view> CookieKey(std::string_view cookies) const;

    std::string authority_;
    std::string origin_;
    std::string cookieName_;
    std::string key_;
    std::mutex tokensLock_;
    std::vector<std::string> tokens_;  // oldest first
};

}  // namespace engine
