#pragma once

#include "tests/app-support/XvfbDisplay.hpp"

#include <memory>

namespace kestrava::test {

// trayer, a real XEmbed tray, at the top right of an X server of the test's own: made once its tray is
// there (std::runtime_error when it is not in time), ended with the object.
class Trayer {
public:
    explicit Trayer(const XvfbDisplay& display);
    ~Trayer();
    Trayer(const Trayer&) = delete;
    Trayer& operator=(const Trayer&) = delete;

private:
    std::unique_ptr<AgentProcess> process_;
};

} // namespace kestrava::test
