#pragma once

#include <functional>

namespace kestrava {

class Agent;

// What a re-registration does besides detaching the session and the connection, given to the agent at
// construction so that it can be replaced.
struct ReregistrationEffects {
    // Runs the work on the global queue.
    std::function<void(std::function<void()>)> schedule;
    // Removes the relay identity (Agent::wipeIdentity).
    std::function<void(Agent&)> wipeIdentity;
    // Starts a bootstrap without a token on a thread of its own.
    std::function<void(Agent&)> bootstrap;

    static ReregistrationEffects live();
};

} // namespace kestrava
