#pragma once

#include <stdexcept>

namespace kestrava {

// Why a command was refused before anything started; what() is the reason the phone is sent.
class ExecError : public std::runtime_error {
public:
    enum class Kind { busy, duplicateId };

    // As many jobs as the executor allows are running.
    static ExecError busy() { return ExecError(Kind::busy, "busy"); }
    // A job with this identifier is running.
    static ExecError duplicateId() { return ExecError(Kind::duplicateId, "duplicateId"); }

    Kind kind() const noexcept { return kind_; }

private:
    ExecError(Kind kind, const char* reason) : std::runtime_error(reason), kind_(kind) {}

    Kind kind_;
};

} // namespace kestrava
