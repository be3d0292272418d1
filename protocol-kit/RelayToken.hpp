#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrava {

// The credential the relay issues at registration. The agent presents it in the "Authorization" header of
// its WebSocket upgrade, so only a short run of visible ASCII is safe to send.
inline constexpr std::size_t maxRelayTokenLength = 256;

// Why `token` must not be presented, as words that follow its name ("is empty"); none when it may be.
std::optional<std::string> relayTokenProblem(std::string_view token);

} // namespace kestrava
