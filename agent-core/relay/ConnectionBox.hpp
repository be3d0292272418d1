#pragma once

#include "agent-core/relay/Connection.hpp"
#include "protocol-kit/AgentOut.hpp"

#include <memory>
#include <mutex>

namespace kestrava {

// The holder a session sends through, so that the session can be built before its connection. A message
// sent while the box is empty is dropped. Any thread.
class ConnectionBox {
public:
    void put(std::shared_ptr<Connection> connection);
    void send(const AgentOut& message);

private:
    std::mutex lock_;
    std::shared_ptr<Connection> connection_; // guarded by lock_
};

} // namespace kestrava
