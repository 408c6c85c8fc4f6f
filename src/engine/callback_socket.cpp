#include "engine/callback_socket.h"

#include <mutex>
#include <optional>

#include "engine/websocket.h"
#include "engine/wire_format.h"

namespace engine {

namespace {

using websocket::Opcode;

// Answers are a few dozen bytes.
constexpr std::size_t kMaxFrame = 64 * 1024;

// Close codes.
constexpr std::uint16_t kGoingAway = 1001;
constexpr std::uint16_t kProtocolError = 1002;
constexpr std::uint16_t kTryAgainLater = 1013;

class SocketChannel final : public CallbackChannel {
public:
    explicit SocketChannel(RawConnection& connection) : connection_(connection) {}

    void Send(std::span<const ScriptCallback> callbacks) override { Write(Opcode::Text, CallbacksMessage(callbacks)); }

    // Workers send and the channel's own thread answers pings and closes:
    // one frame at a time. A frame that could not be written whole (the page
    // stopped reading for longer than the write timeout) ends the connection:
    // its unanswered calls go to the next channel.
    void Write(Opcode opcode, std::string_view payload) {
        const std::lock_guard guard(lock_);
        if (!connection_.Send(websocket::EncodeFrame(opcode, payload))) connection_.Close();
    }

    void Close(std::uint16_t code) {
        Write(Opcode::Close, std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)});
        connection_.Close();
    }

    void End() override { Close(kGoingAway); }

private:
    RawConnection& connection_;
    std::mutex lock_;
};

struct Answer {
    std::uint64_t id;
    bool returned;
};

std::optional<Answer> ParseAnswer(std::string_view text) {
    const Json answer = ParseJson(text);
    const cJSON* id = cJSON_GetObjectItemCaseSensitive(answer.get(), "id");
    if (!cJSON_IsNumber(id) || id->valuedouble < 1) return std::nullopt;
    return Answer{static_cast<std::uint64_t>(id->valuedouble),
                  cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(answer.get(), "returned")) != 0};
}

}  // namespace

std::string CallbacksMessage(std::span<const ScriptCallback> callbacks) {
    Json message(cJSON_CreateArray());
    for (const ScriptCallback& callback : callbacks) {
        cJSON* event = cJSON_CreateObject();
        cJSON_AddItemToObject(event, "id", cJSON_CreateNumber(static_cast<double>(callback.id)));
        cJSON_AddItemToObject(event, "name", cJSON_CreateString(callback.name.c_str()));
        cJSON_AddItemToObject(event, "args", ToWireJson(Value::Array(callback.args)).release());
        cJSON_AddItemToArray(message.get(), event);
    }
    return PrintJson(*message);
}

void RunCallbackSocket(RawConnection& connection, CallbackQueue& callbacks, std::string_view page) {
    SocketChannel channel(connection);
    const std::optional<std::uint64_t> stream = callbacks.Attach(page, channel);
    if (!stream) return channel.Close(kTryAgainLater);

    // Until the page goes or the channel ends (replaced, or the program ends).
    std::string received;
    for (bool open = true; open;) {
        char buffer[4096];
        const int count = connection.Receive(buffer, sizeof buffer);
        if (count <= 0) break;
        received.append(buffer, static_cast<std::size_t>(count));
        websocket::Frame frame;
        std::size_t used = 0;
        while (open) {
            const websocket::Decoded decoded = websocket::DecodeFrame(received, true, kMaxFrame, frame, used);
            if (decoded == websocket::Decoded::NeedMore) break;
            received.erase(0, used);
            if (decoded == websocket::Decoded::Bad || !frame.final || frame.opcode == Opcode::Binary ||
                frame.opcode == Opcode::Continuation) {
                channel.Close(kProtocolError);
                open = false;
            } else if (frame.opcode == Opcode::Text) {
                if (const std::optional<Answer> answer = ParseAnswer(frame.payload))
                    callbacks.Acknowledge(answer->id, answer->returned);
            } else if (frame.opcode == Opcode::Ping) {
                channel.Write(Opcode::Pong, frame.payload);
            } else if (frame.opcode == Opcode::Close) {
                // Its code goes back, as the protocol asks.
                channel.Write(Opcode::Close, frame.payload.substr(0, 2));
                open = false;
            }
        }
    }
    callbacks.Detach(*stream);
}

}  // namespace engine
