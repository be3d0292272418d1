#pragma once

#include "platform/json/Value.hpp"
#include "platform/process/Descriptor.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace kestrava {

// The client end of the agent's control socket, for the application and for tools of the same user. Each
// call is sent at once with an id of its own; the replies of two-way calls, read on a thread of the
// client, are matched to their calls by id. When the connection fails, or cannot be made, or the socket's
// peer runs as another user, every call in flight and every later one gets `onError` instead of its
// reply. Callbacks run on the client's reading thread, or on the caller's for a call that fails at once;
// they must not throw.
class AgentXPCClient {
public:
    using OnError = std::function<void(const std::string& reason)>;
    template<class... Values>
    using Reply = std::function<void(Values...)>;

    // Connects to the socket at `path` (normally ControlSocketPath::current()). `onClosed` hears, once and
    // on the reading thread, why a connection that was made has ended, whichever end ended it: the agent,
    // a failure, or this client's own invalidate() or destructor.
    explicit AgentXPCClient(const std::filesystem::path& path, OnError onClosed = {});
    // Invalidates; the reading thread ends before the client is gone.
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

private:
    struct Call {
        std::function<void(const json::Array&)>
            reply; // throws ControlProtocolError for values it cannot read
        OnError onError;
    };

    // A two-way call when `reply` is set, a one-way one otherwise.
    void send(const std::string& method, json::Array arguments, std::function<void(const json::Array&)> reply,
              OnError onError);
    void readReplies();
    void fail(const std::string& reason);

    std::mutex lock_;
    process::Descriptor socket_;            // guarded by lock_ for writing
    std::optional<std::string> failure_;    // guarded by lock_: why the connection is gone
    std::int64_t lastId_ = 0;               // guarded by lock_
    std::map<std::int64_t, Call> inFlight_; // guarded by lock_
    const OnError onClosed_;
    std::thread reader_;
};

} // namespace kestrava
