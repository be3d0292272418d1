#include "app/system/AdminQueue.hpp"

#include <QCoro/QCoroFuture>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <exception>

namespace kestrava::app {
namespace {

// Made on first use and never destroyed: a command may still be running while the process exits.
QThreadPool& adminQueue() {
    static QThreadPool* const queue = [] {
        auto* pool = new QThreadPool;
        pool->setMaxThreadCount(1);
        return pool;
    }();
    return *queue;
}

PowerSetupResult runCaught(AdminRunner& runner, const std::string& command) noexcept {
    try {
        return runner.run(command);
    } catch (const std::exception& error) {
        return PowerSetupResult::failed(error.what());
    }
}

} // namespace

QCoro::Task<PowerSetupResult> runOffMain(std::string command, std::shared_ptr<AdminRunner> runner) {
    QFuture<PowerSetupResult> ended =
        QtConcurrent::run(&adminQueue(), [command, runner] { return runCaught(*runner, command); });
    co_return co_await ended;
}

} // namespace kestrava::app
