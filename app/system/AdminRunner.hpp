#pragma once

#include "app/system/PowerSetupResult.hpp"

#include <string>

namespace kestrava::app {

// Runs one shell command with administrator rights once the user has agreed, and blocks until it has
// ended: `applied` when it succeeded, `cancelled` when the user refused, `failed` with what went wrong.
// The prompt may stay up for minutes, so it is never called on the interface thread.
class AdminRunner {
public:
    virtual ~AdminRunner() = default;
    virtual PowerSetupResult run(const std::string& command) = 0;
};

} // namespace kestrava::app
