#pragma once

#include "platform/bytes/Bytes.hpp"
#include "platform/crypto/CryptoError.hpp"

#include <openssl/err.h>

#include <climits>
#include <cstddef>
#include <memory>

// Internal to platform/crypto: owning handles for OpenSSL objects and result checks.
namespace kestrava::crypto::openssl {

template<auto release>
struct Release {
    template<typename T>
    void operator()(T* object) const noexcept {
        release(object);
    }
};

template<typename T, auto release>
using Owned = std::unique_ptr<T, Release<release>>;

[[noreturn]] inline void fail() {
    throw CryptoError(CryptoError::Kind::underlyingFailure);
}

// OpenSSL reports success as 1; anything else is a failure.
inline void check(int result) {
    if (result != 1) {
        fail();
    }
}

template<typename T>
T* check(T* object) {
    if (object == nullptr) {
        fail();
    }
    return object;
}

inline int checkedInt(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX)) {
        fail();
    }
    return static_cast<int>(size);
}

// OpenSSL takes a null pointer for "absent" even with a length of 0, so an empty input still points
// somewhere.
inline const unsigned char* dataOf(ByteView bytes) {
    static constexpr unsigned char none = 0;
    return bytes.empty() ? &none : bytes.data();
}

// Drops whatever a failed operation left in this thread's error queue, so that a later TLS call on the
// same thread does not read a stale error as its own.
class ErrorScope {
public:
    ErrorScope() { ERR_set_mark(); }
    ~ErrorScope() { ERR_pop_to_mark(); }
    ErrorScope(const ErrorScope&) = delete;
    ErrorScope& operator=(const ErrorScope&) = delete;
};

} // namespace kestrava::crypto::openssl
