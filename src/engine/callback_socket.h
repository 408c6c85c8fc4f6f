#pragma once
// The page's callback channel over a WebSocket. The server sends text frames
// holding a JSON array of calls, [{"id": ..., "name": ..., "args": [...]}, ...];
// the page answers each call with a text frame {"id": ..., "returned": bool}
// once the function has run. Pings are answered; anything else a page may not
// send (binary or fragmented frames, unmasked or oversized ones) closes the
// channel.
#include <span>
#include <string>
#include <string_view>

#include "engine/callback_queue.h"
#include "engine/limited_server.h"

namespace engine {

// The text of the message that carries `callbacks` to the page.
std::string CallbacksMessage(std::span<const ScriptCallback> callbacks);

// Runs the channel of `page` on `connection` until the page goes, or the
// channel is refused, replaced or ended; then detaches it.
void RunCallbackSocket(RawConnection& connection, CallbackQueue& callbacks, std::string_view page);

}  // namespace engine
