#pragma once

#include <functional>

namespace kestrava::test {

// Runs `body` on a thread of its own in namespaces of its own, of the kinds `flags` names (CLONE_NEW...),
// after `prepare` set them up; sockets that thread opens and programs it starts live there too. False when
// the namespaces cannot be made (they need root) or `prepare` fails.
bool inOwnNamespace(
    int flags, const std::function<void()>& body, const std::function<bool()>& prepare = [] { return true; });

// In a network namespace of its own: only a loopback that is down, so that links and routes can change
// without touching the machine's.
bool inOwnNetwork(const std::function<void()>& body);

} // namespace kestrava::test
