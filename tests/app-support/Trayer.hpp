#pragma once

#include "tests/app-support/XvfbDisplay.hpp"

#include <memory>
#include <optional>

namespace kestrava::test {

// trayer, a real XEmbed tray, at the top right of an X server of the test's own: made once its tray is
// there (std::runtime_error when it is not in time), ended with the object. Given a height, it is a bar that
// high along the screen's top, which asks the window manager to keep its strip out of the free area.
class Trayer {
public:
    explicit Trayer(const XvfbDisplay& display, std::optional<int> reservedHeight = std::nullopt);
    ~Trayer();
    Trayer(const Trayer&) = delete;
    Trayer& operator=(const Trayer&) = delete;

private:
    std::unique_ptr<AgentProcess> process_;
};

} // namespace kestrava::test
