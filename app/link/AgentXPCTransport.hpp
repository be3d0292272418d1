#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kestrava::app {

// The agent's ten control messages as the application sends them. Each reply function is called at
// most once, on the interface thread; none is called when the call fails (the proxy's error handler is).
class AgentXPCProtocol {
public:
    template<class... Values>
    using Reply = std::function<void(Values...)>;
    using Data = std::optional<std::string>; // the agent's JSON text, or none

    virtual ~AgentXPCProtocol() = default;

    virtual void statusWithReply(Reply<Data> reply) = 0;
    // The link, or none, and the window's end in milliseconds since 1970.
    virtual void openPairingWithReply(Reply<std::optional<std::string>, double> reply) = 0;
    virtual void cancelPairing() = 0;
    virtual void decideWithRequestId(const std::string& requestId, bool approve, Reply<Data> reply) = 0;
    virtual void phonesWithReply(Reply<Data> reply) = 0;
    virtual void revokeWithPhoneId(const std::string& phoneId, Reply<bool> reply) = 0;
    virtual void setMonitoringPaused(bool paused) = 0;
    virtual void reregisterWithReply(Reply<bool> reply) = 0;
    virtual void hasFullDiskAccessWithReply(Reply<bool> reply) = 0;
    virtual void pendingPairingWithReply(Reply<Data> reply) = 0;
};

// One connection to the agent.
class AgentXPCConnection {
public:
    using OnError = std::function<void(const std::string& description)>;

    virtual ~AgentXPCConnection() = default;
    // The messages, with `onError` called (on the interface thread) instead of the reply of every call
    // made through them that fails, also of a call in flight when the connection ends. None when the agent
    // cannot be reached at all.
    virtual std::shared_ptr<AgentXPCProtocol> proxy(OnError onError) = 0;
    virtual void invalidate() = 0;
    // Whether requests made through it still wait to be written: the agent has stopped reading.
    virtual bool hasUnwrittenRequests() = 0;
};

// The maker of connections to the agent.
class AgentXPCTransport {
public:
    virtual ~AgentXPCTransport() = default;
    // The handlers are called on the interface thread when the connection is interrupted (the agent went
    // away) or invalidated (it can no longer be used).
    virtual std::shared_ptr<AgentXPCConnection> makeConnection(std::function<void()> onInterruption,
                                                               std::function<void()> onInvalidation) = 0;
};

} // namespace kestrava::app
