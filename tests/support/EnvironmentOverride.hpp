#pragma once

#include <optional>
#include <string>

namespace kestrava::test {

// Sets an environment variable for the life of the object, or with no value removes it, then restores what
// was there before.
class EnvironmentOverride {
public:
    EnvironmentOverride(std::string name, const std::optional<std::string>& value);
    ~EnvironmentOverride();
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

} // namespace kestrava::test
