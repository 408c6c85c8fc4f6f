#pragma once
// The WebSocket protocol (RFC 6455) as far as the page's callback channel
// needs it: the handshake's accept value and single frames. A browser sends
// its callback answers as small unfragmented text frames, always masked; the
// server's frames are never masked. One WebSocket message costs the browser
// far less than an HTTP request (here about 0.8 ms against 15 ms for a
// request under load), which is what lets a worker's callbacks follow each
// other quickly.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace engine::websocket {

// Sec-WebSocket-Accept for a client's Sec-WebSocket-Key; empty when the
// system's hash fails.
std::string AcceptValue(std::string_view clientKey);
// The key a client sends: 16 random bytes in Base64.
std::string NewClientKey();

enum class Opcode : std::uint8_t { Continuation = 0, Text = 1, Binary = 2, Close = 8, Ping = 9, Pong = 10 };

struct Frame {
    bool final = true;
    Opcode opcode = Opcode::Text;
    std::string payload;
    bool operator==(const Frame&) const = default;
};

// A whole frame. `mask`: the client's masking key (clients must mask).
std::string EncodeFrame(Opcode opcode, std::string_view payload,
                        std::optional<std::array<std::uint8_t, 4>> mask = std::nullopt);

enum class Decoded { Frame, NeedMore, Bad };
// The frame at the start of `bytes`, its length in `used`. Bad for a frame
// whose masking is not `masked`, whose payload exceeds `maxPayload`, with
// reserved bits set, or a control frame that is fragmented or longer than
// 125 bytes.
Decoded DecodeFrame(std::string_view bytes, bool masked, std::size_t maxPayload, Frame& frame, std::size_t& used);

}  // namespace engine::websocket
