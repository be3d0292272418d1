#include "app/state/StatusIcon.hpp"

#include <type_traits>

namespace kestrava::app {

StatusIconState statusIconOf(const std::optional<AgentStatus>& status) {
    if (!status) {
        return StatusIconState::red;
    }
    return std::visit(
        [](const auto& state) {
            using State = std::decay_t<decltype(state)>;
            if constexpr (std::is_same_v<State, ConnectionState::Connected>) {
                return StatusIconState::green;
            } else if constexpr (std::is_same_v<State, ConnectionState::Reconnecting>) {
                return StatusIconState::yellow;
            } else if constexpr (std::is_same_v<State, ConnectionState::Paused>) {
                return StatusIconState::paused;
            } else {
                return StatusIconState::red;
            }
        },
        status->connection.value);
}

} // namespace kestrava::app
