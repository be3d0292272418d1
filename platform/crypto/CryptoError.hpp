#pragma once

#include <stdexcept>

namespace kestrava::crypto {

// Failures of the primitives. Callers mostly tell only success from failure; opening a sealed box
// tells a wrong size from a failed authentication.
class CryptoError : public std::runtime_error {
public:
    enum class Kind { incorrectParameterSize, authenticationFailure, underlyingFailure };

    explicit CryptoError(Kind kind);

    Kind kind() const noexcept { return kind_; }

private:
    Kind kind_;
};

} // namespace kestrava::crypto
