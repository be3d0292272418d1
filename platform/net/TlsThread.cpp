#include "platform/net/TlsThread.hpp"

#include <openssl/crypto.h>
#include <openssl/ssl.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <utility>

namespace kestrava::net {
namespace {

// How many TLS threads are running; its destruction at a program's exit waits for them to end.
class RunningThreads {
public:
    RunningThreads() {
        // Initialised first, so that the library's own clean-up at exit comes after the wait below.
        OPENSSL_init_ssl(0, nullptr);
    }

    ~RunningThreads() {
        std::unique_lock held(lock_);
        ended_.wait_for(held, std::chrono::seconds(5), [this] { return running_ == 0; });
    }

    RunningThreads(const RunningThreads&) = delete;
    RunningThreads& operator=(const RunningThreads&) = delete;

    void started() {
        const std::lock_guard held(lock_);
        ++running_;
    }

    void ended() {
        // Told under the lock: the wait at exit may end, and the condition go, as soon as the count is zero.
        const std::lock_guard held(lock_);
        --running_;
        ended_.notify_all();
    }

private:
    std::mutex lock_;
    std::condition_variable ended_;
    std::size_t running_ = 0;
};

RunningThreads& runningThreads() {
    static RunningThreads threads;
    return threads;
}

} // namespace

std::thread startTlsThread(std::function<void()> body) {
    RunningThreads& threads = runningThreads();
    threads.started();
    try {
        return std::thread([&threads, body = std::move(body)]() mutable {
            // Gone before the release: what it owns may still hold TLS connections.
            std::exchange(body, nullptr)();
            OPENSSL_thread_stop();
            threads.ended();
        });
    } catch (...) {
        threads.ended();
        throw;
    }
}

} // namespace kestrava::net
