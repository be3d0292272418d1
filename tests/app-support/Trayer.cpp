#include "tests/app-support/Trayer.hpp"

#include "app/tray/XEmbedTrayWatch.hpp"
#include "tests/app-support/QtLoop.hpp"

#include <csignal>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrava::test {
namespace {

using namespace std::chrono_literals;

// It starts slowly on a busy machine.
constexpr auto patience = 60s;

// trayer's arguments for a tray at the top right, reserving a strip of `reservedHeight` where given.
std::vector<std::string> argumentsFor(std::optional<int> reservedHeight) {
    std::vector<std::string> arguments{"--edge", "top", "--align", "right"};
    if (reservedHeight) {
        arguments.insert(arguments.end(), {"--height", std::to_string(*reservedHeight), "--SetDockType",
                                           "true", "--SetPartialStrut", "true"});
    }
    return arguments;
}

} // namespace

Trayer::Trayer(const XvfbDisplay& display, std::optional<int> reservedHeight)
    : process_(display.run(QStringLiteral("trayer"), argumentsFor(reservedHeight))) {
    const app::XEmbedTrayWatch tray(display.name());
    if (!runQtUntil([&] { return tray.present(); }, {}, patience)) {
        throw std::runtime_error("trayer's tray did not come: " + process_->output());
    }
}

Trayer::~Trayer() {
    process_->signal(SIGTERM);
    process_->waitForExit(patience);
}

} // namespace kestrava::test
