#pragma once

#include "platform/json/Value.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace kestrava {

// The client end of the agent's control socket, for the application and for tools of the same user. Each
// call gets an id of its own and is queued at once; a writing thread of the client sends the queue in
// order, so a caller never waits for the agent to read. The replies of two-way calls, read on a reading
// thread of the client, are matched to their calls by id. When the connection fails, or cannot be made,
// or the socket's peer runs as another user, every call in flight or still queued and every later one
// gets `onError` instead of its reply. Callbacks run on the reading thread, or on the caller's for a call
// that fails at once; they must not throw. They may hold the last reference to the client, and may destroy
// it.
class AgentXPCClient {
public:
    using OnError = std::function<void(const std::string& reason)>;
    template<class... Values>
    using Reply = std::function<void(Values...)>;

    // Connects to the socket at `path` (normally ControlSocketPath::current()). `onClosed` hears, once and
    // on the reading thread, why a connection that was made has ended, whichever end ended it: the agent,
    // a failure, or this client's own invalidate() or destructor.
    explicit AgentXPCClient(const std::filesystem::path& path, OnError onClosed = {});
    // Invalidates, and every call in flight has heard and `onClosed` too by the time it returns, wherever
    // it runs, inside one of the client's own callbacks included: nothing is called after it. The threads
    // end before the client is gone (the one letting go of it, when it is one of them, right after).
    ~AgentXPCClient();
    AgentXPCClient(const AgentXPCClient&) = delete;
    AgentXPCClient& operator=(const AgentXPCClient&) = delete;

    // The agent's JSON texts, or none.
    void status(Reply<std::optional<std::string>> reply, OnError onError);
    // The link and its end in milliseconds since 1970, or none and 0.
    void openPairing(Reply<std::optional<std::string>, double> reply, OnError onError);
    void cancelPairing(OnError onError = {});
    // The PairingOutcome JSON text.
    void decide(const std::string& requestId, bool approve, Reply<std::optional<std::string>> reply,
                OnError onError);
    void phones(Reply<std::optional<std::string>> reply, OnError onError);
    void revoke(const std::string& phoneId, Reply<bool> reply, OnError onError);
    void setMonitoringPaused(bool paused, OnError onError = {});
    void reregister(Reply<bool> reply, OnError onError);
    void hasFullDiskAccess(Reply<bool> reply, OnError onError);
    void pendingPairing(Reply<std::optional<std::string>> reply, OnError onError);

    // Ends the connection; calls in flight get `onError`.
    void invalidate();

    // Whether calls wait in the queue because the socket takes no more: an agent that has stopped reading.
    bool hasUnwrittenRequests();

private:
    struct Link;

    // A two-way call when `reply` is set, a one-way one otherwise.
    void send(const std::string& method, json::Array arguments, std::function<void(const json::Array&)> reply,
              OnError onError);

    const std::shared_ptr<Link> link_; // shared with the threads, which may outlive the client by a little
    std::thread reader_;
    std::thread writer_;
};

} // namespace kestrava
