#include "agent-core/host/PowerGuard.hpp"

#include "platform/power/SleepInhibitor.hpp"

#include <cstdlib>

namespace kestrava {

std::filesystem::path SystemPowerSource::root() {
    // The agent program a test runs stays outside the test harness on purpose (its secret store and data
    // folder are real ones in a home of the test's), so this variable alone marks it.
    static const std::filesystem::path folder = [] {
        const char* given = std::getenv("KESTRAVA_TEST_POWER_SUPPLIES");
        return given && *given ? std::filesystem::path(given) : power::kernelPowerSupplies;
    }();
    return folder;
}

std::optional<PowerGuard::AssertionId> PowerGuard::createSystemAssertion(const std::string& type) {
    if (type == preventIdleSleep) {
        return power::inhibitSleep("idle");
    }
    if (type == preventSleep) {
        return power::inhibitSleep("sleep");
    }
    return std::nullopt;
}

void PowerGuard::releaseSystemAssertion(AssertionId id) {
    power::releaseInhibitor(id);
}

PowerGuard::PowerGuard(std::shared_ptr<const PowerSource> source, Create create, Release releaseOne)
    : source_(std::move(source)), create_(std::move(create)), releaseOne_(std::move(releaseOne)) {}

PowerGuard::~PowerGuard() {
    const std::lock_guard held(lock_);
    releaseAll();
}

void PowerGuard::update() {
    const bool hold = source_->onACPower();
    const std::lock_guard held(lock_);
    apply(hold);
}

void PowerGuard::apply(bool hold) {
    if (!hold) {
        releaseAll();
        return;
    }
    if (!ids_.empty()) {
        return;
    }
    const auto first = create_(preventIdleSleep);
    if (!first) {
        return;
    }
    const auto second = create_(preventSleep);
    if (!second) {
        releaseOne_(*first);
        return;
    }
    ids_ = {*first, *second};
}

void PowerGuard::releaseAll() {
    for (const AssertionId id : ids_) {
        releaseOne_(id);
    }
    ids_.clear();
}

bool PowerGuard::isHolding() {
    const std::lock_guard held(lock_);
    return !ids_.empty();
}

} // namespace kestrava
