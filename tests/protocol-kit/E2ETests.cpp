#include "platform/crypto/CryptoError.hpp"
#include "platform/encoding/Hex.hpp"
#include "platform/json/DecodeError.hpp"
#include "protocol-kit/E2E.hpp"
#include "tests/support/FixedKeys.hpp"
#include "tests/support/TestPhone.hpp"
#include "tests/support/Thrown.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view deviceId = "dev-1";
constexpr std::string_view phoneId = "phone-1";

class E2ESealing : public ::testing::Test {
protected:
    crypto::P256PrivateKey mac = test::fixedPrivateKey(0x21);
    test::TestPhone phone = test::TestPhone::fixed();
    crypto::SymmetricKey macKey =
        E2E::deriveKey(mac.sharedSecret(phone.agreementKey().publicKey()), deviceId, phoneId);
    crypto::SymmetricKey phoneKey = phone.sessionKey(mac.publicKey(), deviceId, phoneId);

    const E2EPayload command{E2EPayload::Command{phone.command(
        "c-1", CommandKind::exec, "ls /tmp", 30, timestampFromSeconds(1700000000), deviceId, phoneId)}};
};

TEST(E2EKey, IsHkdfOfTheSharedSecretSaltedWithBothIdentities) {
    const Bytes shared(32, 0x11);
    // Computed independently from the HKDF definition.
    EXPECT_EQ(hex::lowercase(E2E::deriveKey(shared, "dev-1", "phone-1")),
              "c83c2d7657fba523d25900a9a4d704ae6cd8e36c24b14de0d5a720f2fb880fc2");
    EXPECT_NE(E2E::deriveKey(shared, "dev-1", "phone-2"), E2E::deriveKey(shared, "dev-1", "phone-1"));
}

TEST_F(E2ESealing, BothSidesAgreeAndEachDirectionOpensOnlyAsItself) {
    ASSERT_EQ(macKey, phoneKey);
    const Bytes fromPhone = phone.seal(command, phoneKey, deviceId, phoneId);
    EXPECT_EQ(E2E::open(fromPhone, macKey, Direction::p2m, deviceId, phoneId), command);

    const E2EPayload reply{E2EPayload::Out{"c-1", "stdout", "a/b\n"}};
    const Bytes fromMac = E2E::seal(reply, macKey, Direction::m2p, deviceId, phoneId);
    EXPECT_EQ(phone.open(fromMac, phoneKey, deviceId, phoneId), reply);

    using Kind = crypto::CryptoError::Kind;
    // A reflected box, a relabelled phone, swapped identities, another machine.
    EXPECT_EQ(test::cryptoFailure([&] { E2E::open(fromMac, macKey, Direction::p2m, deviceId, phoneId); }),
              Kind::authenticationFailure);
    EXPECT_EQ(test::cryptoFailure([&] { E2E::open(fromPhone, macKey, Direction::m2p, deviceId, phoneId); }),
              Kind::authenticationFailure);
    EXPECT_EQ(test::cryptoFailure([&] { E2E::open(fromPhone, macKey, Direction::p2m, deviceId, "phone-2"); }),
              Kind::authenticationFailure);
    EXPECT_EQ(test::cryptoFailure([&] { E2E::open(fromPhone, macKey, Direction::p2m, phoneId, deviceId); }),
              Kind::authenticationFailure);
    EXPECT_EQ(test::cryptoFailure([&] { E2E::open(fromPhone, macKey, Direction::p2m, "dev-2", phoneId); }),
              Kind::authenticationFailure);
    for (std::size_t at : {std::size_t{0}, std::size_t{12}, fromPhone.size() - 1}) {
        Bytes flipped = fromPhone;
        flipped[at] ^= 0x01;
        EXPECT_EQ(test::cryptoFailure([&] { E2E::open(flipped, macKey, Direction::p2m, deviceId, phoneId); }),
                  Kind::authenticationFailure);
    }
    EXPECT_EQ(test::cryptoFailure([&] {
                  E2E::open(ByteView(fromPhone).first(27), macKey, Direction::p2m, deviceId, phoneId);
              }),
              Kind::incorrectParameterSize);
}

TEST_F(E2ESealing, BoxesAreFreshEachTime) {
    const Bytes first = phone.seal(command, phoneKey, deviceId, phoneId);
    const Bytes second = phone.seal(command, phoneKey, deviceId, phoneId);
    EXPECT_NE(first, second);
    EXPECT_EQ(E2E::open(second, macKey, Direction::p2m, deviceId, phoneId), command);
}

