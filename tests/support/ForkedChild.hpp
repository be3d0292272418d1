#pragma once

#include <chrono>
#include <functional>
#include <optional>

namespace kestrava::test {

// A lock another thread held at the fork (malloc's, a logger's, GoogleTest's, one of ours) stays locked in
// the child for good. Far longer than any child needs on a busy machine: only such a hang reaches it.
inline constexpr std::chrono::seconds forkedChildLimit{60};

// Runs `body` in a forked child of this program, threads and all, and returns the status the child exits
// with: what `body` returned, or EXIT_FAILURE when it threw. What `body` changes in memory stays in the
// child, and its failures are printed there but not counted here. Nothing, and the test fails, when the
// child ended by a signal or did not end within `limit`; it is then killed and reaped.
std::optional<int> runInForkedChild(const std::function<int()>& body,
                                    std::chrono::milliseconds limit = forkedChildLimit);

} // namespace kestrava::test
