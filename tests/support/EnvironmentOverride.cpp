#include "tests/support/EnvironmentOverride.hpp"

#include <cstdlib>

namespace kestrava::test {

EnvironmentOverride::EnvironmentOverride(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
    if (const char* previous = std::getenv(name_.c_str())) {
        previous_ = previous;
    }
    if (value) {
        ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

EnvironmentOverride::~EnvironmentOverride() {
    if (previous_) {
        ::setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

} // namespace kestrava::test
