#pragma once

#include <filesystem>

namespace kestrava::power {

// Where the kernel lists the machine's power supplies.
inline const std::filesystem::path kernelPowerSupplies = "/sys/class/power_supply";

// The machine's power supplies as the kernel lists them, read afresh on every question: nothing is
// cached, so an unplugged charger shows at the next call.
class PowerSupplies {
public:
    explicit PowerSupplies(std::filesystem::path root = kernelPowerSupplies);

    // False only when the machine's own battery is providing the power. Without readable information
    // the answer is true, so a desktop always counts as being on AC power.
    bool onACPower() const;

    // The machine has a battery of its own; batteries of mice, keyboards and the like do not count.
    bool isLaptop() const;

private:
    std::filesystem::path root_;
};

} // namespace kestrava::power
