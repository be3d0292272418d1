#include "tests/support/SignalListener.hpp"

#include <cerrno>
#include <stdexcept>

namespace kestrava::test {
namespace {

std::string textOrEmpty(const char* text) {
    return text ? text : "";
}

} // namespace

SignalListener::SignalListener(const std::string& address, const std::string& interface) {
    sd_bus* bus = nullptr;
    if (sd_bus_new(&bus) < 0) {
        throw std::runtime_error("sd_bus_new failed");
    }
    bus_.reset(bus);
    if (sd_bus_set_address(bus, address.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 ||
        sd_bus_start(bus) < 0) {
        throw std::runtime_error("cannot connect to " + address);
    }
    const std::string rule = "type='signal',interface='" + interface + "'";
    if (sd_bus_add_match(bus, &match_, rule.c_str(), &SignalListener::received, this) < 0) {
        throw std::runtime_error("cannot add the match " + rule);
    }
}

SignalListener::~SignalListener() {
    sd_bus_slot_unref(match_);
}

int SignalListener::received(sd_bus_message* message, void* listener, sd_bus_error*) {
    try {
        static_cast<SignalListener*>(listener)->arrived_.push_back(
            {textOrEmpty(sd_bus_message_get_interface(message)),
             textOrEmpty(sd_bus_message_get_member(message)), textOrEmpty(sd_bus_message_get_path(message)),
             textOrEmpty(sd_bus_message_get_sender(message))});
        return 0;
    } catch (...) {
        return -ENOMEM;
    }
}

std::optional<ReceivedSignal> SignalListener::next(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (arrived_.empty()) {
        const int processed = sd_bus_process(bus_.get(), nullptr);
        if (processed < 0) {
            return std::nullopt;
        }
        if (processed > 0) {
            continue;
        }
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || sd_bus_wait(bus_.get(), static_cast<std::uint64_t>(left.count())) < 0) {
            return std::nullopt;
        }
    }
    ReceivedSignal first = std::move(arrived_.front());
    arrived_.pop_front();
    return first;
}

} // namespace kestrava::test
