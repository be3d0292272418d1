#include "platform/power/PowerSupplies.hpp"

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace kestrava::power {
namespace {

// The attributes of one supply that matter here; an attribute the kernel does not provide is none.
struct Supply {
    std::optional<std::string> type;
    std::optional<std::string> online;
    std::optional<std::string> scope;
    std::optional<std::string> present;
    std::optional<std::string> status;

    // Mains, USB and the older USB_* kinds (USB_C, USB_PD, ...) are external power.
    bool isExternal() const {
        return type == "Mains" || type == "USB" || (type && type->starts_with("USB_"));
    }

    // Online is 1 for a fixed supply and 2 for a programmable one (USB PD).
    bool isOnline() const { return online && !online->empty() && *online != "0"; }

    bool isSystemBattery() const { return type == "Battery" && scope != "Device"; }

    bool isPresent() const { return present != "0"; }
};

std::optional<std::string> attribute(const std::filesystem::path& supply, const char* name) {
    std::ifstream file(supply / name);
    std::string value;
    if (!std::getline(file, value)) {
        return std::nullopt;
    }
    while (!value.empty() && (value.back() == ' ' || value.back() == '\r')) {
        value.pop_back();
    }
    return value;
}

// Every supply in the tree; none when the tree itself cannot be read.
std::optional<std::vector<Supply>> readSupplies(const std::filesystem::path& root) {
    std::error_code error;
    std::filesystem::directory_iterator entries(root, error);
    if (error) {
        return std::nullopt;
    }
    std::vector<Supply> supplies;
    for (const auto& entry : entries) {
        const auto& path = entry.path();
        supplies.push_back({attribute(path, "type"), attribute(path, "online"), attribute(path, "scope"),
                            attribute(path, "present"), attribute(path, "status")});
    }
    return supplies;
}

} // namespace

PowerSupplies::PowerSupplies(std::filesystem::path root) : root_(std::move(root)) {}

bool PowerSupplies::onACPower() const {
    const auto supplies = readSupplies(root_);
    if (!supplies) {
        return true;
    }
    const auto any = [&](auto condition) { return std::ranges::any_of(*supplies, condition); };
    if (any([](const Supply& s) { return s.isExternal() && s.isOnline(); })) {
        return true;
    }
    if (any([](const Supply& s) { return s.isSystemBattery() && s.status == "Discharging"; })) {
        return false;
    }
    // Some batteries report "Unknown" or "Not charging" while providing; an offline mains supply
    // next to a battery still means the battery carries the machine.
    const bool hasMains = any([](const Supply& s) { return s.type == "Mains"; });
    return !(hasMains && any([](const Supply& s) { return s.isSystemBattery(); }));
}

bool PowerSupplies::isLaptop() const {
    const auto supplies = readSupplies(root_);
    return supplies && std::ranges::any_of(
                           *supplies, [](const Supply& s) { return s.isSystemBattery() && s.isPresent(); });
}

} // namespace kestrava::power
