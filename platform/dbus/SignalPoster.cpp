#include "platform/dbus/SignalPoster.hpp"

#include <chrono>
#include <pthread.h>

namespace kestrava::dbus {
namespace {

using Clock = std::chrono::steady_clock;

// Drives the connection until everything queued has been written and the bus has accepted the
// connection, or the call limit has passed. Reads what arrived on the way, so that no reply waits
// until its time-out on an idle connection.
bool flushed(sd_bus* bus) {
    const auto deadline = Clock::now() + std::chrono::microseconds(callLimitMicroseconds);
    for (;;) {
        const int processed = sd_bus_process(bus, nullptr);
        if (processed < 0) {
            return false;
        }
        if (processed > 0) {
            continue;
        }
        std::uint64_t queued = 0;
        if (sd_bus_get_n_queued_write(bus, &queued) < 0) {
            return false;
        }
        if (queued == 0 && sd_bus_is_ready(bus) > 0) {
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
        if (left.count() <= 0 || sd_bus_wait(bus, static_cast<std::uint64_t>(left.count())) < 0) {
            return false;
        }
    }
}

} // namespace

SignalPoster::SignalPoster() : notifier_([this] { run(); }) {}

SignalPoster::~SignalPoster() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    notifier_.join();
    dropConnection();
}

void SignalPoster::post(std::string interface, std::string member, std::string path) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({std::move(interface), std::move(member), std::move(path)});
    }
    wake_.notify_one();
}

void SignalPoster::run() {
    pthread_setname_np(pthread_self(), "dbus-notifier");
    for (;;) {
        Signal next;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) {
                return;
            }
            next = std::move(queue_.front());
            queue_.pop_front();
        }
        deliver(next);
    }
}

void SignalPoster::deliver(const Signal& signal) {
    // Names no bus accepts say nothing about the connection.
    if (sd_bus_interface_name_is_valid(signal.interface.c_str()) <= 0 ||
        sd_bus_member_name_is_valid(signal.member.c_str()) <= 0 ||
        sd_bus_object_path_is_valid(signal.path.c_str()) <= 0) {
        return;
    }
    // A connection kept from earlier may have died with its bus since; that one gets a second try on
    // a fresh connection. A fresh connection that fails means there is no bus to reach now.
    const bool reused = bus_ != nullptr;
    if (!reused) {
        bus_ = openSessionBus();
    }
    if (!bus_ || sent(signal)) {
        return;
    }
    dropConnection();
    if (reused) {
        bus_ = openSessionBus();
        if (bus_ && !sent(signal)) {
            dropConnection();
        }
    }
}

bool SignalPoster::sent(const Signal& signal) {
    sd_bus_message* raw = nullptr;
    if (sd_bus_message_new_signal(bus_.get(), &raw, signal.path.c_str(), signal.interface.c_str(),
                                  signal.member.c_str()) < 0) {
        return false;
    }
    const Message message(raw);
    return sd_bus_send(bus_.get(), message.get(), nullptr) >= 0 && flushed(bus_.get());
}

void SignalPoster::dropConnection() {
    // Closed without the flush of Bus's own release, which could wait without limit on a stuck bus.
    sd_bus_close_unref(bus_.release());
}

} // namespace kestrava::dbus
