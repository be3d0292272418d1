#pragma once

#include <functional>

namespace kestrava::test {

// Runs `body` on a thread of its own in namespaces of its own, of the kinds `flags` names (CLONE_NEW...),
// after `prepare` set them up; sockets that thread opens and programs it starts live there too. For an
// ordinary user, in a forked child inside a user namespace of its own where the user is root: what `body`
// changes in memory stays in that child. False when the namespaces cannot be made or `prepare` fails.
bool inOwnNamespace(
    int flags, const std::function<void()>& body, const std::function<bool()>& prepare = [] { return true; });

// In a network namespace of its own: only a loopback that is down, so that links and routes can change
// without touching the machine's.
bool inOwnNetwork(const std::function<void()>& body);

// Inside such a network: the loopback up and a veth pair, kv1 up and kv0 down with 10.77.0.2/24, so that
// a default route through kv0 goes via 10.77.0.1. False when `ip` fails.
bool addVethPair();

} // namespace kestrava::test
