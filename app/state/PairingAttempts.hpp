#pragma once

namespace kestrava::app {

// The one pairing attempt of the application that may own the agent's pairing window. The agent keeps a
// single window and its cancel has no scope, so an attempt that another has superseded must leave the
// window alone.
class PairingAttempts {
public:
    // A new attempt, which supersedes every earlier one.
    int begin() noexcept { return ++current_; }
    bool isCurrent(int attempt) const noexcept { return attempt == current_; }

private:
    int current_ = 0;
};

} // namespace kestrava::app
