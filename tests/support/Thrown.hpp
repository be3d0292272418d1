#pragma once

#include "platform/crypto/CryptoError.hpp"
#include "platform/json/DecodeError.hpp"
#include "platform/json/ObjectReader.hpp"
#include "platform/json/Reader.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

namespace kestrava::test {

// The error of type Error that `action` throws. When it throws none the test fails and the result is
// empty (so `.value()` ends the test).
template<class Error, class Action>
std::optional<Error> thrownBy(Action&& action) {
    try {
        action();
    } catch (const Error& error) {
        return error;
    }
    ADD_FAILURE() << "nothing was thrown";
    return std::nullopt;
}

template<class Action>
crypto::CryptoError::Kind cryptoFailure(Action&& action) {
    return thrownBy<crypto::CryptoError>(action).value().kind();
}

// A value of T read from JSON text by its decoder.
template<class T>
T decodeJson(std::string_view text) {
    return T::decode(json::ObjectReader(json::parse(text)));
}

template<class T>
json::DecodeError decodeFailure(std::string_view text) {
    return thrownBy<json::DecodeError>([&] { decodeJson<T>(text); }).value();
}

} // namespace kestrava::test
