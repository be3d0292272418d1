#include "tests/app-support/Trayer.hpp"

#include "app/tray/XEmbedTrayWatch.hpp"
#include "tests/app-support/QtLoop.hpp"

#include <csignal>
#include <stdexcept>

namespace kestrava::test {
namespace {

using namespace std::chrono_literals;

// It starts slowly on a busy machine.
constexpr auto patience = 60s;

} // namespace

Trayer::Trayer(const XvfbDisplay& display)
    : process_(display.run(QStringLiteral("trayer"), {"--edge", "top", "--align", "right"})) {
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
