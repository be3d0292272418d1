#include "agent-core/relay/ConnectionBox.hpp"

namespace kestrava {

void ConnectionBox::put(std::shared_ptr<Connection> connection) {
    const std::lock_guard held(lock_);
    connection_ = std::move(connection);
}

void ConnectionBox::send(const AgentOut& message) {
    std::shared_ptr<Connection> connection;
    {
        const std::lock_guard held(lock_);
        connection = connection_;
    }
    if (connection) {
        connection->send(message);
    }
}

} // namespace kestrava
