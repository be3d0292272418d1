#pragma once

#include <string>
#include <utility>

namespace kestrava::app {

// How one administrator power command ended.
struct PowerSetupResult {
    enum class Kind { failed, applied, cancelled };

    Kind kind;
    std::string failure; // why it was not done, for `failed`; callers show it after a prefix of their own

    static PowerSetupResult failed(std::string why) { return {Kind::failed, std::move(why)}; }
    static PowerSetupResult applied() { return {Kind::applied, {}}; }
    // The user refused the administrator prompt: nothing to report.
    static PowerSetupResult cancelled() { return {Kind::cancelled, {}}; }

    bool operator==(const PowerSetupResult&) const = default;
};

} // namespace kestrava::app
