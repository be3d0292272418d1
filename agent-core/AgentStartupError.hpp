#pragma once

#include "agent-core/runtime/Sanitize.hpp"
#include "platform/url/HiddenUserInfo.hpp"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kestrava {

// Why the configuration could not be resolved at start; what() is the text for the log.
class AgentStartupError : public std::runtime_error {
public:
    enum class Kind { invalidBackend, backendChangeRefused, configLostWithPhones };

    // `text` is as given on the command line: it may hold a password or a forged log line.
    static AgentStartupError invalidBackend(const std::string& text) {
        return {Kind::invalidBackend, 0, "invalid backend URL: " + sanitize(url::hidingUserInfo(text), 200)};
    }
    static AgentStartupError backendChangeRefused(std::int64_t phones) {
        return {Kind::backendChangeRefused, phones,
                "backend URL change refused: " + std::to_string(phones) +
                    " iPhone(s) paired; unpair the iPhones first"};
    }
    static AgentStartupError configLostWithPhones(std::int64_t phones) {
        return {Kind::configLostWithPhones, phones,
                "config.json hỏng hoặc mất và còn " + std::to_string(phones) +
                    " iPhone đã ghép — khôi phục config hoặc gỡ iPhone"};
    }

    Kind kind() const noexcept { return kind_; }
    std::int64_t phones() const noexcept { return phones_; }

private:
    AgentStartupError(Kind kind, std::int64_t phones, const std::string& description)
        : std::runtime_error(description), kind_(kind), phones_(phones) {}

    Kind kind_;
    std::int64_t phones_;
};

} // namespace kestrava
