#pragma once

#include "platform/power/PowerSupplies.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrava {

// The two facts the agent asks about power.
class PowerSource {
public:
    virtual ~PowerSource() = default;
    virtual bool onACPower() const = 0;
    // The machine has a battery of its own.
    virtual bool isLaptop() const = 0;
};

// The machine's power supplies, asked afresh on every call.
class SystemPowerSource : public PowerSource {
public:
    SystemPowerSource() : supplies_(root()) {}

    // Where they are listed: the kernel's tree, or the folder laid out the same way that a test gave the
    // agent program in its place ("KESTRAVA_TEST_POWER_SUPPLIES"). Decided once.
    static std::filesystem::path root();

    bool onACPower() const override { return supplies_.onACPower(); }
    bool isLaptop() const override { return supplies_.isLaptop(); }

private:
    power::PowerSupplies supplies_;
};

// Keeps the machine awake exactly while it runs on AC power: it holds both of its two keep-awake
// assertions or neither, never one alone.
class PowerGuard {
public:
    using AssertionId = int;
    using Create = std::function<std::optional<AssertionId>(const std::string& type)>;
    using Release = std::function<void(AssertionId)>;

    // Created in this order; the second is never held without the first.
    static constexpr const char* preventIdleSleep = "PreventUserIdleSystemSleep";
    static constexpr const char* preventSleep = "PreventSystemSleep";

    // The system's assertions: login-manager inhibitor locks, "idle" and "sleep" respectively. Nothing
    // when the lock is refused or the type is not one of the two.
    static std::optional<AssertionId> createSystemAssertion(const std::string& type);
    static void releaseSystemAssertion(AssertionId id);

    PowerGuard(std::shared_ptr<const PowerSource> source, Create create, Release releaseOne);
    // Releases whatever is held, under the lock.
    ~PowerGuard();
    PowerGuard(const PowerGuard&) = delete;
    PowerGuard& operator=(const PowerGuard&) = delete;

    // Reads the power source, then takes the lock and applies it.
    void update();

    // Guards the held assertions: apply and releaseAll need it held by the caller.
    std::mutex& lock() noexcept { return lock_; }

    // Holds both assertions when `hold` is true, none otherwise. A failed creation leaves nothing held
    // until the next update tries again.
    void apply(bool hold);

    // Releases every held assertion, in the order they were created.
    void releaseAll();

    // Whether the assertions are held; takes the lock.
    bool isHolding();

private:
    const std::shared_ptr<const PowerSource> source_;
    const Create create_;
    const Release releaseOne_;
    std::mutex lock_;
    std::vector<AssertionId> ids_; // guarded by lock_; empty or both assertions
};

} // namespace kestrava
