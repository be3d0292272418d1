#include "protocol-kit/CommandVerifier.hpp"
#include "protocol-kit/MemoryNonceStore.hpp"
#include "protocol-kit/VerifyError.hpp"
#include "tests/support/TestPhone.hpp"

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/obj_mac.h>

#include <limits>
#include <memory>
#include <optional>

namespace kestrava {
namespace {

struct EcdsaSigFree {
    void operator()(ECDSA_SIG* sig) const { ECDSA_SIG_free(sig); }
};
using EcdsaSig = std::unique_ptr<ECDSA_SIG, EcdsaSigFree>;

EcdsaSig parsedSignature(ByteView der) {
    const unsigned char* cursor = der.data();
    return EcdsaSig(d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(der.size())));
}

// The same signature as r and s in two 32-byte big-endian halves.
Bytes rawSignature(ByteView der) {
    const EcdsaSig sig = parsedSignature(der);
    Bytes raw(64);
    BN_bn2binpad(ECDSA_SIG_get0_r(sig.get()), raw.data(), 32);
    BN_bn2binpad(ECDSA_SIG_get0_s(sig.get()), raw.data() + 32, 32);
    return raw;
}

// The other valid signature over the same message: (r, n - s).
Bytes malleatedSignature(ByteView der) {
    const EcdsaSig sig = parsedSignature(der);
    std::unique_ptr<EC_GROUP, decltype(&EC_GROUP_free)> group(
        EC_GROUP_new_by_curve_name(NID_X9_62_prime256v1), &EC_GROUP_free);
    BIGNUM* s = BN_new();
    BN_sub(s, EC_GROUP_get0_order(group.get()), ECDSA_SIG_get0_s(sig.get()));
    ECDSA_SIG_set0(sig.get(), BN_dup(ECDSA_SIG_get0_r(sig.get())), s);
    Bytes out(static_cast<std::size_t>(i2d_ECDSA_SIG(sig.get(), nullptr)));
    unsigned char* cursor = out.data();
    i2d_ECDSA_SIG(sig.get(), &cursor);
    return out;
}

class CommandVerifierTest : public testing::Test {
protected:
    // 1,700,000,060.9 s: the current whole second is 1,700,000,060.
    const Timestamp now = timestampFromMilliseconds(1'700'000'060'900);
    const test::TestPhone phone;
    const std::shared_ptr<MemoryNonceStore> nonces = std::make_shared<MemoryNonceStore>();
    const CommandVerifier verifier{"mac-7", "phone-3", phone.signingKey().publicKey(), nonces};

    SignedCommand command(std::string id = "c1", CommandKind kind = CommandKind::exec,
                          std::int64_t timeoutSec = 30) {
        return phone.command(std::move(id), kind, "uptime", timeoutSec, now, "mac-7", "phone-3");
    }

    // Signs the command as it stands, after a test changed its fields.
    SignedCommand resigned(SignedCommand changed) {
        changed.signature = phone.signingKey().signatureDer(changed.signingBytes("mac-7", "phone-3"));
        return changed;
    }

