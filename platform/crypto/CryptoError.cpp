#include "platform/crypto/CryptoError.hpp"

namespace kestrava::crypto {
namespace {

const char* describe(CryptoError::Kind kind) {
    switch (kind) {
    case CryptoError::Kind::incorrectParameterSize:
        return "incorrect parameter size";
    case CryptoError::Kind::authenticationFailure:
        return "authentication failure";
    case CryptoError::Kind::underlyingFailure:
        break;
    }
    return "cryptographic operation failed";
}

} // namespace

CryptoError::CryptoError(Kind kind) : std::runtime_error(describe(kind)), kind_(kind) {}

} // namespace kestrava::crypto
