#pragma once

#include "platform/url/Url.hpp"

#include <string_view>

namespace kestrava {

// The agent's WebSocket address on the relay of `backend`: "ws" for an http backend, else "wss"; the
// backend's path without one trailing "/" followed by "/v1/agent"; the query replaced by the single item
// "device" = `deviceId`. Host, port and user information stay as in `backend`.
url::Url relayWebSocketURL(const url::Url& backend, std::string_view deviceId);

} // namespace kestrava
