#include "platform/crypto/Random.hpp"
#include "platform/json/DecodeError.hpp"
#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"
#include "protocol-kit/Pairing.hpp"
#include "protocol-kit/PairingRequest.hpp"
#include "tests/support/TestPhone.hpp"
#include "tests/support/Thrown.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

TEST(PairingRequest, JsonFormIsFiveMembersInOrder) {
    const PairingRequest request{.phoneSignPub = {0xFB, 0xFF},
                                 .phoneAgreePub = {0x00},
                                 .encName = {},
                                 .proof = {0x00, 0x00},
                                 .secretHash = "a/b"};
    const std::string text = json::write(request.encode(), {});
    EXPECT_EQ(
        text,
        R"({"phoneSignPub":"-_8","phoneAgreePub":"AA","encName":"","proof":"AAA","secretHash":"a\/b"})");
    EXPECT_EQ(test::decodeJson<PairingRequest>(text), request);

    const Bytes secret = crypto::randomBytes(32);
    const PairingRequest real = test::TestPhone().pairingRequest(secret, "mac-7", "Anna's phone");
    const PairingRequest back = test::decodeJson<PairingRequest>(json::write(real.encode(), {}));
    EXPECT_EQ(back, real);
    EXPECT_TRUE(Pairing::verifyProof(back, secret, "mac-7"));
    EXPECT_EQ(
        test::decodeJson<PairingRequest>(
            R"({"extra":1,"phoneSignPub":"","phoneAgreePub":"","encName":"","proof":"","secretHash":""})"),
        PairingRequest{});
}

TEST(PairingRequest, DecodingStopsAtTheFirstBadMember) {
    auto failure = test::decodeFailure<PairingRequest>(
        R"({"phoneSignPub":"","phoneAgreePub":"","encName":"","proof":"ab+c","secretHash":""})");
    EXPECT_EQ(failure.kind(), json::DecodeError::Kind::dataCorrupted);
    EXPECT_EQ(failure.key(), "proof");
    EXPECT_STREQ(failure.what(), "invalid base64url");

    failure = test::decodeFailure<PairingRequest>(
        R"({"phoneSignPub":"","phoneAgreePub":"","encName":"a/","proof":"ab+c","secretHash":""})");
    EXPECT_EQ(failure.key(), "encName");
    EXPECT_STREQ(failure.what(), "invalid base64url");

    failure = test::decodeFailure<PairingRequest>(
        R"({"phoneSignPub":"","phoneAgreePub":"","encName":"","proof":""})");
    EXPECT_EQ(failure.kind(), json::DecodeError::Kind::keyNotFound);
    failure = test::decodeFailure<PairingRequest>(
        R"({"phoneSignPub":"","phoneAgreePub":7,"encName":"","proof":"","secretHash":""})");
    EXPECT_EQ(failure.kind(), json::DecodeError::Kind::typeMismatch);
    EXPECT_EQ(failure.key(), "phoneAgreePub");
}

} // namespace
} // namespace kestrava
