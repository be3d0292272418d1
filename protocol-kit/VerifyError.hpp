#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kestrava {

// Why a signed command was refused. what() is the case name, with the seconds for a clock skew.
class VerifyError : public std::runtime_error {
public:
    enum class Kind { clockSkew, badSignature, replay, timeoutOutOfRange, malformed };

    static VerifyError clockSkew(std::int64_t seconds) { return VerifyError(Kind::clockSkew, seconds); }
    static VerifyError badSignature() { return VerifyError(Kind::badSignature, 0); }
    static VerifyError replay() { return VerifyError(Kind::replay, 0); }
    static VerifyError timeoutOutOfRange() { return VerifyError(Kind::timeoutOutOfRange, 0); }
    static VerifyError malformed() { return VerifyError(Kind::malformed, 0); }

    Kind kind() const noexcept { return kind_; }
    // The text the agent logs and sends back to the phone: the case name, "clockSkew(" + seconds + ")".
    std::string reason() const { return what(); }

    // The magnitude of the skew for clockSkew; 0 for every other case.
    std::int64_t seconds() const noexcept { return seconds_; }

    bool operator==(const VerifyError& other) const noexcept {
        return kind_ == other.kind_ && seconds_ == other.seconds_;
    }

private:
    VerifyError(Kind kind, std::int64_t seconds)
        : std::runtime_error(describe(kind, seconds)), kind_(kind), seconds_(seconds) {}

    static std::string describe(Kind kind, std::int64_t seconds) {
        switch (kind) {
        case Kind::clockSkew:
            return "clockSkew(" + std::to_string(seconds) + ")";
        case Kind::badSignature:
            return "badSignature";
        case Kind::replay:
            return "replay";
        case Kind::timeoutOutOfRange:
            return "timeoutOutOfRange";
        case Kind::malformed:
            return "malformed";
        }
        return {};
    }

    Kind kind_;
    std::int64_t seconds_;
};

} // namespace kestrava
