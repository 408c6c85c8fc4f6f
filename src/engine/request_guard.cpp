#include "engine/request_guard.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstdint>

namespace engine {

namespace {

// Compared in full whatever differs, so the time taken tells nothing.
bool SameSecret(std::string_view candidate, std::string_view secret) {
    if (secret.empty() || candidate.size() != secret.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < secret.size(); ++i)
        difference |= static_cast<unsigned char>(candidate[i] ^ secret[i]);
    return difference == 0;
}

}  // namespace

std::string NewPageKey() {
    std::uint8_t bytes[16];
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) return {};
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string key;
    for (const std::uint8_t byte : bytes) {
        key += kDigits[byte >> 4];
        key += kDigits[byte & 15];
    }
    return key;
}

RequestGuard::RequestGuard(int port, std::string key)
    : authority_("127.0.0.1:" + std::to_string(port)),
      origin_("http://" + authority_),
      // Cookies are shared by every port of a host: the name keeps two
      // running instances from overwriting each other's key.
      cookieName_("qo_" + std::to_string(port)),
      key_(std::move(key)) {}

std::string RequestGuard::IssueToken() {
    std::string token = NewPageKey();
    if (token.empty()) return {};
    const std::lock_guard guard(tokensLock_);
    if (tokens_.size() >= kOutstandingTokens) tokens_.erase(tokens_.begin());
    tokens_.push_back(token);
    return token;
}

bool RequestGuard::SpendToken(std::string_view token) {
    const std::lock_guard guard(tokensLock_);
    // Every outstanding token is compared, whichever matches.
    auto found = tokens_.end();
    for (auto it = tokens_.begin(); it != tokens_.end(); ++it)
        if (SameSecret(token, *it)) found = it;
    if (found == tokens_.end()) return false;
    tokens_.erase(found);
    return true;
}

std::string RequestGuard::SessionCookie() const {
    return cookieName_ + "=" + key_ + "; Path=/; HttpOnly; SameSite=Strict";
}

std::optional<std::string_view> RequestGuard::CookieKey(std::string_view cookies) const {
    while (!cookies.empty()) {
        const std::size_t end = cookies.find(';');
        std::string_view pair = cookies.substr(0, end);
        cookies = end == std::string_view::npos ? std::string_view() : cookies.substr(end + 1);
        while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && pair.substr(0, equals) == cookieName_) return pair.substr(equals + 1);
    }
    return std::nullopt;
}

RequestGuard::Verdict RequestGuard::Admit(const RequestFacts& request) {
    using Kind = RequestFacts::Kind;
    if (request.hosts.size() != 1 || request.hosts.front() != authority_) return Verdict::Refused;
    if (request.origins.size() > 1 || (request.origins.size() == 1 && request.origins.front() != origin_))
        return Verdict::Refused;
    // A load of a handed-out address is judged by its token alone: a second
    // load of the same address is refused even where the cookie is present.
    if (request.kind == Kind::Document && request.isGet && request.token)
        return SpendToken(*request.token) ? Verdict::AdmittedByToken : Verdict::Refused;
    // The channel is a GET with the own Origin (see the header). cpp-httplib
    // hands HEAD to GET routes: the method is tested here, for every method.
    if (request.kind == Kind::CallbackChannel && (!request.isGet || request.origins.size() != 1))
        return Verdict::Refused;
    const std::optional<std::string_view> key = request.cookies ? CookieKey(*request.cookies) : std::nullopt;
    return key && SameSecret(*key, key_) ? Verdict::Admitted : Verdict::Refused;
}

}  // namespace engine
