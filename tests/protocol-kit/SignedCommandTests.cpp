#include "platform/json/DecodeError.hpp"
#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"
#include "protocol-kit/Base64URL.hpp"
#include "protocol-kit/SignedCommand.hpp"
#include "tests/support/TestPhone.hpp"
#include "tests/support/Thrown.hpp"

#include <gtest/gtest.h>

#include <numeric>
#include <stdexcept>

namespace kestrava {
namespace {

const SignedCommand listing{.id = "c1",
                            .kind = CommandKind::exec,
                            .cmd = "ls -la /tmp",
                            .timeoutSec = 30,
                            .issuedAt = 1'700'000'000,
                            .nonce = "n-1",
                            .signature = {0xFB, 0xFF, 0x01}};

TEST(SignedCommand, SigningTextIsNineLinesWithTheCommandInBase64) {
    EXPECT_EQ(textOf(listing.signingBytes("mac-7", "phone-3")),
              "KV1\nmac-7\nphone-3\nc1\nexec\n1700000000\nn-1\n30\nbHMgLWxhIC90bXA=");

    SignedCommand cancel = listing;
    cancel.kind = CommandKind::cancel;
    cancel.cmd = "";
    cancel.issuedAt = -5;
    cancel.timeoutSec = -1;
    EXPECT_EQ(textOf(cancel.signingBytes("", "\xC3\xA9")), "KV1\n\n\xC3\xA9\nc1\ncancel\n-5\nn-1\n-1\n");

    SignedCommand accented = listing;
    accented.cmd = "echo h\xC3\xA9llo";
    EXPECT_EQ(textOf(accented.signingBytes("d", "p")),
              "KV1\nd\np\nc1\nexec\n1700000000\nn-1\n30\nZWNobyBow6lsbG8=");
}

TEST(SignedCommand, MakeSignsTheTextWithAFreshNonce) {
    const test::TestPhone phone;
    const Timestamp now = timestampFromMilliseconds(1'700'000'060'900);
    const SignedCommand first = phone.command("c1", CommandKind::exec, "uptime", 30, now, "mac-7", "phone-3");
    const SignedCommand second =
        phone.command("c1", CommandKind::exec, "uptime", 30, now, "mac-7", "phone-3");
    EXPECT_EQ(first.issuedAt, 1'700'000'060);
    EXPECT_EQ(first.nonce.size(), 22u);
    EXPECT_EQ(Base64URL::decode(first.nonce)->size(), 16u);
    EXPECT_NE(first.nonce, second.nonce);
    EXPECT_TRUE(phone.signingKey().publicKey().isValidSignature(first.signature,
                                                                first.signingBytes("mac-7", "phone-3")));
    EXPECT_EQ(
        phone.command("c2", CommandKind::cancel, "", 0, timestampFromMilliseconds(-500), "d", "p").issuedAt,
        -1);

    SignedCommand::NonceBytes counting;
    std::iota(counting.begin(), counting.end(), std::uint8_t{0});
    EXPECT_EQ(SignedCommand::make("c1", CommandKind::exec, "", 1, now, counting, "d", "p",
                                  [](ByteView) { return Bytes{}; })
                  .nonce,
              "AAECAwQFBgcICQoLDA0ODw");

    struct SignerDown {};
    bool signed_ = false;
    EXPECT_THROW(SignedCommand::make("c1", CommandKind::exec, "", 1, now, counting, "d", "p",
                                     [](ByteView) -> Bytes { throw SignerDown{}; }),
                 SignerDown);
    EXPECT_THROW(SignedCommand::make("bad\nid", CommandKind::exec, "", 1, now, counting, "d", "p",
                                     [&](ByteView) {
                                         signed_ = true;
                                         return Bytes{};
                                     }),
                 std::invalid_argument);
    EXPECT_FALSE(signed_);
}

TEST(SignedCommand, JsonFormIsSevenMembersInOrder) {
    const std::string text = json::write(listing.encode(), {});
    EXPECT_EQ(text, R"({"id":"c1","kind":"exec","cmd":"ls -la \/tmp","timeoutSec":30,"issuedAt":1700000000,)"
                    R"("nonce":"n-1","signature":"-_8B"})");
    EXPECT_EQ(test::decodeJson<SignedCommand>(text), listing);

    auto failure = test::decodeFailure<SignedCommand>(
        R"({"id":"c1","kind":"exec","cmd":"","timeoutSec":30,"issuedAt":1,"nonce":"n","signature":"-_8B="})");
    EXPECT_EQ(failure.kind(), json::DecodeError::Kind::dataCorrupted);
    EXPECT_EQ(failure.key(), "signature");
    EXPECT_STREQ(failure.what(), "invalid base64url");

    failure = test::decodeFailure<SignedCommand>(
        R"({"id":"c1","kind":"Exec","cmd":"","timeoutSec":30,"issuedAt":1,"nonce":"n","signature":""})");
    EXPECT_EQ(failure.kind(), json::DecodeError::Kind::dataCorrupted);
    EXPECT_EQ(failure.key(), "kind");

    failure = test::decodeFailure<SignedCommand>(
        R"({"id":"c1","kind":"cancel","cmd":"","timeoutSec":"30","issuedAt":1,"nonce":"n","signature":""})");
    EXPECT_EQ(failure.kind(), json::DecodeError::Kind::typeMismatch);
    EXPECT_EQ(failure.key(), "timeoutSec");
}

} // namespace
} // namespace kestrava
