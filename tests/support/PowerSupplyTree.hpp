#pragma once

#include "platform/power/PowerSupplies.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <filesystem>
#include <map>
#include <string>

namespace kestrava::test {

// A power-supply tree as the kernel shows it, in a temporary folder: a folder per supply, one file per
// attribute.
class PowerSupplyTree {
public:
    using Attributes = std::map<std::string, std::string>;

    // Adds the supply `name` with `attributes`, or writes those attributes of it when it exists.
    PowerSupplyTree& add(const std::string& name, const Attributes& attributes);

    const std::filesystem::path& path() const noexcept { return root_.path(); }
    power::PowerSupplies supplies() const { return power::PowerSupplies(root_.path()); }

private:
    TemporaryDirectory root_;
};

} // namespace kestrava::test
