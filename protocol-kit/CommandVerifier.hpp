#pragma once

#include "platform/crypto/P256.hpp"
#include "platform/time/Timestamp.hpp"
#include "protocol-kit/NonceStore.hpp"
#include "protocol-kit/SignedCommand.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kestrava {

// Checks one command from one phone before anything runs: token sanity, time-out range, clock skew,
// signature, and single use of the nonce.
class CommandVerifier {
public:
    struct ClosedRange {
        std::int64_t lowerBound;
        std::int64_t upperBound;
        constexpr bool contains(std::int64_t value) const {
            return lowerBound <= value && value <= upperBound;
        }
    };

    static constexpr std::int64_t maxClockSkew = 60;
    static constexpr ClosedRange timeoutRange{1, 600};
    static constexpr std::size_t maxTokenLength = 128;

    CommandVerifier(std::string deviceId, std::string phoneId, crypto::P256PublicKey phoneSignPublicKey,
                    std::shared_ptr<NonceStore> nonces);

    // Throws the first VerifyError met; only a command that passes every test records its nonce.
    void verify(const SignedCommand& command, Timestamp now) const;

    // Not empty, at most maxTokenLength UTF-8 bytes, and no line break of any kind (a tab is fine).
    static bool isValidToken(std::string_view token);

private:
    std::string deviceId_;
    std::string phoneId_;
    crypto::P256PublicKey phoneSignPublicKey_;
    std::shared_ptr<NonceStore> nonces_;
};

} // namespace kestrava
