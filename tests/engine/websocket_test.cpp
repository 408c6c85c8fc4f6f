#include "engine/websocket.h"

#include <gtest/gtest.h>

namespace {

using namespace engine::websocket;

TEST(WebSocket, AcceptValueIsTheOneOfTheProtocolsExample) {
    EXPECT_EQ(AcceptValue("dGhlIHNhbXBsZSBub25jZQ=="), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
    EXPECT_EQ(NewClientKey().size(), 24u);
}

TEST(WebSocket, FramesDecodeAsEncodedAndBadOnesAreRefused) {
    const std::array<std::uint8_t, 4> mask{0x37, 0xfa, 0x21, 0x3d};
    const std::string medium(300, 'm');
    const std::string large(70000, 'l');
    struct Case {
        const char* what;
        std::string bytes;
        bool masked;
        Decoded decoded;
        Frame frame;
    };
    const Case cases[] = {
        // The protocol's own example: a masked "Hello".
        {"masked text", std::string("\x81\x85\x37\xfa\x21\x3d\x7f\x9f\x4d\x51\x58", 11), true, Decoded::Frame, {true, Opcode::Text, "Hello"}},
        {"round trip, masked", EncodeFrame(Opcode::Text, "{\"id\":1}", mask), true, Decoded::Frame, {true, Opcode::Text, "{\"id\":1}"}},
        {"16-bit length", EncodeFrame(Opcode::Text, medium), false, Decoded::Frame, {true, Opcode::Text, medium}},
        {"64-bit length", EncodeFrame(Opcode::Text, large, mask), true, Decoded::Frame, {true, Opcode::Text, large}},
        {"ping", EncodeFrame(Opcode::Ping, "p", mask), true, Decoded::Frame, {true, Opcode::Ping, "p"}},
        {"a fragment", std::string("\x01\x81\x37\xfa\x21\x3d\x5f", 7), true, Decoded::Frame, {false, Opcode::Text, "h"}},
        {"only the head", std::string("\x81\x85\x37\xfa", 4), true, Decoded::NeedMore, {}},
        {"payload cut short", EncodeFrame(Opcode::Text, "Hello", mask).substr(0, 8), true, Decoded::NeedMore, {}},
        {"unmasked from a client", EncodeFrame(Opcode::Text, "Hello"), true, Decoded::Bad, {}},
        {"masked from a server", EncodeFrame(Opcode::Text, "Hello", mask), false, Decoded::Bad, {}},
        {"reserved bit", std::string("\xC1\x80\x00\x00\x00\x00", 6), true, Decoded::Bad, {}},
        {"unknown opcode", std::string("\x83\x80\x00\x00\x00\x00", 6), true, Decoded::Bad, {}},
        {"control frame in fragments", std::string("\x09\x80\x00\x00\x00\x00", 6), true, Decoded::Bad, {}},
        {"control frame too long", EncodeFrame(Opcode::Ping, medium, mask), true, Decoded::Bad, {}},
        {"over the payload bound", EncodeFrame(Opcode::Text, large, mask), true, Decoded::Bad, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Frame frame;
        std::size_t used = 0;
        const std::size_t bound = std::string_view(c.what) == "over the payload bound" ? 65536 : 1u << 20;
        // A second frame right behind is left for the next call.
        const std::string bytes = c.bytes + EncodeFrame(Opcode::Close, "", mask);
        const Decoded decoded = DecodeFrame(c.decoded == Decoded::NeedMore ? c.bytes : bytes, c.masked, bound, frame, used);
        EXPECT_EQ(decoded, c.decoded);
        if (decoded != Decoded::Frame) continue;
        EXPECT_EQ(frame, c.frame);
        EXPECT_EQ(used, c.bytes.size());
    }
}

}  // namespace