    // "ok", or the description of the error the verifier threw.
    std::string outcome(const SignedCommand& command, std::optional<Timestamp> at = {}) {
        try {
            verifier.verify(command, at.value_or(now));
            return "ok";
        } catch (const VerifyError& error) {
            return error.what();
        }
    }
};

TEST(VerifyError, EqualsByCaseAndSeconds) {
    EXPECT_EQ(VerifyError::clockSkew(61), VerifyError::clockSkew(61));
    EXPECT_NE(VerifyError::clockSkew(61), VerifyError::clockSkew(62));
    EXPECT_NE(VerifyError::badSignature(), VerifyError::replay());
    EXPECT_EQ(VerifyError::malformed().kind(), VerifyError::Kind::malformed);
}

TEST_F(CommandVerifierTest, ValidCommandPassesOnceThenIsAReplay) {
    const SignedCommand valid = command();
    EXPECT_EQ(outcome(valid), "ok");
    EXPECT_EQ(outcome(valid), "replay");

    SignedCommand sameNonce = command("c2");
    sameNonce.nonce = valid.nonce;
    EXPECT_EQ(outcome(resigned(sameNonce)), "replay");
    // s and n - s both verify; the nonce, not the signature, makes a command single-use.
    SignedCommand malleated = valid;
    malleated.signature = malleatedSignature(valid.signature);
    EXPECT_EQ(outcome(malleated), "replay");
}

TEST_F(CommandVerifierTest, TokensAreShortSingleLineAndCheckedFirst) {
    const std::string e = "\xC3\xA9";
    EXPECT_TRUE(CommandVerifier::isValidToken(std::string(128, 'a')));
    EXPECT_FALSE(CommandVerifier::isValidToken(std::string(129, 'a')));
    EXPECT_TRUE(CommandVerifier::isValidToken(std::string(126, 'a') + e));
    EXPECT_FALSE(CommandVerifier::isValidToken(std::string(127, 'a') + e));
    EXPECT_TRUE(CommandVerifier::isValidToken("a\tb"));
    EXPECT_TRUE(CommandVerifier::isValidToken(std::string("a\0b", 3)));
    for (const char* broken :
         {"", "a\r\nb", "a\nb", "a\vb", "a\fb", "a\rb", "a\xC2\x85", "\xE2\x80\xA8", "b\xE2\x80\xA9"}) {
        EXPECT_FALSE(CommandVerifier::isValidToken(broken)) << broken;
    }

    EXPECT_EQ(outcome(command("tab\tid")), "ok");
    SignedCommand emptyId = command();
    emptyId.id = "";
    emptyId.timeoutSec = 0;
    EXPECT_EQ(outcome(emptyId), "malformed");
    SignedCommand longNonce = command();
    longNonce.nonce = std::string(129, 'n');
    EXPECT_EQ(outcome(resigned(longNonce)), "malformed");
}

TEST_F(CommandVerifierTest, ExecTimeoutMustLieInOneToSixHundred) {
    EXPECT_EQ(outcome(command("c1", CommandKind::exec, 0)), "timeoutOutOfRange");
    EXPECT_EQ(outcome(command("c2", CommandKind::exec, 601)), "timeoutOutOfRange");
    EXPECT_EQ(outcome(command("c3", CommandKind::exec, 1)), "ok");
    EXPECT_EQ(outcome(command("c4", CommandKind::exec, 600)), "ok");
    EXPECT_EQ(outcome(command("c5", CommandKind::cancel, 0)), "ok");
    EXPECT_EQ(outcome(command("c6", CommandKind::cancel, 100'000)), "ok");
}

TEST_F(CommandVerifierTest, ClockSkewIsSymmetricAndSaturates) {
    auto issuedAt = [&](std::int64_t seconds) {
        SignedCommand changed = command();
        changed.issuedAt = seconds;
        return resigned(changed);
    };
    EXPECT_EQ(outcome(issuedAt(1'700'000'000)), "ok");
    EXPECT_EQ(outcome(issuedAt(1'700'000'120)), "ok");
    EXPECT_EQ(outcome(issuedAt(1'699'999'999)), "clockSkew(61)");
    EXPECT_EQ(outcome(issuedAt(1'700'000'121)), "clockSkew(61)");

    EXPECT_EQ(outcome(issuedAt(std::numeric_limits<std::int64_t>::min())), "clockSkew(9223372036854775807)");
    EXPECT_EQ(outcome(issuedAt(std::numeric_limits<std::int64_t>::max())), "clockSkew(9223372035154775747)");
    // -1 - INT64_MAX is INT64_MIN, whose magnitude does not fit; -2 - INT64_MAX overflows.
    EXPECT_EQ(outcome(issuedAt(std::numeric_limits<std::int64_t>::max()), timestampFromMilliseconds(-500)),
              "clockSkew(9223372036854775807)");
    EXPECT_EQ(outcome(issuedAt(std::numeric_limits<std::int64_t>::max()), timestampFromSeconds(-2)),
              "clockSkew(9223372036854775807)");
}

TEST_F(CommandVerifierTest, SignatureCoversBothIdentitiesAndEveryField) {
    const test::TestPhone otherPhone;
    EXPECT_EQ(outcome(phone.command("c1", CommandKind::exec, "uptime", 30, now, "mac-8", "phone-3")),
              "badSignature");
    EXPECT_EQ(outcome(phone.command("c1", CommandKind::exec, "uptime", 30, now, "mac-7", "phone-4")),
              "badSignature");
    EXPECT_EQ(outcome(otherPhone.command("c1", CommandKind::exec, "uptime", 30, now, "mac-7", "phone-3")),
              "badSignature");

    const SignedCommand valid = command();
    SignedCommand changed = valid;
    changed.cmd = "uptimE";
    EXPECT_EQ(outcome(changed), "badSignature");
    changed = valid;
    changed.kind = CommandKind::cancel;
    EXPECT_EQ(outcome(changed), "badSignature");
    changed = valid;
    changed.timeoutSec = 31;
    EXPECT_EQ(outcome(changed), "badSignature");
    changed = valid;
    changed.signature = rawSignature(valid.signature);
    EXPECT_EQ(outcome(changed), "badSignature");
    changed.signature = valid.signature;
    changed.signature.push_back(0);
    EXPECT_EQ(outcome(changed), "badSignature");

    // None of those failures used up the nonce.
    changed.signature = malleatedSignature(valid.signature);
    EXPECT_EQ(outcome(changed), "ok");
}

} // namespace
} // namespace kestrava
