#pragma once

#include <stdexcept>

namespace kestrava {

// A pairing step that failed for a reason of its own rather than of a cryptographic primitive.
class PairingError : public std::runtime_error {
public:
    enum class Kind { invalidUTF8 };

    static PairingError invalidUTF8() { return PairingError(Kind::invalidUTF8); }

    Kind kind() const noexcept { return kind_; }

    bool operator==(const PairingError& other) const noexcept { return kind_ == other.kind_; }

private:
    explicit PairingError(Kind kind) : std::runtime_error("invalidUTF8"), kind_(kind) {}

    Kind kind_;
};

} // namespace kestrava
