#pragma once

#include "app/async/Scheduler.hpp"
#include "app/link/AgentXPCTransport.hpp"

#include <filesystem>
#include <functional>
#include <optional>

namespace kestrava::app {

// Connections to the agent's control socket. Replies, errors and the end of a connection arrive on the
// socket's reading thread and are handed to the scheduler's thread.
class SocketTransport final : public AgentXPCTransport {
public:
    // Where the socket is, worked out again for each connection; none when it cannot be formed.
    using Locate = std::function<std::optional<std::filesystem::path>()>;

    explicit SocketTransport(Scheduler& scheduler, Locate locate = currentPath);

    std::shared_ptr<AgentXPCConnection> makeConnection(std::function<void()> onInterruption,
                                                       std::function<void()> onInvalidation) override;

    // The socket of this user's agent, by the contract both ends follow.
    static std::optional<std::filesystem::path> currentPath();

private:
    const Scheduler::Post post_;
    const Locate locate_;
};

} // namespace kestrava::app
