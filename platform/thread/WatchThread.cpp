#include "platform/thread/WatchThread.hpp"

namespace kestrava::thread {

WatchThread::WatchThread(std::function<void(const StopSignal& stop)> watch) : watch_(std::move(watch)) {}

WatchThread::~WatchThread() {
    stop_.raise();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void WatchThread::start() {
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { watch_(stop_); });
    }
}

} // namespace kestrava::thread
