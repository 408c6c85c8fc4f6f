#include "engine/request_guard.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstdint>

namespace engine {

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

std::string RequestGuard::SessionCookie() const {
    return cookieName_ + "=" + key_ + "; Path=/; HttpOnly; SameSite=Strict";
}

bool RequestGuard::PresentsKey(std::string_view candidate) const {
    if (key_.empty() || candidate.size() != key_.size()) return false;
    // Compared in full whatever differs, so the time taken tells nothing.
    unsigned char difference = 0;
    for (std::size_t i = 0; i < key_.size(); ++i)
        difference |= static_cast<unsigned char>(candidate[i] ^ key_[i]);
    return difference == 0;
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

bool RequestGuard::Admits(const RequestFacts& request) const {
    if (request.hosts.size() != 1 || request.hosts.front() != authority_) return false;
    if (request.origins.size() > 1 || (request.origins.size() == 1 && request.origins.front() != origin_))
        return false;
    if (request.keyHeader) return PresentsKey(*request.keyHeader);
    if ((request.isDocumentLoad || request.isCallbackChannel) && request.queryKey) return PresentsKey(*request.queryKey);
    if (request.cookies && !request.isCallbackChannel) {
        const std::optional<std::string_view> key = CookieKey(*request.cookies);
        return key && PresentsKey(*key);
    }
    return false;
}

}  // namespace engine
