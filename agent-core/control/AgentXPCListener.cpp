#include "agent-core/control/AgentXPCListener.hpp"

#include "agent-core/control/AgentXPC.hpp"
#include "agent-core/control/AgentXPCService.hpp"
#include "agent-core/control/ControlFrames.hpp"
#include "agent-core/control/ControlSocketPath.hpp"
#include "agent-core/runtime/Log.hpp"
#include "platform/net/LocalSocket.hpp"
#include "platform/process/ExecutableIdentity.hpp"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace kestrava {

// What the listener shares with its accepting thread and its connection threads, which keep it alive.
struct AgentXPCListener::Shared : std::enable_shared_from_this<Shared> {
    Shared(std::weak_ptr<AgentControl> agent, Settings settings)
        : agent(std::move(agent)), settings(std::move(settings)) {}

    void acceptLoop(int listeningSocket);
    void admit(process::Descriptor connection);
    void serve(process::Descriptor connection);

    const std::weak_ptr<AgentControl> agent;
    const Settings settings;

    std::mutex lock;
    std::condition_variable connectionsEnded;
    bool started = false;                           // guarded by lock
    bool invalidated = false;                       // guarded by lock
    process::Descriptor listening;                  // guarded by lock
    std::optional<std::filesystem::path> boundPath; // guarded by lock
    std::set<int> connections;                      // guarded by lock: the sockets being served
    std::thread acceptor;
};

namespace {

// A connection still being served when the listener is invalidated is given this long to end.
constexpr std::chrono::seconds connectionEndLimit{2};

// Serves one connection's calls in order until it ends or breaks the rules.
void serveCalls(int socket, AgentXPCService& service) {
    while (const auto frame = readControlFrame(socket)) {
        const ControlRequest request = ControlRequest::decode(*frame);
        const auto values = service.handle(request.method, request.arguments);
        if (values && !writeControlFrame(socket, ControlReply{request.id, *values}.encode())) {
            return;
        }
    }
}

} // namespace

void AgentXPCListener::Shared::acceptLoop(int listeningSocket) {
    while (auto connection = net::acceptLocal(listeningSocket)) {
        try {
            admit(std::move(*connection));
        } catch (const std::exception& error) {
            logError(std::string("XPC: ") + error.what());
        }
    }
}

void AgentXPCListener::Shared::admit(process::Descriptor connection) {
    // Before anything is read: who is at the other end.
    const net::PeerCredentials peer = net::peerCredentials(connection.get());
    const bool signatureOK =
        settings.peerExecutable && process::runsExecutable(peer.pid, *settings.peerExecutable);
    if (peer.uid != ::geteuid() || !signatureOK) {
        logError("XPC: rejected peer pid " + std::to_string(peer.pid) + " uid " + std::to_string(peer.uid) +
                 " (signature ok: " + (signatureOK ? "true" : "false") + ")");
        return;
    }
    if (agent.expired()) {
        return;
    }
    bool full = false;
    {
        const std::lock_guard held(lock);
        if (invalidated) {
            return;
        }
        full = connections.size() >= maxConnections;
        if (!full) {
            connections.insert(connection.get());
        }
    }
    if (full) {
        log(LogLevel::warning,
            "XPC: already serving " + std::to_string(maxConnections) + " connections; closing a new one");
        return;
    }
    // Kept open here until the thread runs, so that its number leaves the set before it is closed.
    const auto served = std::make_shared<process::Descriptor>(std::move(connection));
    try {
        std::thread([self = shared_from_this(), served] { self->serve(std::move(*served)); }).detach();
    } catch (...) {
        {
            const std::lock_guard held(lock);
            connections.erase(served->get());
        }
        connectionsEnded.notify_all();
        throw;
    }
}

void AgentXPCListener::Shared::serve(process::Descriptor connection) {
    AgentXPCService service(agent, settings.fullDiskAccess);
    try {
        serveCalls(connection.get(), service);
    } catch (const ControlProtocolError&) {
        // Closed below; the agent serves the others on.
    } catch (const std::exception& error) {
        logError(std::string("XPC: ") + error.what());
    }
    service.connectionClosed();
    {
        const std::lock_guard held(lock);
        connections.erase(connection.get());
        connection.reset();
    }
    connectionsEnded.notify_all();
}

AgentXPCListener::AgentXPCListener(std::weak_ptr<AgentControl> agent, Settings settings)
    : shared_(std::make_shared<Shared>(std::move(agent), std::move(settings))) {}

AgentXPCListener::~AgentXPCListener() {
    invalidate();
}

void AgentXPCListener::start() {
    {
        const std::lock_guard held(shared_->lock);
        if (shared_->started || shared_->invalidated) {
            return;
        }
        shared_->started = true;
    }
    if (!shared_->settings.serviceMode) {
        log(LogLevel::info, "not started by launchd: XPC uses an anonymous listener, so the Kestrava app and "
                            "the CLI cannot connect (install the LaunchAgent for that)");
        return;
    }
    const ControlSocketPath where = ControlSocketPath::current();
    if (!where.path) {
        logError("XPC: " + where.whyNone + "; serving nobody");
        return;
    }
    std::optional<std::string> failure;
    {
        const std::lock_guard held(shared_->lock);
        // Invalidated meanwhile: nothing is bound.
        if (shared_->invalidated) {
            return;
        }
        try {
            shared_->listening = net::listenLocal(*where.path, static_cast<int>(maxConnections));
        } catch (const std::exception& error) {
            failure = error.what();
        }
        if (!failure) {
            shared_->boundPath = where.path;
            shared_->acceptor = std::thread(
                [shared = shared_, socket = shared_->listening.get()] { shared->acceptLoop(socket); });
        }
    }
    if (failure) {
        logError("XPC: cannot listen: " + *failure + "; serving nobody");
        return;
    }
    log(LogLevel::info, "XPC listening on " + AgentXPC::machServiceName());
}

void AgentXPCListener::invalidate() {
    std::thread acceptor;
    {
        const std::lock_guard held(shared_->lock);
        if (shared_->invalidated) {
            return;
        }
        shared_->invalidated = true;
        if (shared_->listening.isOpen()) {
            net::stopListening(shared_->listening.get());
        }
        if (shared_->boundPath) {
            ::unlink(shared_->boundPath->c_str());
        }
        for (const int connection : shared_->connections) {
            ::shutdown(connection, SHUT_RDWR);
        }
        acceptor = std::move(shared_->acceptor);
    }
    if (acceptor.joinable()) {
        acceptor.join();
    }
    std::unique_lock held(shared_->lock);
    shared_->connectionsEnded.wait_for(held, connectionEndLimit,
                                       [&] { return shared_->connections.empty(); });
}

} // namespace kestrava