TEST_F(E2ESealing, PlaintextIsSortedCompactJsonWithPlainSlashes) {
    const auto plaintext = [&](const E2EPayload& payload) {
        const Bytes box = E2E::seal(payload, macKey, Direction::m2p, deviceId, phoneId);
        return textOf(crypto::AesGcm::open(macKey, box, bytesOf("KV1|m2p|dev-1|phone-1")));
    };
    EXPECT_EQ(plaintext({E2EPayload::Out{"c", "stderr", "x/y"}}),
              R"({"data":"x/y","id":"c","stream":"stderr","t":"out"})");
    EXPECT_EQ(plaintext({E2EPayload::Done{"c", std::nullopt, 12, false, true}}),
              R"({"durationMs":12,"id":"c","t":"done","timedOut":true,"truncated":false})");
    EXPECT_EQ(plaintext({E2EPayload::Done{"c", -1, 0, true, false}}),
              R"({"durationMs":0,"exitCode":-1,"id":"c","t":"done","timedOut":false,"truncated":true})");
    EXPECT_EQ(plaintext({E2EPayload::Rejected{"c", "badSignature"}}),
              R"({"id":"c","reason":"badSignature","t":"rejected"})");
    const StatusSnapshot snapshot{1, timestampFromSeconds(2), 3, true, 0, true, true, false, "v/1"};
    EXPECT_EQ(
        plaintext({E2EPayload::Status{snapshot}}),
        R"({"status":{"agentVersion":"v/1","bootTime":2,"freeMemPct":3,"hasFullDiskAccess":false,)"
        R"("isLaptop":true,"onACPower":true,"pmsetSleep":0,"sleepSafe":true,"uptimeSec":1},"t":"status"})");
    EXPECT_TRUE(plaintext(command).starts_with(
        R"({"command":{"cmd":"ls /tmp","id":"c-1","issuedAt":1700000000,"kind":"exec","nonce":")"));
}

TEST_F(E2ESealing, AuthenticBoxesWithBadPayloadsFailAsDecoding) {
    const auto sealText = [&](std::string_view text) {
        return crypto::AesGcm::seal(macKey, bytesOf(text), bytesOf("KV1|p2m|dev-1|phone-1"));
    };
    const auto decodeFailure = [&](std::string_view text) {
        return std::string(test::thrownBy<json::DecodeError>(
                               [&] { E2E::open(sealText(text), macKey, Direction::p2m, deviceId, phoneId); })
                               .value()
                               .what());
    };
    EXPECT_EQ(sealText("").size(), 28u);
    EXPECT_EQ(decodeFailure(""), "The given data was not valid JSON.");
    EXPECT_EQ(decodeFailure("\xFF"), "The given data was not valid JSON.");
    EXPECT_EQ(decodeFailure(R"({"t":"Command"})"), "unknown t Command");
    EXPECT_EQ(
        decodeFailure(
            R"({"t":"done","id":"c","exitCode":2147483648,"durationMs":1,"truncated":false,"timedOut":false})"),
        "Parsed JSON number <2147483648> does not fit in Int32.");
    EXPECT_EQ(
        E2E::open(
            sealText(
                R"({"t":"done","id":"c","exitCode":null,"durationMs":1,"truncated":false,"timedOut":false})"),
            macKey, Direction::p2m, deviceId, phoneId),
        (E2EPayload{E2EPayload::Done{"c", std::nullopt, 1, false, false}}));
}

TEST_F(E2ESealing, StatusComesBackRoundedToWholeSeconds) {
    const StatusSnapshot snapshot{1,  timestampFromSeconds(1700000000) + 999ms, 3, true, 0, true, true, false,
                                  "v"};
    const E2EPayload opened =
        E2E::open(E2E::seal({E2EPayload::Status{snapshot}}, macKey, Direction::m2p, deviceId, phoneId),
                  phoneKey, Direction::m2p, deviceId, phoneId);
    StatusSnapshot expected = snapshot;
    expected.bootTime = timestampFromSeconds(1700000000);
    EXPECT_EQ(opened, (E2EPayload{E2EPayload::Status{expected}}));
}

} // namespace
} // namespace kestrava
