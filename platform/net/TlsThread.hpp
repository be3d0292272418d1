#pragma once

#include <functional>
#include <thread>

namespace kestrava::net {

// Starts a thread for work that may hold TLS connections. When `body` returns, the thread releases what
// the TLS library keeps for it (random generators, error queue). A program that returns from main waits
// at its exit, at most a few seconds, for every such thread still running, so that no thread is torn
// down under the program's exit checks (a leak check, in tests) even if it was detached. The agent ends
// with _exit and so waits for none. The caller joins or detaches the thread as usual.
std::thread startTlsThread(std::function<void()> body);

} // namespace kestrava::net
