#pragma once

#include "agent-core/control/AgentControl.hpp"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace kestrava {

// The agent's control socket. In service mode (started by the service manager) it listens at the control
// socket path and serves each admitted connection on a thread of its own, one call at a time in arrival
// order, at most 16 connections at once; otherwise it binds nothing and serves nobody. A peer is admitted
// only when it runs as this user and its program is the application's executable. A connection that
// breaks the frame rules is closed; the others go on. Holds the agent weakly.
class AgentXPCListener {
public:
    struct Settings {
        bool serviceMode = false;
        // The only program admitted as a peer; none admits nobody.
        std::optional<std::filesystem::path> peerExecutable;
        // Answers hasFullDiskAccessWithReply:.
        std::function<bool()> fullDiskAccess;
    };

    static constexpr std::size_t maxConnections = 16;

    AgentXPCListener(std::weak_ptr<AgentControl> agent, Settings settings);
    // Invalidates.
    ~AgentXPCListener();
    AgentXPCListener(const AgentXPCListener&) = delete;
    AgentXPCListener& operator=(const AgentXPCListener&) = delete;

    // Starts listening, once, and logs where.
    void start();
    // Accepts nobody more, removes the socket file it bound and ends every served connection.
    void invalidate();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace kestrava
