#include "agent-core/ReregistrationEffects.hpp"

#include "agent-core/Agent.hpp"
#include "agent-core/runtime/GlobalQueue.hpp"
#include "platform/net/TlsThread.hpp"

#include <boost/asio/post.hpp>

namespace kestrava {

ReregistrationEffects ReregistrationEffects::live() {
    return {
        .schedule = [](std::function<void()> work) { boost::asio::post(globalQueue(), std::move(work)); },
        .wipeIdentity = [](Agent& agent) { agent.wipeIdentity(); },
        .bootstrap =
            [](Agent& agent) {
                net::startTlsThread([agent = agent.shared_from_this()] {
                    agent->bootstrap(std::nullopt);
                }).detach();
            },
    };
}

} // namespace kestrava
