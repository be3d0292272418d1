#include "platform/url/PercentEncoding.hpp"
#include "protocol-kit/Base64URL.hpp"
#include "protocol-kit/PairingQR.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using kestrava::PairingQR;

namespace {

// The P-256 generator point (the public key of the scalar 1), uncompressed.
constexpr std::string_view generatorText =
    "BGsX0fLhLEJH-Lzm5WOkQPJ3A32BLeszoPShOUXYmMKWT-NC4v4af5uO5-tKfA-eFivOM1drMV7Oy7ZAaDe_UfU";
const kestrava::Bytes generatorPoint = *kestrava::Base64URL::decode(generatorText);
// The same point with the last bit of y flipped: 65 bytes, not on the curve.
constexpr std::string_view offCurveText =
    "BGsX0fLhLEJH-Lzm5WOkQPJ3A32BLeszoPShOUXYmMKWT-NC4v4af5uO5-tKfA-eFivOM1drMV7Oy7ZAaDe_UfQ";

// The bytes 0, 1, ..., 31.
const kestrava::Bytes countingSecret = [] {
    kestrava::Bytes secret(32);
    for (std::size_t i = 0; i < secret.size(); ++i) {
        secret[i] = static_cast<std::uint8_t>(i);
    }
    return secret;
}();
constexpr std::string_view countingSecretText = "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8";

PairingQR pairing(std::string_view backend, std::string macName) {
    return PairingQR{1,
                     kestrava::url::Url::parseReference(backend).value(),
                     "dev-42",
                     countingSecret,
                     generatorPoint,
                     std::move(macName)};
}

struct Item {
    std::string name;
    std::string value;
};

std::vector<Item> validItems() {
    return {{"v", "1"},
            {"u", "https%3A%2F%2Frelay.example.net"},
            {"d", "dev-42"},
            {"s", std::string(countingSecretText)},
            {"k", std::string(generatorText)},
            {"n", "Office"}};
}

std::string linkOf(const std::vector<Item>& items, std::string_view start = "kestrava://pair?") {
    std::string link(start);
    for (std::size_t i = 0; i < items.size(); ++i) {
        link += (i == 0 ? "" : "&") + items[i].name + "=" + items[i].value;
    }
    return link;
}

// The valid link with one item's value replaced (as written, escapes and all).
std::string linkWith(std::string_view name, std::string value) {
    auto items = validItems();
    for (auto& item : items) {
        if (item.name == name) {
            item.value = std::move(value);
        }
    }
    return linkOf(items);
}

TEST(PairingQR, WritesTheExactLinkText) {
    const auto value = pairing("https://relay.example.net/api/v1", "B\xC3\xB9i\xE2\x80\x99s Mac \xC3\x9C");
    EXPECT_EQ(value.urlString(), "kestrava://pair?v=1&u=https%3A%2F%2Frelay.example.net%2Fapi%2Fv1&d=dev-42"
                                 "&s=AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8"
                                 "&k=BGsX0fLhLEJH-Lzm5WOkQPJ3A32BLeszoPShOUXYmMKWT-NC4v4af5uO5-tKfA-"
                                 "eFivOM1drMV7Oy7ZAaDe_UfU&n=B%C3%B9i%E2%80%99s%20Mac%20%C3%9C");

    const auto unnamed = pairing("http://relay.test:8080", "").urlString();
    EXPECT_TRUE(unnamed.ends_with("&k=" + std::string(generatorText) + "&n=")) << unnamed;

    // Bytes that are not UTF-8 cannot be escaped readably; the item is left empty.
    EXPECT_TRUE(pairing("https://r", "\xFF").urlString().ends_with("&n="));
}

TEST(PairingQR, ParsesItsOwnLinkBackToAnEqualValue) {
    for (const auto& value :
         {pairing("https://relay.example.net/api/v1?region=eu", "Office Mac"),
          pairing("http://[::1]:8080/", "B\xC3\xB9i\xE2\x80\x99s Mac \xC3\x9C"),
          pairing("HTTPS://Relay.Example.NET", ""), pairing("https://r", "a+b&c=d %25 / : ?#")}) {
        EXPECT_EQ(PairingQR::parse(value.urlString()), value) << value.urlString();
    }
}

TEST(PairingQR, ReadsAnyItemOrderAndKeepsEscapedValuesUnchanged) {
    auto items = validItems();
    std::swap(items.front(), items.back());
    const auto reordered = PairingQR::parse(linkOf(items));
    ASSERT_TRUE(reordered);
    EXPECT_EQ(reordered->backendURL.absoluteString(), "https://relay.example.net");
    EXPECT_EQ(reordered->deviceId, "dev-42");
    EXPECT_EQ(reordered->secret, countingSecret);
    EXPECT_EQ(reordered->macPublicKey, generatorPoint);
    EXPECT_EQ(reordered->macName, "Office");

    // "+" is a plus, not a space; lower-case escapes decode too.
    EXPECT_EQ(PairingQR::parse(linkWith("d", "a+b"))->deviceId, "a+b");
    EXPECT_EQ(PairingQR::parse(linkWith("n", "%c3%a9+%2B"))->macName, "\xC3\xA9++");
    EXPECT_EQ(PairingQR::parse(linkWith("n", ""))->macName, "");
}

TEST(PairingQR, RefusesAnotherSchemeHostOrShape) {
    const auto items = validItems();
    EXPECT_TRUE(PairingQR::parse(linkOf(items)));
    for (const std::string_view start :
         {"KESTRAVA://pair?", "Kestrava://pair?", "kestrava://PAIR?", "kestrava://pairs?", "kestrava:pair?",
          "kestrava:///pair?", "https://pair?", "//pair?", "kestrava://pa ir?"}) {
        EXPECT_EQ(PairingQR::parse(linkOf(items, start)), std::nullopt) << start;
    }
    EXPECT_EQ(PairingQR::parse("kestrava://pair"), std::nullopt);
    EXPECT_EQ(PairingQR::parse("kestrava://pair?"), std::nullopt);
    EXPECT_EQ(PairingQR::parse(""), std::nullopt);
}

TEST(PairingQR, RefusesAnyOtherSetOfItems) {
    auto seventh = validItems();
    seventh.push_back({"x", "1"});
    auto repeated = validItems();
    repeated.push_back({"v", "1"});
    auto missingName = validItems();
    missingName.pop_back();
    auto renamed = validItems();
    renamed.back().name = "%6E"; // names are not decoded
    for (const auto& items : {seventh, repeated, missingName, renamed}) {
        EXPECT_EQ(PairingQR::parse(linkOf(items)), std::nullopt) << linkOf(items);
    }
    EXPECT_EQ(PairingQR::parse(linkOf(missingName) + "&n"), std::nullopt);
    EXPECT_EQ(PairingQR::parse(linkOf(validItems()) + "&"), std::nullopt);
}

TEST(PairingQR, RefusesVersionsOtherThanOne) {
    for (const std::string_view version : {"01", "1.0", "2", "0", "", "+1", "%31%30", " 1"}) {
        EXPECT_EQ(PairingQR::parse(linkWith("v", std::string(version))), std::nullopt) << version;
    }
    EXPECT_TRUE(PairingQR::parse(linkWith("v", "%31")));
}

TEST(PairingQR, BackendMustBeAnHttpOrHttpsUrl) {
    for (const std::string_view backend :
         {"HTTPS%3A%2F%2Frelay.example.net", "Http%3A%2F%2Fr%3A8080", "http%3A%2F%2F%5B%3A%3A1%5D%2Fp"}) {
        EXPECT_TRUE(PairingQR::parse(linkWith("u", std::string(backend)))) << backend;
    }
    for (const std::string_view backend :
         {"wss%3A%2F%2Frelay.example.net", "ftp%3A%2F%2Fr", "httpx%3A%2F%2Fr", "relay.example.net",
          "%2F%2Frelay.example.net", "", "https%3A%2F%2Fa%20b", "https%3A%2F%2Fr%2F%25zz",
          "https%3A%2F%2Fr%3A99999", "https%3A%2F%2Fr%2500.evil"}) {
        EXPECT_EQ(PairingQR::parse(linkWith("u", std::string(backend))), std::nullopt) << backend;
    }
}

TEST(PairingQR, SecretMustBeThirtyTwoBytesOfStrictBase64URL) {
    for (const std::string_view secret :
         {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA",   // 31 bytes
          "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", // 33 bytes
          "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8%3D", "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8=",
          "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh%2B", ""}) {
        EXPECT_EQ(PairingQR::parse(linkWith("s", std::string(secret))), std::nullopt) << secret;
    }
}

TEST(PairingQR, KeyMustBeAPointOnTheCurve) {
    const std::string compressed =
        "A2sX0fLhLEJH-Lzm5WOkQPJ3A32BLeszoPShOUXYmMKW"; // the same point compressed
    for (const std::string_view key :
         {offCurveText, generatorText.substr(0, 86), std::string_view(compressed), std::string_view(""),
          std::string_view(countingSecretText)}) {
        EXPECT_EQ(PairingQR::parse(linkWith("k", std::string(key))), std::nullopt) << key;
    }
}

TEST(PairingQR, DeviceIdMustNotBeEmptyButTheNameMay) {
    EXPECT_EQ(PairingQR::parse(linkWith("d", "")), std::nullopt);
    EXPECT_TRUE(PairingQR::parse(linkWith("n", "")));
    EXPECT_TRUE(PairingQR::parse(linkWith("d", "%00")));
}

TEST(PairingQR, RefusesMalformedEscapesAndInvalidUtf8) {
    for (const std::string_view name : {"%", "%4", "%G1", "a%2", "%FF", "%C3", "%ED%A0%80"}) {
        EXPECT_EQ(PairingQR::parse(linkWith("n", std::string(name))), std::nullopt) << name;
        EXPECT_EQ(PairingQR::parse(linkWith("d", std::string(name))), std::nullopt) << name;
    }
}

TEST(PairingQR, AllowsExactlyTheUnreservedCharacters) {
    const auto& allowed = PairingQR::allowedCharacters();
    EXPECT_EQ(allowed.count(), 66u);
    for (int byte = 0; byte < 256; ++byte) {
        EXPECT_EQ(allowed.test(byte), kestrava::url::isUnreserved(static_cast<unsigned char>(byte))) << byte;
    }
    EXPECT_EQ(&allowed, &PairingQR::allowedCharacters());
}

} // namespace
